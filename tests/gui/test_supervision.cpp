// Supervision in a session without a window: the port opening, the port change, the exit's
// port handling and the notices, over the fake port and the recorder sink.
#include <gtest/gtest.h>

#include <algorithm>

#include "link/port_fake.h"
#include "session/sensor_session.h"
#include "tests/support/engine_probe.h"
#include "tests/support/recorder_sink.h"
#include "tests/support/session_parts.h"

namespace tarvin::testing {
namespace {

struct Rig {
  FakePort port;
  RecorderSink sink;
  SensorSession session{port, sink, nullptr};
  LinkEngine& engine = SessionParts::Engine(session);
  Supervision& supervision = SessionParts::Supervisor(session);

  // Position of the first call starting with `prefix`; -1 when absent.
  int At(const std::string& prefix) const {
    const auto it = std::find_if(sink.calls.begin(), sink.calls.end(),
                                 [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
    return it == sink.calls.end() ? -1 : static_cast<int>(it - sink.calls.begin());
  }
};

TEST(Supervision, StartupFailureResetsButtonsThenNamesThePortThenWarns) {
  Rig r;
  LinkEngineProbe::SetChartTag(r.engine, 1);
  LinkEngineProbe::SetSensorFlags(r.engine, 0x0003);
  r.port.open_result = OpenResult::NotOpened;
  EXPECT_FALSE(r.supervision.OpenAtStartup(0, "COM1"));
  EXPECT_EQ(r.engine.ChartTag(), 0);
  EXPECT_EQ(r.engine.SaveAlarmTag(), 0);
  EXPECT_EQ(r.engine.SensorFlags(), 0);
  EXPECT_EQ(r.sink.port_status, "COM1 closed");
  ASSERT_EQ(r.sink.boxes.size(), 1u);
  EXPECT_EQ(r.sink.boxes[0].text, "Не открылся СОМ-порт!");
  EXPECT_EQ(r.sink.boxes[0].caption, "Внимание");
  EXPECT_EQ(r.sink.boxes[0].icon, BoxIcon::Warning);
  EXPECT_LT(r.At("ShowChartRunning"), r.At("SetPortState"));
  EXPECT_LT(r.At("SetPortState"), r.At("ShowLinkSign"));
  EXPECT_LT(r.At("ShowLinkSign"), r.At("ShowBox"));
  EXPECT_FALSE(r.engine.Ticking());
}

TEST(Supervision, PortChangeClosesTheOldPortAndNamesTheNewFirst) {
  Rig r;
  ASSERT_TRUE(r.supervision.OpenAtStartup(0, "COM1"));
  EXPECT_EQ(r.sink.port_status, "COM1 open");
  EXPECT_TRUE(r.engine.Ticking());
  r.sink.Clear();
  r.port.open_result = OpenResult::NotOpened;
  EXPECT_FALSE(r.supervision.ChangePort(69, "COM70"));
  EXPECT_EQ(r.port.closes, 1);
  EXPECT_EQ(r.port.last_number, 70);
  EXPECT_FALSE(r.engine.Ticking());
  EXPECT_EQ(r.sink.port_status, "COM70 closed");
  EXPECT_EQ(r.engine.PortText(), "COM70");
  // The timer stops before anything else; on failure the port is named off before the buttons reset.
  EXPECT_EQ(r.At("SetTicking off"), 0);
  EXPECT_LT(r.At("SetPortState"), r.At("ShowLinkSign"));
  EXPECT_LT(r.At("ShowLinkSign"), r.At("ShowChartRunning"));
  EXPECT_LT(r.At("ShowChartRunning"), r.At("ShowBox"));
}

TEST(Supervision, ExitPurgesAndClosesOnlyAHeldPort) {
  {
    Rig r;
    r.supervision.OpenAtStartup(0, "COM1");
    const int purges = r.port.purges_all;
    r.supervision.ExitConfirmed();
    EXPECT_FALSE(r.engine.Ticking());
    EXPECT_EQ(r.port.purges_all, purges + 1);
    EXPECT_EQ(r.port.closes, 1);
  }
  {
    Rig r;  // opened, but its settings could not be read: still held
    r.port.open_result = OpenResult::SettingsUnreadable;
    EXPECT_FALSE(r.supervision.OpenAtStartup(0, "COM1"));
    r.supervision.ExitConfirmed();
    EXPECT_EQ(r.port.purges_all, 1);
    EXPECT_EQ(r.port.closes, 1);
  }
  {
    Rig r;  // nothing held: nothing touched
    r.port.open_result = OpenResult::NotOpened;
    r.supervision.OpenAtStartup(0, "COM1");
    r.supervision.ExitConfirmed();
    EXPECT_EQ(r.port.purges_all, 0);
    EXPECT_EQ(r.port.closes, 0);
  }
}

TEST(Supervision, NoticesSetThePictureBeforeTheBox) {
  struct Case {
    Notice notice;
    LinkSign picture;
    const char* caption;
    BoxIcon icon;
    const char* text;
  };
  const Case cases[] = {
      {Notice::LinkLost, LinkSign::Silent, "Ошибка", BoxIcon::Error, "Нет связи с датчиком!"},
      {Notice::LinkRestored, LinkSign::Answering, "", BoxIcon::None, "Связь восстановлена!"},
  };
  for (const Case& c : cases) {
    Rig r;
    r.supervision.OpenAtStartup(0, "COM1");
    r.sink.Clear();
    EXPECT_EQ(r.supervision.HandleNotice(c.notice), NoticeOutcome::Continue);
    ASSERT_EQ(r.sink.pictures.size(), 1u);
    EXPECT_EQ(r.sink.pictures[0], c.picture);
    ASSERT_EQ(r.sink.boxes.size(), 1u);
    EXPECT_EQ(r.sink.boxes[0].caption, c.caption);
    EXPECT_EQ(r.sink.boxes[0].icon, c.icon);
    EXPECT_EQ(r.sink.boxes[0].text, c.text);
    EXPECT_LT(r.At("ShowLinkSign"), r.At("ShowBox"));
    EXPECT_TRUE(r.port.IsOpen());
    EXPECT_TRUE(r.engine.Ticking());
  }
}

TEST(Supervision, WrongVersionWarnsThenLetsThePortGoOnce) {
  Rig r;
  r.supervision.OpenAtStartup(0, "COM1");
  const int purges = r.port.purges_all;
  r.sink.Clear();
  EXPECT_EQ(r.supervision.HandleNotice(Notice::WrongVersion), NoticeOutcome::CloseWindow);
  ASSERT_EQ(r.sink.boxes.size(), 1u);
  EXPECT_EQ(r.sink.boxes[0].caption, "ОШИБКА !");
  EXPECT_NE(r.sink.boxes[0].text.find("версией 2.0 программного"), std::string::npos);
  EXPECT_LT(r.At("ShowLinkSign"), r.At("ShowBox"));
  EXPECT_LT(r.At("ShowBox"), r.At("SetTicking off"));
  EXPECT_FALSE(r.port.IsOpen());
  EXPECT_EQ(r.port.purges_all, purges);  // closed without a purge
  // A second notice changes nothing.
  EXPECT_EQ(r.supervision.HandleNotice(Notice::WrongVersion), NoticeOutcome::Continue);
  EXPECT_EQ(r.sink.boxes.size(), 1u);
}

}  // namespace
}  // namespace tarvin::testing
