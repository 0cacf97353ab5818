// The program's own command line, run as a menu or a script starts it: --help
// and --version without any display, Qt's own arguments passed on to Qt, and
// anything else refused by name before a window opens.
#ifdef TARVIN9_PATH
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "app/menu_start.h"
#include "tests/support/temp_folder.h"

namespace tarvin::testing {
namespace {

struct Outcome {
  int exit_code = -1;
  std::string out, err;
};

// Runs the program with `args` and no display at all: what needs one fails.
Outcome RunWindow(const std::string& args) {
  TempFolder dir;
  const std::string out = dir.Folder() + "out.txt", err = dir.Folder() + "err.txt";
  const std::string command =
      "cd '" + dir.Path().string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME='" +
      dir.Path().string() + "' '" TARVIN9_PATH "' " + args + " >'" + out + "' 2>'" + err + "'";
  const int status = std::system(command.c_str());
  const auto text = [](const std::string& path) {
    const std::vector<uint8_t> b = ReadBytes(path);
    return std::string(b.begin(), b.end());
  };
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text(out), text(err)};
}

TEST(WindowArguments, HelpAndVersionNeedNoDisplay) {
  const Outcome version = RunWindow("--version");
  ASSERT_EQ(version.exit_code, 0) << version.err;
  ASSERT_EQ(version.out.rfind("tarvin9 ", 0), 0u) << version.out;
  const std::string number = version.out.substr(8, version.out.size() - 9);
  const Outcome help = RunWindow("-style fusion --help");
  EXPECT_EQ(help.exit_code, 0) << help.err;
  EXPECT_EQ(help.out, HelpText(QStringLiteral("tarvin9"), QString::fromStdString(number)).toStdString());
}

TEST(WindowArguments, QtTakesItsOwnAndTheRestIsRefusedByName) {
  // Without -platform reaching Qt there is no display and no exit code 2.
  Outcome o = RunWindow("-platform offscreen -style fusion --from-menu --bogus");
  EXPECT_EQ(o.exit_code, 2);
  EXPECT_NE(o.err.find("tarvin9: --bogus: no such option (see --help)\n"), std::string::npos) << o.err;
  o = RunWindow("--platform offscreen stray");
  EXPECT_EQ(o.exit_code, 2);
  EXPECT_NE(o.err.find("tarvin9: stray: unexpected word"), std::string::npos) << o.err;
  EXPECT_EQ(o.out, "");
}

}  // namespace
}  // namespace tarvin::testing
#endif  // TARVIN9_PATH
