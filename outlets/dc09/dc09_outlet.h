// The recorder's reports to an alarm receiving centre over SIA DC-09. Every
// event the centre is told of is in the journal before it goes; one message
// is out at a time, in the journal's order, and leaves the queue only when
// the receiver acknowledges it (journalled as dc09_acked). A message goes to
// the main path, then the backup, with a backoff between rounds; while none
// answers the events wait, bounded, and the journal says the path is down.
// A restarted recorder sends first what its journal shows unacknowledged.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "journal/journal.h"
#include "outlets/backoff.h"
#include "outlets/dc09/dc09_options.h"
#include "outlets/outlet.h"

namespace boost::asio {
class io_context;
}

namespace tarvin {

class Dc09Path;

class Dc09Outlet : public Outlet {
 public:
  // At most this many events wait for the centre; the oldest go first.
  static constexpr std::size_t kQueueLimit = 1000;
  // A journal's unacknowledged events are sent after a restart when they
  // are at most this old, and read from at most this much of its end.
  static constexpr std::chrono::hours kResendWithin{24};
  static constexpr uint64_t kResendBytes = 8u << 20;
  // How long an answer is waited for, and how often a message is tried on
  // one path before the next; how many NAKs it may have.
  static constexpr std::chrono::seconds kAnswerWait{5};
  static constexpr int kTriesPerPath = 2;
  static constexpr int kNaksPerMessage = 3;

  Dc09Outlet(Dc09Options options, Journal& journal, ConsoleLine say);
  ~Dc09Outlet() override;

  void TakeEvent(const nlohmann::ordered_json& event) override;
  Clock::time_point Step(Clock::time_point now) override;
  void Stop(Clock::duration drain) override;

 private:
  struct Pending {
    Report report = Report::Started;
    std::string reported;  // the journal event's name
    nlohmann::ordered_json event_seq, event_time;
    SystemTime when;  // when it happened, by this machine's clock
    bool null = false;
  };
  struct InFlight {
    Pending pending;
    int seq = 0;
    int tries = 0;  // on the current path
    int naks = 0;
    bool sent = false;  // false while a failed round waits out its backoff
    Clock::time_point deadline;
  };

  std::optional<Pending> PendingOf(const JournalEvent& event) const;
  void Resume();
  void Journal(Event event, nlohmann::ordered_json fields);
  void SendNext(Clock::time_point now);
  void Transmit(Clock::time_point now);
  void CheckAnswers(Clock::time_point now);
  void Settled(Clock::time_point now);
  void Failed(Clock::time_point now, const std::string& why);
  void PathUp();
  Dc09Message MessageOf(const Pending& pending, int seq) const;
  // The code a report goes as in this site's format, as the journal names it.
  const std::string& SentCode(Report report) const;
  Dc09Path& Current() { return *paths_[current_]; }

  Dc09Options options_;
  tarvin::Journal& journal_;
  ConsoleLine say_;
  // Sockets stay behind the outlet: Asio's headers want to come before
  // any windows.h, which the recorder's other files include.
  std::unique_ptr<boost::asio::io_context> io_;
  std::vector<std::unique_ptr<Dc09Path>> paths_;
  std::size_t current_ = 0;
  std::optional<Clock::time_point> main_failed_;
  std::deque<Pending> queue_;
  std::vector<Pending> dropped_;
  std::optional<InFlight> in_flight_;
  Backoff backoff_;
  bool resumed_ = false;
  enum class PathState { Unknown, Up, Down } path_state_ = PathState::Unknown;
  int next_seq_ = 1;
  // The receiver's clock less ours, learnt from a NAK: timestamps are the
  // receiver's time, or it refuses them as stale.
  std::chrono::system_clock::duration offset_{};
  Clock::time_point next_null_;
};

}  // namespace tarvin
