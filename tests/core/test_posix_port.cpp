// The POSIX port against a real pseudo-terminal standing in for the adapter.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "link/port_posix.h"
#include "tests/support/link_frames.h"

namespace tarvin {
namespace {

// A pseudo-terminal whose slave is linked as COM1 in a fresh temporary folder.
class PtyFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    signal(SIGPIPE, SIG_IGN);
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    slave_ = ptsname(master_);
    char folder[] = "/tmp/tarvin-port-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    folder_ = folder;
    ASSERT_EQ(symlink(slave_.c_str(), (folder_ + "/COM1").c_str()), 0);
  }
  void TearDown() override {
    CloseMaster();
    unlink((folder_ + "/COM1").c_str());
    rmdir(folder_.c_str());
  }
  void CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }
  // Blocks until `n` bytes came from the program's side.
  std::string ReadMaster(std::size_t n) {
    std::string out;
    char buffer[64];
    while (out.size() < n) {
      const ssize_t got = read(master_, buffer, std::min(sizeof buffer, n - out.size()));
      if (got <= 0) break;
      out.append(buffer, static_cast<std::size_t>(got));
    }
    return out;
  }
  void WriteMaster(const std::string& bytes) {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Reads `n` bytes through the port; they may reach the slave a moment after the write.
  static std::string ReadPort(SerialPort& port, std::size_t n) {
    std::string out;
    while (out.size() < n) {
      uint8_t byte = 0;
      const int r = port.ReadByte(&byte);
      if (r < 0) break;
      if (r == 1) {
        out.push_back(static_cast<char>(byte));
      } else {
        sched_yield();
      }
    }
    return out;
  }

  int master_ = -1;
  std::string slave_;
  std::string folder_;
};

TEST_F(PtyFolder, DeviceIsTheFolderEntryOrTheSystemPort) {
  PosixPort port(folder_);
  EXPECT_EQ(port.DevicePath(1), folder_ + "/COM1");
  EXPECT_EQ(port.DevicePath(2), "/dev/ttyS1");
  EXPECT_EQ(PosixPort(folder_ + "/").DevicePath(1), folder_ + "/COM1");
  EXPECT_EQ(PosixPort("").DevicePath(70), "/dev/ttyS69");
}

TEST_F(PtyFolder, OpensUnsharedAndExchangesBytes) {
  PosixPort port(folder_);
  ASSERT_EQ(port.Open(1), OpenResult::Opened);  // a pty keeps 8N1: not a failure
  EXPECT_TRUE(port.IsOpen());

  PosixPort second(folder_);
  EXPECT_EQ(second.Open(1), OpenResult::NotOpened);  // held by the first

  uint8_t byte = 0;
  EXPECT_EQ(port.ReadByte(&byte), 0);  // nothing waiting: returns at once

  for (char ch : std::string(":014DB2\r\n")) EXPECT_TRUE(port.WriteByte(static_cast<uint8_t>(ch)));
  EXPECT_EQ(ReadMaster(9), ":014DB2\r\n");

  // Bytes are taken as 7-bit characters, CR and LF untouched by the line.
  WriteMaster(std::string("\xBA") + "0141BE\r\n");
  EXPECT_EQ(ReadPort(port, 9), ":0141BE\r\n");

  port.Close();
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.ReadByte(&byte), -1);
  EXPECT_FALSE(port.WriteByte('x'));
  EXPECT_EQ(second.Open(1), OpenResult::Opened);  // free again
}

TEST_F(PtyFolder, WriteAfterHangUpFailsAtOnce) {
  PosixPort port(folder_);
  ASSERT_EQ(port.Open(1), OpenResult::Opened);
  CloseMaster();
  EXPECT_FALSE(port.WriteByte(':'));
  uint8_t byte = 0;
  EXPECT_NE(port.ReadByte(&byte), 1);
}

TEST_F(PtyFolder, DanglingEntryIsNotReplacedByTheSystemPort) {
  ASSERT_EQ(symlink("/nonexistent/tty", (folder_ + "/COM3").c_str()), 0);
  PosixPort port(folder_);
  EXPECT_EQ(port.DevicePath(3), folder_ + "/COM3");
  EXPECT_EQ(port.Open(3), OpenResult::NotOpened);
  unlink((folder_ + "/COM3").c_str());
}

TEST_F(PtyFolder, MissingDeviceIsNotOpened) {
  PosixPort port(folder_ + "/absent");
  EXPECT_EQ(port.Open(71), OpenResult::NotOpened);  // /dev/ttyS70 does not exist
  EXPECT_FALSE(port.IsOpen());
}

TEST_F(PtyFolder, NotATerminalIsHeldWithUnreadableSettings) {
  const std::string plain = folder_ + "/COM2";
  const int fd = open(plain.c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  close(fd);
  PosixPort port(folder_);
  EXPECT_EQ(port.Open(2), OpenResult::SettingsUnreadable);
  EXPECT_TRUE(port.IsOpen());
  port.Close();
  unlink(plain.c_str());
}

// Opens `device` in a child that is not allowed to (as root: after becoming
// nobody) and answers what the port said: "<failure> <group> <device>".
std::string OpenAsStranger(const std::string& device) {
  int out[2];
  if (pipe(out) != 0) return "pipe failed";
  const pid_t child = fork();
  if (child == 0) {
    close(out[0]);
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) _exit(1);
    auto port = MakeNativePortForDevice(device);
    const bool opened = port->Open(1) == OpenResult::Opened;
    const std::string answer = std::string(opened ? "opened" : "refused") +
                               (port->LastFailure() == OpenFailure::AccessDenied ? " denied " : " other ") +
                               port->LastDeviceGroup() + " " + port->LastDevice();
    (void)!write(out[1], answer.data(), answer.size());
    _exit(0);
  }
  close(out[1]);
  std::string answer;
  char buffer[256];
  for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;)
    answer.append(buffer, static_cast<std::size_t>(got));
  close(out[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return answer;
}

TEST_F(PtyFolder, RefusedDeviceNamesTheGroupThatMayOpenIt) {
  // The adapter as Debian sets it up: root's, writable by a group, here "dialout" when there is one.
  struct stat st {};
  ASSERT_EQ(stat(slave_.c_str(), &st), 0);
  gid_t gid = st.st_gid;
  if (geteuid() == 0) {
    if (const group* dialout = getgrnam("dialout")) gid = dialout->gr_gid;
    ASSERT_EQ(chown(slave_.c_str(), 0, gid), 0);
    ASSERT_EQ(chmod(slave_.c_str(), 0660), 0);
  } else {
    ASSERT_EQ(chmod(slave_.c_str(), 0), 0);  // even its owner is refused now
  }
  const group* owner = getgrgid(gid);
  ASSERT_NE(owner, nullptr);
  EXPECT_EQ(OpenAsStranger(slave_), std::string("refused denied ") + owner->gr_name + " " + slave_);

  // A device that is not there is another failure, with no group to join.
  ASSERT_EQ(chmod(folder_.c_str(), 0755), 0);
  EXPECT_EQ(OpenAsStranger(folder_ + "/COM9"), "refused other  " + folder_ + "/COM9");

  PosixPort mine(PosixPort::FixedDevice{folder_ + "/COM1"});
  if (geteuid() == 0) {
    ASSERT_EQ(mine.Open(1), OpenResult::Opened);
    EXPECT_EQ(mine.LastFailure(), OpenFailure::None);
    EXPECT_EQ(mine.LastDeviceGroup(), "");
  }
}

TEST_F(PtyFolder, EngineExchangesAFrameThroughTheNativePort) {
  auto port = MakeNativePort(folder_);
  testing::RecorderSink sink;
  testing::RecorderScope scope;
  LinkEngine engine(*port, sink, scope);
  ASSERT_TRUE(engine.OpenPort(1));
  engine.Poll();
  engine.LinkTick();
  EXPECT_EQ(ReadMaster(9), ":014DB2\r\n");

  WriteMaster(testing::VersionReply(0x0002, 0));
  while (engine.Exchange().AwaitingReply == 1) {
    engine.LinkTick();
    if (engine.Exchange().AwaitingReply == 1) sched_yield();
  }
  EXPECT_EQ(engine.LinkState(), LinkState::Up);
  EXPECT_EQ(engine.PollStage(), PollStage::Settings);
  EXPECT_EQ(sink.notices, std::vector<Notice>{Notice::LinkRestored});
  EXPECT_EQ(engine.Counters().N_rv_frame, 1);
  engine.PurgeAndClosePort();
  EXPECT_FALSE(engine.PortHeld());
}

}  // namespace
}  // namespace tarvin
