#include "recorder/recorder.h"

#include <cstdio>

#include "recorder/control_pipe.h"

namespace tarvin {
namespace {

constexpr auto kStatusEvery = std::chrono::seconds(1);
constexpr auto kReopenEvery = std::chrono::seconds(2);

SessionOptions RecorderSession() {
  SessionOptions options;
  options.notices = SessionOptions::Notices::JournalledOnly;  // the console says what matters
  options.chart = SessionOptions::Chart::KeptRunning;
  return options;
}

SessionSettings SettingsOf(const RecorderOptions& o) {
  SessionSettings settings;
  settings.folder = o.folder;
  settings.window = static_cast<uint16_t>(o.window);
  settings.save_level = static_cast<float>(o.save_level);
  settings.save_on_alarm = o.save_on_alarm;
  settings.summary_every = std::chrono::seconds(o.summary_every);
  return settings;
}

// The broker as the journal may show it: never the password; null for none.
nlohmann::ordered_json BrokerText(const RecorderOptions& o) {
  if (o.mqtt.url.empty()) return nullptr;
  const BrokerAddress& b = o.mqtt.broker;
  return std::string(b.tls ? "mqtts://" : "mqtt://") + (b.user.empty() ? "" : b.user + "@") + b.Where();
}

// A topic's name when publishing, else null: without a broker it names nothing.
nlohmann::ordered_json NameOrNull(const std::string& mqtt, const std::string& name) {
  return mqtt.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(name);
}

}  // namespace

Recorder::Recorder(const RecorderOptions& options, SerialPort& port, int16_t port_number,
                   std::string port_name, Journal& journal, Console& console)
    : options_(options),
      port_(port),
      port_number_(port_number),
      port_name_(std::move(port_name)),
      journal_(journal),
      console_(console),
      session_(port, sink_, &journal, RecorderSession()) {
  session_.Configure(SettingsOf(options_));
}

bool Recorder::OpenPort() {
  if (session_.OpenPort(port_name_, port_number_)) return true;
  open_device_ = port_.LastDevice().empty() ? port_name_ : port_.LastDevice();
  open_error_ = port_.LastError().empty() ? "not opened" : port_.LastError();
  // A device whose line settings cannot be read (/dev/null, a file, a
  // terminal of another kind) is no sensor's port: not held, not run on.
  session_.ClosePort();
  return false;
}

int Recorder::Start(Clock::time_point now, const std::function<bool()>& wait) {
  journal_.Write(Event::Start,
                 {{"port", port_name_},
                  {"version", kRecorderVersion},
                  {"options",
                   {{"folder", options_.folder},
                    {"journal", options_.journal},
                    {"window", options_.window},
                    {"save_level", options_.save_level},
                    {"save_on_alarm", options_.save_on_alarm},
                    {"record_line", options_.record_line},
                    {"duration", options_.duration ? nlohmann::ordered_json(*options_.duration) : nullptr},
                    {"summary_every", options_.summary_every},
                    {"control", options_.control.empty() ? nlohmann::ordered_json(nullptr)
                                                         : nlohmann::ordered_json(options_.control)},
                    {"walk_test_limit", options_.walk_test_limit},
                    {"mqtt", BrokerText(options_)},
                    {"site", NameOrNull(options_.mqtt.url, options_.mqtt.site)},
                    {"sensor", NameOrNull(options_.mqtt.url, options_.mqtt.sensor)},
                    // The centre's paths and account; its key stays out of the journal.
                    {"dc09", NameOrNull(options_.dc09.url, options_.dc09.url)},
                    {"dc09_backup", NameOrNull(options_.dc09.backup_url, options_.dc09.backup_url)},
                    {"dc09_account", NameOrNull(options_.dc09.url, options_.dc09.account)}}}});
  for (std::string said; wait && !session_.Engine().PortHeld();) {
    if (open_error_ != said) {
      said = open_error_;
      journal_.Write(Event::PortOpenFailed,
                     {{"port", port_name_}, {"device", open_device_}, {"error", said}});
      console_.Line("tarvin9-recorder: cannot open " + open_device_ + ": " + said +
                    "; tried again every 2 s");
    }
    if (!wait()) break;
    if (OpenPort()) now = Clock::now();
  }
  if (!session_.Engine().PortHeld()) {
    // The same fields as every stop, nothing taken; then the reason, last.
    session_.EndRun("port_not_opened", {{"device", open_device_}, {"error", open_error_}});
    console_.Line("tarvin9-recorder: cannot open " + open_device_ + ": " + open_error_);
    return kExitPortNotOpened;
  }
  session_.Start(now);
  next_status_ = now + kStatusEvery;
  return kExitOk;
}

Recorder::Clock::time_point Recorder::Step(Clock::time_point now) {
  Clock::time_point next = session_.Step(now);
  AfterStep(now);
  if (port_lost_ && now >= next_reopen_) TryReopen(now);
  if (now >= next_status_) UpdateStatus(now);
  next = std::min(next, next_status_);
  return port_lost_ ? std::min(next, next_reopen_) : next;
}

void Recorder::AfterStep(Clock::time_point now) {
  const Handled handled = session_.HandleRaised();
  if (handled.refused && exit_code_ < 0) {
    console_.Line("tarvin9-recorder: the sensor runs firmware " + session_.Tracker()->FirmwareText() +
                  "; only " + std::to_string(kRequiredMajor) + "." + std::to_string(kRequiredMinor) +
                  " is supported: reprogram the sensor");
    exit_code_ = kExitWrongFirmware;
  }
  for (const std::string& text : sink_.boxes) console_.Line("tarvin9-recorder: " + text);
  sink_.boxes.clear();
  if (handled.port_closed && exit_code_ < 0) {
    port_lost_ = true;
    next_reopen_ = now + kReopenEvery;
  }
}

void Recorder::TryReopen(Clock::time_point now) {
  next_reopen_ = now + kReopenEvery;
  if (OpenPort()) {
    port_lost_ = false;
    last_open_error_.clear();
    return;
  }
  // Said once per reason, not every 2 s for days.
  if (port_.LastError() != last_open_error_) {
    last_open_error_ = port_.LastError();
    journal_.Write(Event::PortReopenFailed,
                   {{"port", port_name_}, {"device", port_.LastDevice()}, {"error", last_open_error_}});
    console_.Line("tarvin9-recorder: cannot reopen " + port_.LastDevice() + ": " + last_open_error_);
  }
}

void Recorder::Command(const std::string& line, Clock::time_point now) {
  const ControlCommand command = ParseControlLine(line);
  std::string refused = command.error;
  WalkTestRefusal refusal = WalkTestRefusal::kNone;
  if (command.kind == ControlCommand::Kind::kWalkTestStart)
    refusal = session_.BeginWalkTest(command.note, options_.walk_test_limit, now);
  else if (command.kind == ControlCommand::Kind::kWalkTestEnd)
    refusal = session_.EndWalkTest(command.passes, now);
  if (refusal != WalkTestRefusal::kNone) refused = WalkTestRefusalText(refusal);
  if (refused.empty()) return;
  journal_.Write(Event::ControlRefused, {{"line", line}, {"reason", refused}});
}

void Recorder::UpdateStatus(Clock::time_point now) {
  const uint64_t samples = session_.Samples() - samples_at_status_;
  samples_at_status_ = session_.Samples();
  next_status_ += kStatusEvery;
  if (next_status_ <= now) next_status_ = now + kStatusEvery;
  if (!console_.Terminal()) return;
  const EventTracker& tracker = *session_.Tracker();
  const LinkCounters& c = session_.Engine().Counters();
  const long long errors = static_cast<long long>(c.ChecksumErrors) + c.Overflow_buffer + c.Time_out +
                           static_cast<long long>(tracker.SaveFailures() + journal_.WriteErrors());
  const std::string link = port_lost_         ? "port closed"
                           : tracker.LinkUp() ? "link up (" + tracker.FirmwareText() + ")"
                                              : "no link";
  char text[200];
  std::snprintf(text, sizeof text, "%s | %llu samples/s | alarms %llu | saved %llu | errors %lld",
                link.c_str(), static_cast<unsigned long long>(samples),
                static_cast<unsigned long long>(tracker.Alarms()),
                static_cast<unsigned long long>(tracker.Saves()), errors);
  console_.Status(text);
}

void Recorder::Stop(const std::string& reason, Clock::duration drain) {
  session_.Stop(reason, drain);
  console_.EndStatus();
}

}  // namespace tarvin
