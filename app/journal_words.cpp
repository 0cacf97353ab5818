#include "app/journal_words.h"

#include <cctype>
#include <cstdio>

#include "base/file_io.h"
#include "journal/walk_test.h"
#include "words/sensor_words.h"

namespace tarvin {

namespace {

// What a person reads of a field: text as it is, a number as written.
std::string Text(const nlohmann::ordered_json& event, const char* key) {
  return JournalEvent(event).Shown(key);
}

long long Number(const nlohmann::ordered_json& event, const char* key) {
  return JournalEvent(event).Whole(key).value_or(0);
}

std::string Trigger(const nlohmann::ordered_json& event) {
  const std::string trigger = Text(event, "trigger");
  if (trigger == "alarm") return "по тревоге";
  if (trigger == "level") return "по уровню порога";
  return trigger;
}

std::string Joined(const std::string& a, const std::string& b, const char* between = ", ") {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return a + between + b;
}

std::string Bits(const nlohmann::ordered_json& event) {
  char text[40];
  std::snprintf(text, sizeof text, "биты тревоги 0x%02llX", Number(event, "alarm_bits"));
  return text;
}

std::string Counters(const nlohmann::ordered_json& event) {
  const auto it = event.find("counters");
  if (it == event.end() || !it->is_object()) return std::string();
  const nlohmann::ordered_json& c = *it;
  return "принято кадров " + std::to_string(Number(c, "frames_received")) + ", передано кадров " +
         std::to_string(Number(c, "frames_sent")) + ", ошибок КС " +
         std::to_string(Number(c, "checksum_errors")) + ", тайм-аутов " +
         std::to_string(Number(c, "timeouts"));
}

std::string StopReason(const std::string& reason) {
  if (reason == "operator") return "выход по команде оператора";
  if (reason == "wrong_firmware") return "неверная версия программы датчика";
  if (reason == "window_closed") return "окно закрыто";
  if (reason == "session_end") return "конец сеанса (сигнал завершения)";
  if (reason == "service_stop") return "служба Windows остановлена";
  return reason;
}

// ", проверка № 3, обнаружение 5" for an alarm inside a walk test.
std::string Detection(const nlohmann::ordered_json& event) {
  if (!event.contains("walk_test")) return std::string();
  return ", проверка № " + Text(event, "walk_test") + ", обнаружение " + Text(event, "detection");
}

// The figures an alarm's end carries, when a chart sample came during it.
std::string Peak(const nlohmann::ordered_json& event) {
  if (JournalEvent(event).Field("peak").is_null()) return std::string();
  return "; пик " + FigureText(JournalEvent(event).Field("peak")) + ", порог " +
         FigureText(JournalEvent(event).Field("threshold")) + ", запас " +
         FigureText(JournalEvent(event).Field("margin")) + ", над порогом " +
         FigureText(JournalEvent(event).Field("over_threshold_s")) + " с";
}

std::string WalkTestEnd(const nlohmann::ordered_json& event) {
  std::string text =
      "проверка № " + Text(event, "walk_test") + ", " + WalkTestEndWords(Text(event, "reason")) + "; ";
  return text + WalkTestCountWords(event);
}

// "оператор ivanov, тревога 09.12.2026 01:02:03 (№ 17)": who answered which alarm.
std::string AckedAlarm(const nlohmann::ordered_json& event) {
  const std::string alarm = Text(event, "alarm_time");
  return Joined("оператор " + Text(event, "operator"),
                alarm.empty() ? std::string()
                              : "тревога " + ShownJournalTime(alarm) + " (№ " + Text(event, "alarm") + ")");
}

std::string AckRefusal(const nlohmann::ordered_json& event) {
  const std::string reason = Text(event, "reason");
  if (reason == "malformed") return "сообщение не по форме";
  if (reason == "unknown_alarm") return "такой тревоги нет в журнале";
  if (reason == "comment_required") return "нужен комментарий";
  if (reason == "comment_too_long") return "комментарий длиннее 500 символов";
  if (reason == "already_acknowledged") return "уже принято: " + Text(event, "by");
  return reason;
}

// Fields other than the three every line carries, as JSON: for events this
// program does not know.
std::string OtherFields(const nlohmann::ordered_json& event) {
  nlohmann::ordered_json rest = nlohmann::ordered_json::object();
  for (const auto& item : event.items())
    if (item.key() != "time" && item.key() != "seq" && item.key() != "event") rest[item.key()] = item.value();
  return rest.empty() ? std::string()
                      : rest.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace

std::string ShownJournalTime(const std::string& iso) {
  // YYYY-MM-DDTHH:MM:SS...
  const char* p = iso.c_str();
  const auto digits = [&](int from, int count) {
    for (int i = from; i < from + count; ++i)
      if (!std::isdigit(static_cast<unsigned char>(p[i]))) return false;
    return true;
  };
  if (iso.size() < 19 || !digits(0, 4) || p[4] != '-' || !digits(5, 2) || p[7] != '-' || !digits(8, 2) ||
      p[10] != 'T' || !digits(11, 2) || p[13] != ':' || !digits(14, 2) || p[16] != ':' || !digits(17, 2))
    return iso;
  return iso.substr(8, 2) + "." + iso.substr(5, 2) + "." + iso.substr(0, 4) + " " + iso.substr(11, 8);
}

std::string FigureText(const nlohmann::ordered_json& value) {
  if (!value.is_number()) return "—";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value.get<double>());
  std::string out = text;
  // Whatever the C locale's decimal point, the operator reads a comma.
  for (char& c : out)
    if (c == '.') c = ',';
  if (out == "-0,0") return "0,0";
  return out[0] == '-' ? "−" + out.substr(1) : out;
}

std::string WalkTestEndWords(const std::string& reason) {
  if (reason == "operator") return "закончена оператором";
  if (reason == "limit") return "закончена по истечении предела времени";
  if (reason == "stop") return "прервана завершением работы программы";
  if (reason == "link_lost") return "прервана потерей связи с датчиком";
  return reason;
}

JournalRow DescribeEvent(const nlohmann::ordered_json& event) {
  JournalRow row;
  if (!event.is_object()) return row;
  row.time = ShownJournalTime(Text(event, "time"));
  const std::string name = Text(event, "event");
  const Event kind = JournalEvent(event).Kind();
  if (kind == Event::Start) {
    row.event = "Запуск программы";
    const std::string port = Text(event, "port"), version = Text(event, "version");
    row.details =
        Joined(port.empty() ? port : "порт " + port, version.empty() ? version : "версия " + version);
  } else if (kind == Event::LinkUp) {
    row.event = "Связь восстановлена";
    const std::string firmware = Text(event, "firmware");
    row.details = firmware.empty() ? std::string() : "версия " + firmware;
  } else if (kind == Event::LinkLost) {
    row.event = "Нет связи с датчиком";
  } else if (kind == Event::PortClosed) {
    row.event = "Порт закрыт";
    row.details = Joined(Text(event, "port"), "три неудачные попытки записи");
  } else if (kind == Event::PortReopened) {
    row.event = "Порт открыт снова";
    row.details = Text(event, "port");
  } else if (kind == Event::WrongFirmware) {
    row.event = "Неверная версия программы датчика";
    const std::string firmware = Text(event, "firmware");
    row.details = firmware.empty() ? std::string() : "версия " + firmware;
  } else if (kind == Event::AlarmBegin) {
    row.event = "Тревога";
    row.details = Bits(event) + Detection(event);
  } else if (kind == Event::AlarmEnd) {
    row.event = "Конец тревоги";
    row.details = Bits(event) + Detection(event) + Peak(event);
  } else if (kind == Event::WalkTestBegin) {
    row.event = "Начало проверки обнаружения";
    row.details = Joined("проверка № " + Text(event, "walk_test"), Text(event, "note")) + ", предел " +
                  Text(event, "limit_min") + " мин";
  } else if (kind == Event::WalkTestEnd) {
    row.event = "Конец проверки обнаружения";
    row.details = WalkTestEnd(event);
  } else if (kind == Event::AlarmKnown) {
    // The first status after the link came up, when no edge said it: until
    // then the alarm was not known.
    row.event = "Состояние тревоги прочитано";
    row.details = Number(event, "alarm_bits") != 0 ? "тревога, " + Bits(event) : "тревоги нет";
  } else if (kind == Event::Balance) {
    row.event = "Баланс флангов";
    row.details =
        words::BalanceEventWords(JournalEvent(event).Text("value"), JournalEvent(event).Text("text"));
  } else if (kind == Event::Saved) {
    row.event = "Осциллограмма сохранена";
    row.file = Text(event, "path");
    row.details = Joined(FileNameOf(row.file), Trigger(event));
  } else if (kind == Event::SaveFailed) {
    row.event = "Осциллограмма не сохранена";
    row.details =
        Joined(Joined(FileNameOf(Text(event, "path")), Trigger(event)), Text(event, "reason"), ": ");
  } else if (kind == Event::Ack) {
    row.event = "Тревога подтверждена";
    const std::string comment = Text(event, "comment");
    row.details =
        Joined(AckedAlarm(event), "через " + FigureText(JournalEvent(event).Field("seconds_to_ack")) + " с");
    if (!comment.empty()) row.details += ": «" + comment + "»";
  } else if (kind == Event::AckRefused) {
    row.event = "Подтверждение отклонено";
    row.details = Joined(AckedAlarm(event), AckRefusal(event), ": ");
  } else if (kind == Event::SettingsRefused) {
    row.event = "Служба не запущена: ошибка в настройках";
    row.details = Text(event, "reason");
  } else if (kind == Event::Stop) {
    row.event = "Завершение работы";
    row.details = Joined(StopReason(Text(event, "reason")), Counters(event), "; ");
  } else {
    row.event = name;
    row.details = OtherFields(event);
  }
  return row;
}

std::string WalkTestCountWords(const nlohmann::ordered_json& event) {
  const int detections = static_cast<int>(Number(event, "detections"));
  // Ended by itself: nobody said how many passes were made.
  if (Text(event, "passes").empty())
    return "обнаружено " + std::to_string(detections) + ", проходы не указаны";
  const int passes = static_cast<int>(Number(event, "passes"));
  // Counted here, not read: older journals say no `detected`.
  const WalkTestTally tally = TallyWalkTest(passes, detections);
  std::string detected = std::to_string(tally.detected);
  if (tally.extra > 0) detected += " (тревог: " + std::to_string(detections) + ")";
  return "проходов " + std::to_string(passes) + ", обнаружено " + detected + ", пропущено " +
         std::to_string(tally.missed);
}

}  // namespace tarvin
