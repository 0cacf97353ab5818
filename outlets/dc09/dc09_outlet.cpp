#include "outlets/dc09/dc09_outlet.h"

#include <cstdio>
#include <set>
#include <thread>
#include <utility>

#include "journal/journal_reader.h"
#include "outlets/dc09/dc09_path.h"

namespace tarvin {

namespace {

using std::chrono::system_clock;

// A new message goes to the backup first while the main path failed this
// recently: each message would otherwise wait out the main path's silence.
constexpr std::chrono::seconds kStayOnBackup{60};
// While a message is out, how often its answer is looked for.
constexpr std::chrono::milliseconds kAnswerPoll{10};

std::string ThreeDigits(int zone) {
  char text[8];
  std::snprintf(text, sizeof text, "%03d", zone);
  return text;
}

bool SameHex(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

Dc09Outlet::Dc09Outlet(Dc09Options options, tarvin::Journal& journal, ConsoleLine say)
    : options_(std::move(options)),
      journal_(journal),
      say_(std::move(say)),
      io_(std::make_unique<boost::asio::io_context>()) {
  paths_.push_back(std::make_unique<Dc09Path>(*io_, options_.main));
  if (options_.backup) paths_.push_back(std::make_unique<Dc09Path>(*io_, *options_.backup));
}

Dc09Outlet::~Dc09Outlet() {
  for (const auto& path : paths_) path->Close();
}

std::optional<Dc09Outlet::Pending> Dc09Outlet::PendingOf(const JournalEvent& event) const {
  const std::optional<Report> report = ReportOf(event);
  const std::optional<int64_t> ms = event.Time();
  if (!report || !ms) return std::nullopt;
  Pending pending;
  pending.report = *report;
  pending.reported = event.Name();
  pending.event_seq = event.Field("seq");
  pending.event_time = event.Field("time");
  pending.when = SystemTime(std::chrono::milliseconds(*ms));
  return pending;
}

void Dc09Outlet::TakeEvent(const nlohmann::ordered_json& event) {
  std::optional<Pending> pending = PendingOf(JournalEvent(event));
  if (!pending) return;
  queue_.push_back(std::move(*pending));
  if (queue_.size() <= kQueueLimit) return;
  // Journalled in the step: this runs inside the journal's own write.
  dropped_.push_back(std::move(queue_.front()));
  queue_.pop_front();
}

// The events earlier runs journalled and the centre never acknowledged (nor
// were dropped), from runs that reported to a centre, not older than the
// bound: they go before this run's.
void Dc09Outlet::Resume() {
  const auto earlier = ReadJournalEvents(journal_.Path(), journal_.StartOffset(), kResendBytes);
  std::vector<Pending> candidates, run;
  std::set<std::pair<std::string, std::string>> settled;
  bool run_reported = false;
  const auto end_run = [&] {
    if (run_reported) candidates.insert(candidates.end(), run.begin(), run.end());
    run.clear();
    run_reported = false;
  };
  for (const nlohmann::ordered_json& line : earlier) {
    const JournalEvent event(line);
    if (event.Kind() == Event::Start) end_run();
    switch (event.Kind()) {
      case Event::CentreAcked:
      case Event::CentreDropped:
        settled.emplace(event.Field("event_time").dump(), event.Field("event_seq").dump());
        [[fallthrough]];
      case Event::CentrePathDown:
      case Event::CentrePathUp:
        run_reported = true;
        break;
      default:
        if (std::optional<Pending> pending = PendingOf(event)) run.push_back(std::move(*pending));
    }
  }
  end_run();
  const SystemTime oldest = system_clock::now() - kResendWithin;
  std::deque<Pending> resent;
  for (Pending& pending : candidates)
    if (pending.when >= oldest && settled.count({pending.event_time.dump(), pending.event_seq.dump()}) == 0)
      resent.push_back(std::move(pending));
  if (!resent.empty() && say_)
    say_("tarvin9-recorder: dc09: " + std::to_string(resent.size()) +
         " events of an earlier run were never acknowledged by the centre: sending them first");
  queue_.insert(queue_.begin(), resent.begin(), resent.end());
  while (queue_.size() > kQueueLimit) {
    dropped_.push_back(std::move(queue_.front()));
    queue_.pop_front();
  }
}

void Dc09Outlet::Journal(Event event, nlohmann::ordered_json fields) {
  journal_.Write(event, std::move(fields));
}

const std::string& Dc09Outlet::SentCode(Report report) const {
  const ReportCode& code = options_.code_table.Of(report);
  return options_.message_format == Dc09Format::Cid ? code.cid : code.sia;
}

Dc09Message Dc09Outlet::MessageOf(const Pending& pending, int seq) const {
  if (pending.null) return {"NULL", seq, "", ""};
  const ReportCode& code = options_.code_table.Of(pending.report);
  const std::string zone = ThreeDigits(options_.zone);
  Dc09Message message;
  message.seq = seq;
  if (options_.message_format == Dc09Format::Cid) {
    // Contact ID: qualifier (1 new, 3 restore), event, group, zone.
    message.id = "ADM-CID";
    message.data = std::string(code.cid.front() == 'R' ? "3" : "1") + code.cid.substr(1) + " 01 " + zone;
  } else {
    message.id = "SIA-DCS";
    message.data = "Nri1/" + code.sia + zone;
  }
  // The timestamp proves the message fresh; when the event is older (it
  // waited for the centre), its own time goes with it.
  const auto seconds = [](SystemTime t) { return std::chrono::floor<std::chrono::seconds>(t); };
  if (seconds(pending.when) != seconds(system_clock::now()))
    message.extended = "[H" + Dc09Timestamp(pending.when + offset_) + "]";
  return message;
}

void Dc09Outlet::SendNext(Clock::time_point now) {
  InFlight next;
  if (!queue_.empty()) {
    next.pending = std::move(queue_.front());
    queue_.pop_front();
  } else if (options_.null_seconds > 0 && now >= next_null_) {
    next.pending.null = true;
  } else {
    return;
  }
  next.seq = next_seq_;
  next_seq_ = next_seq_ >= 9999 ? 1 : next_seq_ + 1;
  current_ = paths_.size() > 1 && main_failed_ && now - *main_failed_ < kStayOnBackup ? 1 : 0;
  in_flight_ = std::move(next);
  Transmit(now);
}

void Dc09Outlet::Transmit(Clock::time_point now) {
  in_flight_->sent = true;
  ++in_flight_->tries;
  in_flight_->deadline = now + kAnswerWait;
  const Dc09Key* key = options_.key ? &*options_.key : nullptr;
  Current().Received().clear();
  Current().Send(BuildDc09Frame(options_.Sender(), MessageOf(in_flight_->pending, in_flight_->seq),
                                system_clock::now() + offset_, key));
}

void Dc09Outlet::CheckAnswers(Clock::time_point now) {
  const Dc09Key* key = options_.key ? &*options_.key : nullptr;
  for (const Dc09Answer& answer : TakeDc09Answers(&Current().Received(), key)) {
    if (answer.kind == Dc09Answer::Kind::Ack && answer.seq == in_flight_->seq &&
        SameHex(answer.account, options_.account) &&
        (answer.prefix.empty() || SameHex(answer.prefix, options_.prefix)))
      return Settled(now);
    if (answer.kind == Dc09Answer::Kind::Nak) {
      // It answered: the path is up, whatever it thought of the message.
      PathUp();
      if (in_flight_->pending.null) return Settled(now);
      if (answer.receiver_time) offset_ = *answer.receiver_time - system_clock::now();
      if (++in_flight_->naks > kNaksPerMessage) return Failed(now, "refused (NAK)");
      --in_flight_->tries;
      return Transmit(now);
    }
    if (answer.kind == Dc09Answer::Kind::Duh) return Failed(now, "not understood (DUH)");
  }
  if (!Current().Failure().empty()) return Failed(now, Current().Failure());
  if (now >= in_flight_->deadline) Failed(now, "no answer");
}

void Dc09Outlet::PathUp() {
  if (path_state_ == PathState::Up) return;
  path_state_ = PathState::Up;
  Journal(Event::CentrePathUp, {{"path", current_ == 0 ? "main" : "backup"}, {"waiting", queue_.size() + 1}});
}

void Dc09Outlet::Settled(Clock::time_point now) {
  PathUp();
  const Pending& pending = in_flight_->pending;
  if (!pending.null) {
    Journal(Event::CentreAcked, {{"reported", pending.reported},
                                 {"event_seq", pending.event_seq},
                                 {"event_time", pending.event_time},
                                 {"code", SentCode(pending.report)},
                                 {"dc09_seq", in_flight_->seq},
                                 {"path", current_ == 0 ? "main" : "backup"}});
  }
  in_flight_.reset();
  backoff_.Answered();
  // Any answer supervises the line as well as a NULL would.
  next_null_ = now + std::chrono::seconds(options_.null_seconds);
}

void Dc09Outlet::Failed(Clock::time_point now, const std::string& why) {
  Current().Close();
  if (current_ == 0) main_failed_ = now;
  if (in_flight_->tries < kTriesPerPath) return Transmit(now);
  in_flight_->tries = in_flight_->naks = 0;
  if (current_ + 1 < paths_.size()) {
    ++current_;
    return Transmit(now);
  }
  // Every path failed this round: the next begins on the main path after
  // the backoff, with the same message and number.
  current_ = 0;
  if (path_state_ != PathState::Down) {
    path_state_ = PathState::Down;
    Journal(Event::CentrePathDown,
            {{"reason", why}, {"waiting", queue_.size() + (in_flight_->pending.null ? 0 : 1)}});
  }
  if (in_flight_->pending.null)
    in_flight_.reset();
  else
    in_flight_->sent = false;
  backoff_.Failed(now);
}

Outlet::Clock::time_point Dc09Outlet::Step(Clock::time_point now) {
  if (!resumed_) {
    resumed_ = true;
    Resume();
    next_null_ = now + std::chrono::seconds(options_.null_seconds);
  }
  io_->restart();
  io_->poll();
  for (const Pending& pending : dropped_) {
    Journal(Event::CentreDropped, {{"reported", pending.reported},
                                   {"event_seq", pending.event_seq},
                                   {"event_time", pending.event_time},
                                   {"code", SentCode(pending.report)}});
  }
  dropped_.clear();
  if (in_flight_ && in_flight_->sent) CheckAnswers(now);
  if (in_flight_ && !in_flight_->sent && backoff_.Due(now)) Transmit(now);
  if (!in_flight_ && backoff_.Due(now)) SendNext(now);
  if (in_flight_ && in_flight_->sent) return now + kAnswerPoll;
  if (in_flight_ || !queue_.empty()) return std::max(backoff_.Next(), now + kAnswerPoll);
  return options_.null_seconds > 0 ? next_null_ : Clock::time_point::max();
}

void Dc09Outlet::Stop(Clock::duration drain) {
  const Clock::time_point until = Clock::now() + drain;
  while ((in_flight_ || !queue_.empty()) && Clock::now() < until) {
    const Clock::time_point next = Step(Clock::now());
    std::this_thread::sleep_until(std::min(next, until));
  }
  for (const auto& path : paths_) path->Close();
}

}  // namespace tarvin
