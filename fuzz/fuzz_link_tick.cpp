// Arbitrary bytes on the line, cut into arbitrary ticks and mixed with the
// operator's actions and failing port operations, through the link engine over
// the fake port. After every step the engine's state must still be one the
// link supervision can be in; ASan catches any read past a frame.
//
// Input: a sequence of steps. Each step starts with an action byte; some
// actions take the next byte (a length or a value) and, for line data, that
// many bytes after it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/link_engine.h"
#include "fuzz/fuzz_check.h"
#include "link/port_fake.h"
#include "session/sensor_session.h"
#include "tests/support/session_parts.h"

namespace tarvin {
namespace {

class Input {
 public:
  Input(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Empty() const { return at_ >= size_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::string_view Bytes(std::size_t n) {
    if (n > size_ - at_) n = size_ - at_;
    const std::string_view out(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return out;
  }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// Counters only grow, by wrap-around included: the unsigned distance from the
// last value seen is small. A reset by the operator sets a new baseline.
void CheckGrew(int32_t before, int32_t after, const char* name) {
  const uint32_t step = static_cast<uint32_t>(after) - static_cast<uint32_t>(before);
  if (step > 0x40000000u) Fail(name);
}

void CheckCounters(const LinkCounters& before, const LinkCounters& after) {
  CheckGrew(before.N_rv_byte, after.N_rv_byte, "N_rv_byte went down");
  CheckGrew(before.N_rv_frame, after.N_rv_frame, "N_rv_frame went down");
  CheckGrew(before.ChecksumErrors, after.ChecksumErrors, "ChecksumErrors went down");
  CheckGrew(before.Overflow_buffer, after.Overflow_buffer, "Overflow_buffer went down");
  CheckGrew(before.Time_out, after.Time_out, "Time_out went down");
  CheckGrew(before.N_tr_byte, after.N_tr_byte, "N_tr_byte went down");
  CheckGrew(before.N_tr_frame, after.N_tr_frame, "N_tr_frame went down");
}

bool SameCounters(const LinkCounters& a, const LinkCounters& b) {
  return a.N_rv_byte == b.N_rv_byte && a.N_rv_frame == b.N_rv_frame && a.ChecksumErrors == b.ChecksumErrors &&
         a.Overflow_buffer == b.Overflow_buffer && a.Time_out == b.Time_out && a.N_tr_byte == b.N_tr_byte &&
         a.N_tr_frame == b.N_tr_frame;
}

// Slots from Count on are all zero. Comparing all 1024 words of every slot after
// every step would cost most of the run: steps compare the head of each slot,
// the end of the input compares everything.
void CheckQueue(const CommandQueue& q, bool whole = false) {
  static const CommandSlot kEmpty = {};
  const std::size_t compared =
      whole ? sizeof(CommandSlot) : offsetof(CommandSlot, usData) + 16 * sizeof(uint16_t);
  CHECK(q.Count >= 0 && q.Count <= SIZE_CMD_QUEUE);
  for (int i = 0; i < SIZE_CMD_QUEUE; ++i) {
    const CommandSlot& s = q.Slots[i];
    if (i < q.Count) {
      CHECK(s.usCode != 0);
      CHECK(s.ucStart == ':');
      CHECK(s.usDataLen >= 2 && s.usDataLen <= 4);
      CHECK(s.usCode == (s.usData[0] & 0xFF));
    } else {
      CHECK(std::memcmp(&s, &kEmpty, compared) == 0);
      CHECK(s.usDataLen == 0);
    }
  }
}

void CheckState(const LinkEngine& e) {
  CHECK(e.Exchange().RxLength < kRxBufferSize);
  CHECK(e.LinkState() == LinkState::Lost || e.LinkState() == LinkState::Up ||
        e.LinkState() == LinkState::Opened);
  CHECK(e.PollStage() == PollStage::Version || e.PollStage() == PollStage::Settings ||
        e.PollStage() == PollStage::Status);
  CHECK(e.Exchange().FrameState <= 2);
  CHECK(e.Exchange().AwaitingReply == 0 || e.Exchange().AwaitingReply == 1);
  CHECK(e.Exchange().WaitTicks >= 0 && e.Exchange().WaitTicks <= 20);
  CHECK(e.Exchange().RetryCount >= 0 && e.Exchange().RetryCount <= 5);
  CHECK(e.Exchange().TickErrorMark == 0);  // cleared at the end of every tick
  CHECK(std::memchr(e.Rv_Frame(), '\0', kRxBufferSize) != nullptr);
  CHECK(std::memchr(e.Tr_Frame(), '\0', kTrFrameSize) != nullptr);
  CheckQueue(e.Exchange().Queue);
}

// Records only what the invariants look at, without allocating per call.
class CountingSink : public NullSessionSink {
 public:
  void Reset() {
    notices.clear();
    points = 0;
  }
  // A sample comes only from characters the check covered: the body as
  // Check_KS saw it (up to the first NUL) holds the ten data words and the LRC.
  void ScopeAddPoints(uint16_t, const ScopeSample&) override {
    ++points;
    if (engine != nullptr && std::strlen(engine->Exchange().RxBuffer) < 46)
      Fail("a sample from unchecked characters");
  }

  std::vector<Notice> notices;
  std::size_t points = 0;
  const LinkEngine* engine = nullptr;
};

}  // namespace
}  // namespace tarvin

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tarvin;
  static CountingSink sink;
  sink.Reset();
  FakePort port;
  // Nothing shown and no journal: the link, the scope data and the commands.
  static std::optional<SensorSession> session_storage;
  SensorSession& session = session_storage.emplace(
      port, sink, nullptr,
      SessionOptions{SessionOptions::Notices::JournalledOnly, SessionOptions::Chart::AsOperatorLeavesIt});
  LinkEngine& engine = SessionParts::Engine(session);
  ScopeModel& scope = SessionParts::Scope(session);
  SensorCommands& commands = session.Commands();
  scope.SetDefaults();
  // No such folder: automatic saves fail the way a missing folder makes them fail.
  scope.SetScopeFolder("/nonexistent-tarvin-fuzz/Chart4pF/");
  sink.engine = &engine;
  engine.SetClock([]() -> int64_t { return 0; });
  engine.OpenPort(1);

  Input in(data, size);
  LinkCounters last = engine.Counters();
  while (!in.Empty()) {
    const uint8_t action = in.Byte();
    const std::size_t notices_before = sink.notices.size();
    const LinkState link_before = engine.LinkState();
    const std::size_t points_before = sink.points;
    const int32_t chart_before = engine.ChartTag();
    bool ticked = false;
    switch (action % 16) {
      case 0:
      case 1:
      case 2:
      case 3:
      case 4:
      case 5: {  // line data, then a tick
        std::size_t length = in.Byte();
        if (action % 16 == 5) length += 256u * (in.Byte() % 8u);  // longer runs: overflows
        port.Deliver(in.Bytes(length));
        const bool held = port.IsOpen();
        const LinkCounters before = engine.Counters();
        session.Tick();
        ticked = true;
        // A closed port is not touched: nothing read, nothing written, nothing counted.
        if (!held) CHECK(SameCounters(before, engine.Counters()));
        // The engine's own close leaves nothing in flight and nothing queued.
        if (held && !port.IsOpen())
          CHECK(engine.Exchange().AwaitingReply == 0 && engine.Exchange().Queue.Count == 0);
        break;
      }
      case 6: {  // ticks with nothing arriving: time-outs, resends, give-up
        const int n = 1 + in.Byte() % 64;
        for (int i = 0; i < n; ++i) {
          session.Tick();
          CheckState(engine);
        }
        ticked = true;
        break;
      }
      case 7:
        session.Poll();
        break;
      case 8:
        session.CountDown();
        break;
      case 9:
        port.fail_writes = !port.fail_writes;
        break;
      case 10:
        port.fail_read = in.Byte() % 4;
        break;
      case 11: {  // the operator chooses a port again
        const uint8_t how = in.Byte();
        port.open_result = how % 5 == 0   ? OpenResult::NotOpened
                           : how % 5 == 1 ? OpenResult::SettingsUnreadable
                                          : OpenResult::Opened;
        engine.SetTicking(false);
        if (engine.PortHeld()) engine.ClosePort();
        const bool opened = engine.OpenPort(static_cast<int16_t>(1 + how % 70));
        CHECK(opened == (port.open_result == OpenResult::Opened));
        if (opened) {
          CHECK(engine.LinkState() == LinkState::Opened && engine.Exchange().Queue.Count == 0 &&
                engine.Exchange().TxFailCount == 0);
        } else {
          CHECK(engine.LinkState() == LinkState::Lost);
        }
        break;
      }
      case 12: {  // the operator's buttons
        const uint8_t which = in.Byte();
        switch (which % 6) {
          case 0:
            commands.StartOrStopChart();
            break;
          case 1:
            commands.ReadSettings();
            break;
          case 2:
            commands.ToggleSaveOnAlarm();
            break;
          case 3:
            commands.ReadNetworkAddress();
            break;
          case 4:
            commands.WriteNetworkAddress(std::to_string(which * 257));
            break;
          default:
            commands.StopChartTransmission();
            break;
        }
        break;
      }
      case 13: {  // the operator's fields
        const uint8_t a = in.Byte(), b = in.Byte();
        commands.SetThreshold(std::to_string(a * 17), std::to_string(b % 60));
        if (a % 4 == 0) scope.SetWindowLength(std::to_string(b * 20));
        if (a % 4 == 1) commands.SetSaveLevel(std::to_string(b));
        break;
      }
      case 14:  // the diagnostics reset: counters start again from zero
        engine.ResetDiagnostics();
        last = engine.Counters();
        break;
      default:  // the chart started or stopped by the engine's own operations
        if (in.Byte() & 1)
          engine.StartChart();
        else
          engine.StopChart();
        break;
    }
    for (const Notice notice : session.TakeRaised().notices) sink.notices.push_back(notice);
    CheckState(engine);
    CheckCounters(last, engine.Counters());
    last = engine.Counters();
    // Each loss and each return is reported once, and only by a change of
    // LinkState made in a tick: replaying the notices gives the state reached.
    if (ticked) {
      LinkState state = link_before;
      for (std::size_t i = notices_before; i < sink.notices.size(); ++i) {
        if (sink.notices[i] == Notice::LinkLost) {
          CHECK(state != LinkState::Lost);
          state = LinkState::Lost;
        } else if (sink.notices[i] == Notice::LinkRestored) {
          CHECK(state != LinkState::Up);
          state = LinkState::Up;
        }
      }
      CHECK(state == engine.LinkState());
    } else {
      CHECK(sink.notices.size() == notices_before);  // only a tick posts
    }
    // Three failed writes close the port; it stays closed until a successful
    // opening (a device held after unreadable settings never ticks).
    if (engine.Exchange().TxFailCount >= 3) CHECK(!engine.PortHeld() || !engine.Ticking());
    // Chart frames become samples only while the operator has started the chart.
    if (ticked && chart_before == 0) CHECK(sink.points == points_before);
  }
  CheckQueue(engine.Exchange().Queue, true);
  return 0;
}
