// The Windows installer and the installed window, under Wine in a prefix of
// the test's own (scripts/windows.sh): the installer runs silently, the
// window starts as its Start-menu entry starts it, in Documents\Тарвин-9,
// finds port 1 missing, is switched to COM7 (the simulator) by the keyboard
// as an operator would, brings the link up, streams the chart on "ПУСК" and
// saves an intrusion by itself; then the uninstaller removes the program and
// leaves the operator's files. A screenshot of the window is kept beside the
// installer for a person to look at.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "scope/oscillogram_file.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_folder.h"
#include "tests/wine/wine_rig.h"

namespace tarvin::testing {
namespace {

namespace fs = std::filesystem;

// Runs `command` through the shell (xdotool, import); its exit code.
int Shell(const std::string& command, const std::string& log) {
  return RunLogged({"/bin/sh", "-c", command}, "", log);
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
    documents_ = fs::path(Env("HOME"));  // Wine links Documents to the test's own home
    log_ = dir_.Folder() + "wine.log";
    // The prefix outlives a run: the operator's folder starts afresh.
    fs::remove_all(Work());
  }

  void TearDown() override {
    if (HasFailure()) {
      std::cerr << "--- wine\n" << ReadText(log_);
      std::cerr << "--- journal\n" << ReadText((Work() / "journal.jsonl").string());
      std::cerr << "--- simulator log (end)\n" << sim_.LogTail(30);
      Shell("import -window root '" + Env("TARVIN_SCREENSHOT", "/tmp/tarvin9-wine-failure.png") + "'", log_);
    }
    if (WindowRuns()) Shell("wineserver -k", log_);
    launcher_.Wait();
  }

  int Run(const std::vector<std::string>& args) {
    std::vector<std::string> all = {Env("WINE", "wine")};
    all.insert(all.end(), args.begin(), args.end());
    return RunLogged(all, "", log_);
  }

  // Waits for the window titled `title`, then types `keys` (xdotool key names)
  // into it. A window that closes while xdotool walks the tree (Wine's own,
  // on a busy machine) ends the search with BadWindow: it is searched again.
  bool Keys(const std::string& title, const std::string& keys) {
    bool found = false;
    for (int attempt = 0; attempt < 5 && !found; ++attempt)
      found = Shell("xdotool search --sync --name '" + title + "' >/dev/null", log_) == 0;
    return found && Shell("sleep 1 && xdotool key --delay 200 " + keys, log_) == 0;
  }

  // The port list has the focus: its list opened, back to the top, six items
  // down. Keys pressed before the list is open would go to the closed box
  // and open other ports, so the list is given time to open; a wrong port
  // shows its box, which is closed before the next try.
  bool ChooseCom7() {
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (!Keys(u8"Тарвин-9", "alt+Down")) return false;
      ::sleep(2);
      Shell("xdotool key --delay 300 Home Down Down Down Down Down Down", log_);
      ::sleep(1);
      Shell("xdotool key Return", log_);
      if (WaitUntil([&] { return Journalled("link_up"); }, 30)) return true;
      Shell("xdotool search --name '^Внимание$' && xdotool key Return", log_);
    }
    return false;
  }

  fs::path Work() const { return documents_ / fs::u8path(u8"Тарвин-9"); }
  std::vector<nlohmann::json> Journal() const { return ReadJournal((Work() / "journal.jsonl").string()); }
  bool Journalled(const std::string& event) const { return Find(Journal(), event) != nullptr; }
  // The shell starts the program behind a shortcut and returns: the program
  // is looked for among the processes.
  bool WindowRuns() { return Shell("pgrep -f 'bin.tarvin9[.]exe' >/dev/null", log_) == 0; }

  TempFolder dir_;
  SimProcess sim_;
  std::string installer_;
  std::string log_;
  fs::path drive_c_;
  fs::path documents_;
  ChildProcess launcher_;
};

TEST_F(InstalledWindow, InstallsRunsAgainstTheSimulatorAndUninstallsKeepingTheOperatorsFiles) {
  ASSERT_EQ(Run({installer_, "/S"}), 0);
  ASSERT_EQ(Run({installer_, "/S"}), 0) << "installing over an installed copy failed";
  const fs::path bin = drive_c_ / "Program Files" / "Tarvin-9" / "bin";
  ASSERT_TRUE(fs::exists(bin / "tarvin9.exe"));
  EXPECT_TRUE(fs::exists(bin / "platforms" / "qwindows.dll"));
  EXPECT_TRUE(fs::exists(bin / ".." / "share" / "tarvin9" / "translations" / "qtbase_ru.qm"));
  const fs::path entry = FindBelow(drive_c_ / "ProgramData", u8"Тарвин-9.lnk");
  ASSERT_FALSE(entry.empty()) << "no Start-menu entry";

  // Port 1 leads nowhere; COM7 is the simulator.
  ASSERT_TRUE(sim_.Start(dir_.Folder(), {"--seed", "19"}));
  char pty[PATH_MAX];
  ASSERT_NE(::realpath((dir_.Folder() + "COM1").c_str(), pty), nullptr);
  ASSERT_TRUE(MapWinePort("COM1", dir_.Folder() + "no-such-port", log_));
  ASSERT_TRUE(MapWinePort(kWinePort, pty, log_));

  // As the Start menu starts it: the shortcut, opened by the shell.
  ASSERT_TRUE(launcher_.Start({Env("WINE", "wine"), "start", "/unix", entry.string()}, Logged("", log_)));
  // The box says port 1 did not open; the operator closes it and picks COM7.
  ASSERT_TRUE(Keys(u8"^Внимание$", "Return"));
  ASSERT_TRUE(ChooseCom7()) << "the link never came up on COM7";
  EXPECT_EQ((*Find(Journal(), "link_up"))["firmware"], "2.0");
  EXPECT_TRUE(fs::is_directory(Work() / "Chart4pF"));
  EXPECT_TRUE(fs::exists(Work() / "ok.jpg"));

  // "Связь восстановлена!" is closed; from the port list the sixth stop is
  // saving on alarm, the seventh "ПУСК".
  ASSERT_TRUE(Keys(u8"Тарвин-9", "Return Tab Tab Tab Tab Tab Tab space Tab space"));
  auto busy = std::make_unique<BusyMachine>();
  const long before = sim_.Stats()["samples"];
  ASSERT_TRUE(WaitUntil([&] { return sim_.Stats()["samples"] > before + 300; }, 60))
      << "the chart never streamed";
  sim_.Send("intrusion 3");
  ASSERT_TRUE(WaitUntil([&] { return Journalled("saved"); }, 60)) << "the intrusion was not saved";
  const nlohmann::json saved = *Find(Journal(), "saved");
  EXPECT_EQ(saved["trigger"], "alarm");
  const std::string name = fs::u8path(HostPath(saved["path"].get<std::string>(), "")).filename().u8string();
  EXPECT_NE(name.find(u8" час. "), std::string::npos) << name;
  const fs::path file = Work() / "Chart4pF" / fs::u8path(name);
  ASSERT_TRUE(fs::exists(file)) << "no file " << name << " with its Cyrillic name";
  Oscillogram osc;
  ASSERT_EQ(ReadOscillogram(file.u8string(), &osc), FileStatus::Ok);
  EXPECT_EQ(osc.count, saved["samples"].get<int>());
  // ekClimate counts the simulator's samples: on a busy machine none was lost.
  for (std::size_t i = 1; i < osc.ekClimate.size(); ++i)
    ASSERT_EQ(osc.ekClimate[i], osc.ekClimate[i - 1] + 1) << "a sample was lost before " << i;
  busy.reset();
  Shell("import -window root '" + Env("TARVIN_SCREENSHOT", (dir_.Folder() + "window.png").c_str()) + "'",
        log_);

  // An installer run over the running window refuses and changes nothing.
  const auto stamp = fs::last_write_time(bin / "tarvin9.exe");
  EXPECT_NE(Run({installer_, "/S"}), 0) << "the installer replaced a running program";
  EXPECT_EQ(fs::last_write_time(bin / "tarvin9.exe"), stamp);

  // Alt+X and Yes: the window ends its journal with a stop.
  ASSERT_TRUE(Keys(u8"Тарвин-9", "alt+x"));
  ASSERT_TRUE(Keys(u8"^Выход$", "Return"));
  ASSERT_TRUE(WaitUntil([&] { return !WindowRuns(); }, 30)) << "the window did not end";
  EXPECT_EQ(Journal().back().value("event", ""), "stop");

  // The uninstaller: it runs a copy of itself from the temporary folder and
  // returns at once, so its work is waited for. The program goes, the
  // operator's files stay.
  ASSERT_EQ(Run({(bin.parent_path() / "Uninstall.exe").string(), "/S"}), 0);
  EXPECT_TRUE(WaitUntil([&] { return !fs::exists(bin / "tarvin9.exe"); }, 60)) << "the program stayed";
  EXPECT_TRUE(WaitUntil([&] { return FindBelow(drive_c_ / "ProgramData", u8"Тарвин-9.lnk").empty(); }, 60))
      << "the Start-menu entry stayed";
  EXPECT_TRUE(fs::exists(file));
  EXPECT_TRUE(fs::exists(Work() / "journal.jsonl"));
}

}  // namespace
}  // namespace tarvin::testing
