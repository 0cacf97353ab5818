// The automatic save on alarm through the whole session, as the recorder runs
// it: the journal's `saved` names the alarm that armed it, a file holds only
// samples that came, and a save armed before a loss of the link is written
// with the samples before it when the chart starts again.
#include <gtest/gtest.h>

#include "session/sensor_session.h"
#include "tests/support/link_frames.h"
#include "tests/support/temp_folder.h"

namespace tarvin::testing {
namespace {

struct StreamRig {
  TempFolder dir;
  FakePort port;
  RecorderSink sink;
  Journal journal;
  SensorSession session{port, sink, &journal, SessionOptions{false, true}};
  LinkEngine& engine = session.Engine();
  std::vector<nlohmann::ordered_json> events;
  uint16_t sent = 0;

  StreamRig() {
    journal.AddObserver([this](const nlohmann::ordered_json& e) { events.push_back(e); });
    session.Scope().ScopeFolder = dir.Folder();
    session.Scope().WindowLength = 20;
    engine.SetSaveOnAlarm(true);
    engine.Open_Port(1);
  }
  void Tick(const std::string& bytes = "") {
    port.Deliver(bytes);
    session.Tick();
    session.HandleRaised();
  }
  void Exchange(uint16_t command, const std::string& reply) {
    engine.QueueCommand(command);
    Tick();
    Tick(reply);
  }
  // The link up, and the two mode commands that start the chart answered.
  void LinkUp() {
    Exchange(0x014D, VersionReply(0x0002, 0));
    for (int i = 0; i < 2; ++i) {
      Tick();
      Tick(Reply(0x5B, {0}));
    }
  }
  void Status(uint16_t alarm_bits) { Exchange(0x0141, Reply(0x41, {alarm_bits})); }
  // Chart samples numbered in their useful signal.
  void Samples(int n) {
    for (int i = 0; i < n; ++i) Tick(Stream(0x42, {++sent, 0, 0, 0, 0, 0, 60, 0, 0, 0}));
  }
  const nlohmann::ordered_json& Last(const std::string& name) const {
    for (auto e = events.rbegin(); e != events.rend(); ++e)
      if (e->value("event", "") == name) return *e;
    static const nlohmann::ordered_json none;
    return none;
  }
  std::vector<uint32_t> Useful(const nlohmann::ordered_json& saved) const {
    Oscillogram o;
    EXPECT_EQ(ReadOscillogram(saved.value("path", ""), &o), FileStatus::Ok);
    return o.useful;
  }
};

std::vector<uint32_t> Numbered(uint32_t first, uint32_t last) {
  std::vector<uint32_t> out;
  for (uint32_t n = first; n <= last; ++n) out.push_back(n);
  return out;
}

TEST(AlarmSaves, NameTheirAlarmHoldOnlyWhatCameAndSurviveALossOfTheLink) {
  StreamRig rig;
  rig.LinkUp();
  rig.Samples(4);
  rig.Status(0x06);  // alarm 1 arms the save
  const auto first = rig.Last("alarm_begin");
  rig.Samples(3);
  rig.Status(0x00);
  rig.Status(0x02);  // alarm 2 begins while the save is armed: it names nothing
  rig.Samples(8);
  // Half a window after alarm 1: 15 samples came, not a window of 20 padded with zeros.
  const auto saved = rig.Last("saved");
  ASSERT_FALSE(saved.is_null());
  EXPECT_EQ(saved["alarm_seq"], first["seq"]);
  EXPECT_EQ(saved["alarm_begin"], first["time"]);
  EXPECT_EQ(saved["samples"], 15);
  EXPECT_EQ(rig.Useful(saved), Numbered(1, 15));

  rig.Status(0x00);
  rig.Status(0x04);  // alarm 3 arms a save; the link is lost 2 samples later
  const auto third = rig.Last("alarm_begin");
  rig.Samples(2);
  rig.engine.QueueCommand(0x0141);
  for (int i = 0; i < 6 * 21 + 2; ++i) rig.Tick();
  ASSERT_EQ(rig.events.back().value("event", ""), "link_lost");
  // Back: before the history is cleared, the save is written with the
  // samples its window would have begun with, up to the last that came.
  rig.LinkUp();
  const auto kept = rig.Last("saved");
  EXPECT_EQ(kept["alarm_seq"], third["seq"]);
  EXPECT_TRUE(kept.value("at_stop", false));
  EXPECT_EQ(rig.Useful(kept), Numbered(7, 17));
}

}  // namespace
}  // namespace tarvin::testing
