#include "session/sensor_session.h"

#include <optional>
#include <thread>

namespace tarvin {

// Everything the engine and the scope data report passes on to the program's
// sink as it comes. Notices are kept for after the step; what the journal
// must write is held while a tick runs. The ticking, switched on or off, is
// followed by the schedule before the program hears of it.
class SensorSession::Reports : public SessionSink, public SaveListener {
 public:
  Reports(SessionSink& shown, EventTracker* tracker, SessionSchedule& schedule)
      : shown_(shown), tracker_(tracker), schedule_(schedule) {
    // A tick reports a few things at most: holding them never allocates.
    held_.reserve(8);
  }

  void Post(Notice notice) override { notices_.push_back(notice); }
  void ShowBox(const Message& message) override { shown_.ShowBox(message); }
  void SetReplyCode(unsigned code) override { shown_.SetReplyCode(code); }
  void SetPortState(const std::string& port, bool open) override { shown_.SetPortState(port, open); }
  void SetLinkState(LinkState state) override { shown_.SetLinkState(state); }
  void SetBalance(Balance balance) override {
    shown_.SetBalance(balance);
    // Every status reply repeats the balance: only a change is worth holding.
    if (tracker_ == nullptr || balance == last_balance_) return;
    last_balance_ = balance;
    Held held{Held::Kind::Balance};
    held.balance = balance;
    Hold(held);
  }
  void SetFirmware(unsigned major, unsigned minor) override {
    shown_.SetFirmware(major, minor);
    if (tracker_ == nullptr) return;
    Held held{Held::Kind::Firmware};
    held.major = major;
    held.minor = minor;
    Hold(held);
  }
  void SetDirectComponent(int value) override {
    shown_.SetDirectComponent(value);
    if (tracker_ != nullptr) tracker_->DirectComponent(value);
  }
  void SetBufferLength(int value) override {
    shown_.SetBufferLength(value);
    if (tracker_ != nullptr) tracker_->BufferLength(value);
  }
  void SetNetworkAddressRead(unsigned address) override {
    shown_.SetNetworkAddressRead(address);
    if (tracker_ != nullptr) tracker_->NetworkAddress(address);
  }
  void SetTicking(bool on) override {
    schedule_.SetTicking(on, Clock::now());
    shown_.SetTicking(on);
  }
  void ShowLinkSign(LinkSign sign) override { shown_.ShowLinkSign(sign); }
  void ShowChartRunning(bool running) override { shown_.ShowChartRunning(running); }
  void ShowSaveOnAlarm(bool enabled) override { shown_.ShowSaveOnAlarm(enabled); }
  void ScopeGrid(float threshold, uint32_t useful, uint32_t input) override {
    shown_.ScopeGrid(threshold, useful, input);
  }
  void ScopeAddPoints(uint16_t x, const ScopeSample& sample) override {
    ++samples_;
    if (tracker_ != nullptr) tracker_->Sample(sample);
    shown_.ScopeAddPoints(x, sample);
  }
  void ScopeClear() override { shown_.ScopeClear(); }
  void ScopeDropOldest() override { shown_.ScopeDropOldest(); }
  void ScopeAxis(int32_t min, int32_t max) override { shown_.ScopeAxis(min, max); }
  void ScopeShowStored(const Oscillogram& stored) override { shown_.ScopeShowStored(stored); }

  void AutoSaved(const AutoSaveReport& report) override {
    if (tracker_ == nullptr) return;
    Held held{Held::Kind::Saved};
    held.report = report;
    Hold(held);
  }
  // Held in order with the saves: the tracker pairs each save with its alarm.
  void SaveArmedByAlarm() override {
    if (tracker_ != nullptr) Hold(Held{Held::Kind::Armed});
  }

  // Written at once outside a tick; inside one, after it.
  void SetInTick(bool in_tick) { in_tick_ = in_tick; }
  void WriteHeld() {
    for (const Held& h : held_) Write(h);
    held_.clear();
  }
  // Nothing allocated for a tick that raised nothing, which is nearly every tick.
  std::vector<Notice> TakeNotices() {
    std::vector<Notice> taken;
    if (!notices_.empty()) taken.swap(notices_);
    return taken;
  }
  uint64_t Samples() const { return samples_; }

 private:
  struct Held {
    enum class Kind { Firmware, Balance, Saved, Armed } kind;
    unsigned major = 0, minor = 0;
    Balance balance = Balance::Balanced;
    AutoSaveReport report{};
  };

  void Hold(Held held) {
    if (in_tick_)
      held_.push_back(std::move(held));
    else
      Write(held);
  }
  void Write(const Held& h) {
    switch (h.kind) {
      case Held::Kind::Firmware:
        tracker_->Firmware(h.major, h.minor);
        break;
      case Held::Kind::Balance:
        tracker_->Balance(h.balance);
        break;
      case Held::Kind::Saved:
        tracker_->AutoSaved(h.report);
        break;
      case Held::Kind::Armed:
        tracker_->SaveArmedByAlarm();
        break;
    }
  }

  SessionSink& shown_;
  EventTracker* tracker_;
  SessionSchedule& schedule_;
  bool in_tick_ = false;
  std::vector<Held> held_;
  std::vector<Notice> notices_;
  std::optional<Balance> last_balance_;
  uint64_t samples_ = 0;
};

namespace {

std::unique_ptr<EventTracker> TrackerFor(Journal* journal) {
  return journal != nullptr ? std::make_unique<EventTracker>(*journal) : nullptr;
}

}  // namespace

SensorSession::SensorSession(SerialPort& port, SessionSink& sink, Journal* journal, SessionOptions options)
    : tracker_(TrackerFor(journal)),
      reports_(std::make_unique<Reports>(sink, tracker_.get(), schedule_)),
      journal_(journal),
      options_(options),
      scope_(*reports_, *reports_),
      engine_(port, *reports_, scope_),
      commands_(engine_, scope_, *reports_, *reports_),
      supervision_(engine_, commands_, *reports_, *reports_) {
  scope_.SetSaveListener(reports_.get());
}

SensorSession::~SensorSession() = default;

void SensorSession::Tick(Clock::time_point now) {
  const bool held = engine_.PortHeld();
  reports_->SetInTick(true);
  engine_.TimedTick();
  reports_->SetInTick(false);
  // Three failed writes closed it: an unplugged adapter or a hang-up.
  if (held && !engine_.PortHeld()) closed_in_step_ = true;
  if (tracker_ == nullptr) return;
  reports_->WriteHeld();
  tracker_->AfterTick(engine_, now);
  tracker_->Summarise(now, engine_.Counters(), scope_.SaveLevel());
  journal_->Settle();
}

void SensorSession::Start(Clock::time_point now, SessionSchedule::FirstRun first) {
  schedule_.Start(now, first);
}

SensorSession::Clock::time_point SensorSession::Step(Clock::time_point now) {
  Run(schedule_.Take(now), now);
  return schedule_.Next();
}

void SensorSession::Run(Due due, Clock::time_point now) {
  // A request queued now goes out with this very tick.
  if (due.poll) Poll();
  if (due.countdown) CountDown();
  if (due.tick) Tick(now);
}

Raised SensorSession::TakeRaised() {
  Raised raised;
  raised.notices = reports_->TakeNotices();
  raised.port_closed = closed_in_step_;
  closed_in_step_ = false;
  return raised;
}

NoticeOutcome SensorSession::HandleNotice(Notice notice) {
  if (tracker_ != nullptr) {
    // Journalled first: the reaction may hold a box open for minutes.
    reports_->WriteHeld();
    tracker_->HandleNotice(notice);
    journal_->Settle();
  }
  if (notice == Notice::LinkRestored) chart_wanted_ = true;
  return supervision_.HandleNotice(notice, options_.notices == SessionOptions::Notices::Shown);
}

Handled SensorSession::HandleRaised() {
  const Raised raised = TakeRaised();
  Handled handled;
  for (const Notice notice : raised.notices)
    if (HandleNotice(notice) == NoticeOutcome::CloseWindow) handled.refused = true;
  if (raised.port_closed && !handled.refused) {
    PortClosed();
    handled.port_closed = true;
  }
  if (!handled.refused) KeepChartRunning();
  return handled;
}

void SensorSession::KeepChartRunning() {
  if (options_.chart != SessionOptions::Chart::KeptRunning || !chart_wanted_) return;
  if (engine_.LinkState() != LinkState::Up || engine_.SensorBusy() != 0) return;
  if (tracker_ != nullptr && !tracker_->LinkUp()) return;
  chart_wanted_ = false;
  // After a loss the sensor may have been reset: start it afresh rather than
  // take the button's state for the sensor's.
  commands_.StartChartTransmission();
}

void SensorSession::PortClosed() {
  port_closed_ = true;
  if (tracker_ != nullptr) tracker_->PortClosed(engine_.PortText());
}

void SensorSession::Configure(const SessionSettings& settings) {
  scope_.SetDefaults();
  scope_.ChooseWindowLength(settings.window);
  scope_.SetSaveLevel(settings.save_level);
  scope_.SetScopeFolder(settings.folder);
  engine_.SetSaveOnAlarm(settings.save_on_alarm);
  if (tracker_ != nullptr) tracker_->SetSummaryPeriod(settings.summary_every);
}

WalkTestRefusal SensorSession::BeginWalkTest(const std::string& note, int limit_min, Clock::time_point now) {
  if (tracker_ == nullptr) return WalkTestRefusal::kNoJournal;
  return tracker_->BeginWalkTest(note, limit_min, now);
}

WalkTestRefusal SensorSession::EndWalkTest(std::optional<int> passes, Clock::time_point now) {
  if (tracker_ == nullptr) return WalkTestRefusal::kNoJournal;
  return tracker_->EndWalkTest(passes, now);
}

bool SensorSession::OpenPort(const std::string& name, int16_t number) {
  engine_.ChoosePort(name);
  if (!engine_.OpenPort(number)) return false;
  PortOpened();
  return true;
}

bool SensorSession::ChangePort(int index, const std::string& name) {
  if (!supervision_.ChangePort(index, name)) return false;
  PortOpened();
  return true;
}

void SensorSession::PortOpened() {
  if (!port_closed_) return;
  port_closed_ = false;
  if (tracker_ != nullptr) tracker_->PortReopened(engine_.PortText());
}

void SensorSession::Stop(const std::string& reason, Clock::duration drain) {
  if (stopped_) return;
  stopped_ = true;
  if (options_.chart == SessionOptions::Chart::KeptRunning) {
    StopChartAndDrain(drain);
    // An alarm less than half a window before the stop still leaves its file.
    scope_.SavePendingAtStop();
  }
  EndRun(reason);
  supervision_.ExitConfirmed();
}

void SensorSession::StopChartAndDrain(Clock::duration drain) {
  if (!engine_.PortHeld() || engine_.LinkState() != LinkState::Up || engine_.ChartTag() == 0) return;
  commands_.StopChartTransmission();
  // The stop must reach the sensor, or it streams on to nobody.
  const Clock::time_point until = Clock::now() + drain;
  while (Clock::now() < until && engine_.PortHeld() && engine_.CommandsPending()) {
    std::this_thread::sleep_for(SessionSchedule::kTick);
    Tick();
  }
}

void SensorSession::EndRun(const std::string& reason, const nlohmann::ordered_json& extra) {
  if (ended_ || tracker_ == nullptr) return;
  ended_ = true;
  reports_->WriteHeld();
  tracker_->EndWalkTestAtStop(Clock::now());
  tracker_->FlushSummary(Clock::now(), engine_.Counters(), scope_.SaveLevel());
  nlohmann::ordered_json fields = {
      {"reason", reason}, {"samples", Samples()}, {"counters", CountersJson(engine_.Counters())}};
  for (const auto& item : extra.items()) fields[item.key()] = item.value();
  journal_->Write(Event::Stop, std::move(fields));
  journal_->Settle();
}

uint64_t SensorSession::Samples() const { return reports_->Samples(); }

}  // namespace tarvin
