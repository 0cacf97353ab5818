#include "journal/sensor_fold.h"

namespace tarvin {
namespace {

// A walk test's or a detection's number, or null when the event has none.
nlohmann::ordered_json CountField(const JournalEvent& event, const char* key) {
  const std::optional<uint64_t> count = event.Count(key);
  return count ? nlohmann::ordered_json(*count) : nlohmann::ordered_json();
}

}  // namespace

unsigned SensorFold::LinkDown() {
  if (link_ == Link::Down) return kNothing;  // down already: since then
  link_ = Link::Down;
  firmware_ = nullptr;
  return kLink;
}

unsigned SensorFold::CentreIs(Centre centre) {
  if (centre_ == centre) return kNothing;  // another path, or the same news again
  centre_ = centre;
  return kCentre;
}

unsigned SensorFold::AlarmRead(const JournalEvent& event) {
  const Event kind = event.Kind();
  alarm_bits_ = kind == Event::AlarmEnd ? 0u : static_cast<unsigned>(event.Count("alarm_bits").value_or(0));
  alarm_known_ = true;
  unsigned changed = kAlarm;
  if (kind == Event::AlarmBegin) {
    alarm_open_ = true;
    const nlohmann::ordered_json& seq = event.Field("seq");
    const std::string time = event.Text("time");
    open_alarm_.reset();
    if (seq.is_number_unsigned() && !time.empty()) open_alarm_ = OpenAlarm{time, seq.get<uint64_t>()};
    // An alarm inside a walk test is its detection: numbered, or the next one.
    const nlohmann::ordered_json test = CountField(event, "walk_test");
    if (!test.is_null()) {
      walk_test_ = test;
      const nlohmann::ordered_json detection = CountField(event, "detection");
      detections_ = detection.is_null() ? detections_ + 1 : detection.get<uint64_t>();
      changed |= kWalkTest;
    }
  } else if (kind == Event::AlarmEnd) {
    alarm_open_ = false;
  }
  return changed;
}

unsigned SensorFold::Apply(const JournalEvent& event) {
  switch (event.Kind()) {
    case Event::Start:
      link_ = Link::Down;
      firmware_ = nullptr;
      walk_test_ = nullptr;
      alarm_open_ = false;
      // A new run has not heard from the centre yet, whatever the last one knew.
      return kRunBegan | CentreIs(Centre::Unknown);
    case Event::Stop: {
      // Nothing of the run goes on once it has stopped, a walk test least of all.
      unsigned changed = kRunEnded | LinkDown();
      if (!walk_test_.is_null()) changed |= kWalkTest;
      walk_test_ = nullptr;
      alarm_open_ = false;
      return changed;
    }
    case Event::LinkUp:
      // The alarm is unknown again until a status has been read since.
      link_ = Link::Up;
      alarm_known_ = false;
      firmware_ = event.Field("firmware");
      return kLink;
    case Event::LinkLost:
    case Event::PortClosed:
      return LinkDown();
    case Event::WalkTestBegin:
      walk_test_ = CountField(event, "walk_test");
      detections_ = 0;
      return kWalkTest;
    case Event::WalkTestEnd:
      if (walk_test_.is_null()) return kNothing;
      walk_test_ = nullptr;
      return kWalkTest;
    case Event::AlarmBegin:
    case Event::AlarmEnd:
    case Event::AlarmKnown:
      return AlarmRead(event);
    case Event::Balance:
      balance_value_ = event.Text("value");
      balance_text_ = event.Text("text");
      return kBalance;
    case Event::CentrePathUp:
      return CentreIs(Centre::Up);
    case Event::CentrePathDown:
      return CentreIs(Centre::Down);
    default:
      return kNothing;
  }
}

}  // namespace tarvin
