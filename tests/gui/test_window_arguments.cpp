// The program's command line as a menu or a script gives it, with no display
// at all: --help and --version still answered, Qt's own arguments left to Qt,
// and anything else refused by name before a window opens.
#ifdef TARVIN9_PATH
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/menu_start.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace tarvin::testing {
namespace {

// The exit code and what was printed; a home of its own, should --from-menu get through.
int RunWindow(const std::string& args, std::string* out, std::string* err) {
  TempFolder dir;
  ChildOptions options;
  options.dir = dir.Folder();
  options.env = {"HOME=" + dir.Folder()};
  options.unset = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
  std::vector<std::string> words = {TARVIN9_PATH};
  std::istringstream split(args);
  for (std::string word; split >> word;) words.push_back(word);
  const Outcome o = RunProgram(words, options);
  *out = o.out;
  *err = o.err;
  return o.exit_code;
}

TEST(WindowArguments, HelpAndVersionNeedNoDisplayAndOtherWordsAreNamed) {
  std::string out, err;
  ASSERT_EQ(RunWindow("--version", &out, &err), 0) << err;
  ASSERT_EQ(out.rfind("tarvin9 ", 0), 0u) << out;
  const QString version = QString::fromStdString(out.substr(8, out.size() - 9));
  EXPECT_EQ(RunWindow("-style fusion --help", &out, &err), 0) << err;
  EXPECT_EQ(out, HelpText(QStringLiteral("tarvin9"), version).toStdString());

  // Exit code 2, not Qt's failure without a display: -platform reached Qt.
  EXPECT_EQ(RunWindow("-platform offscreen -style fusion --from-menu --bogus", &out, &err), 2);
  EXPECT_NE(err.find("tarvin9: --bogus: no such option (see --help)\n"), std::string::npos) << err;
  EXPECT_EQ(RunWindow("--platform offscreen stray", &out, &err), 2);
  EXPECT_NE(err.find("tarvin9: stray: unexpected word"), std::string::npos) << err;
}

}  // namespace
}  // namespace tarvin::testing
#endif  // TARVIN9_PATH
