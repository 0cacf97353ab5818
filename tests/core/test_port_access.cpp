// The warning after a failed opening: the box's own words, and beneath them
// what an operator refused the device can do about it.
#include <gtest/gtest.h>

#include <string>

#include "link/port_fake.h"
#include "session/sensor_session.h"
#include "tests/support/recorder_sink.h"
#include "tests/support/session_parts.h"

namespace tarvin::testing {
namespace {

struct OpenCase {
  OpenFailure failure;
  const char* device;
  const char* group;
  const char* box;
};

TEST(PortAccess, WarningNamesTheGroupOnlyWhenAccessWasDenied) {
  const OpenCase cases[] = {
      {OpenFailure::AccessDenied, "/dev/ttyUSB0", "dialout",
       "Не открылся СОМ-порт!\n\n"
       "Нет доступа к /dev/ttyUSB0: пользователь не входит в группу dialout.\n"
       "Выполните: sudo usermod -aG dialout $USER и войдите в систему заново."},
      {OpenFailure::AccessDenied, "/dev/ttyS3", "uucp",
       "Не открылся СОМ-порт!\n\n"
       "Нет доступа к /dev/ttyS3: пользователь не входит в группу uucp.\n"
       "Выполните: sudo usermod -aG uucp $USER и войдите в систему заново."},
      // A device only root's group may open: joining a group would not help.
      {OpenFailure::AccessDenied, "/dev/ttyS0", "root",
       "Не открылся СОМ-порт!\n\n"
       "Нет доступа к /dev/ttyS0: откройте права на чтение и запись этого устройства."},
      {OpenFailure::AccessDenied, "/dev/ttyS0", "",
       "Не открылся СОМ-порт!\n\n"
       "Нет доступа к /dev/ttyS0: откройте права на чтение и запись этого устройства."},
      {OpenFailure::Other, "/dev/ttyUSB0", "dialout", "Не открылся СОМ-порт!"},
  };
  for (const OpenCase& c : cases) {
    SCOPED_TRACE(std::string(c.device) + " " + c.group);
    FakePort port;
    RecorderSink sink;
    SensorSession session{port, sink, nullptr};
    Supervision& supervision = SessionParts::Supervisor(session);
    port.open_result = OpenResult::NotOpened;
    port.open_failure = c.failure;
    port.device = c.device;
    port.device_group = c.group;

    EXPECT_FALSE(supervision.OpenAtStartup(0, "COM1"));
    EXPECT_FALSE(supervision.ChangePort(1, "COM2"));
    ASSERT_EQ(sink.boxes.size(), 2u);
    for (const Box& box : sink.boxes) {
      EXPECT_EQ(box.text, c.box);
      EXPECT_EQ(box.caption, "Внимание");
      EXPECT_EQ(box.icon, BoxIcon::Warning);
    }
  }
}

TEST(PortAccess, SuccessfulOpeningClearsTheReason) {
  FakePort port;
  port.open_failure = OpenFailure::AccessDenied;
  port.device_group = "dialout";
  ASSERT_EQ(port.Open(1), OpenResult::Opened);
  EXPECT_EQ(PortFailure(port).code, MessageCode::PortNotOpened);
}

}  // namespace
}  // namespace tarvin::testing
