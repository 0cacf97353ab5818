// The real tarvin9-osc, run as an operator or a script runs it: known answers
// for info and csv, pictures that decode at the asked size, a damaged file
// among good ones, and bad usage.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "tests/support/child_process.h"
#include "tests/support/known_oscillogram.h"
#include "tests/support/temp_folder.h"

namespace tarvin::testing {
namespace {

class OscCli : public ::testing::Test {
 protected:
  // Runs tarvin9-osc with `args` (already quoted) in the test's folder.
  Outcome Run(const std::string& args) { return RunIn(dir_.Folder(), "'" TARVIN_OSC_PATH "' " + args); }
  std::string Known(const std::string& name) {
    WriteBytes(dir_.Folder() + name, KnownOscillogramBytes());
    return dir_.Folder() + name;
  }
  std::string Text(const std::string& name) {
    const std::vector<uint8_t> b = ReadBytes(dir_.Folder() + name);
    return std::string(b.begin(), b.end());
  }

  TempFolder dir_;
};

TEST_F(OscCli, InfoOfAKnownFileAsTextAndAsJson) {
  Known("k.bin");
  const Outcome text = Run("info k.bin");
  EXPECT_EQ(text.exit_code, 0) << text.err;
  EXPECT_EQ(text.err, "");
  EXPECT_EQ(text.out,
            "k.bin\n"
            "  samples: 4\n"
            "  signal                min            max             mean\n"
            "  threshold           1e-05             40           12.650\n"
            "  useful                  7     4000000000   1000000021.750\n"
            "  ekNoise                 1              4            2.500\n"
            "  ekClimate               0     4294967295   1073741823.750\n"
            "  input                  60             63           61.500\n"
            "  threshold crosses 40 at: none\n"
            "  useful crosses 40 at: 1 up, 2 down, 3 up\n");

  const Outcome json = Run("info --json --level 10 k.bin");
  ASSERT_EQ(json.exit_code, 0) << json.err;
  const auto doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["level"], 10.0);
  ASSERT_EQ(doc["files"].size(), 1u);
  const auto& f = doc["files"][0];
  EXPECT_EQ(f["file"], "k.bin");
  EXPECT_EQ(f["count"], 4);
  EXPECT_EQ(f["signals"]["threshold"]["min"], 1e-05);
  EXPECT_EQ(f["signals"]["threshold"]["max"], 40.0);
  EXPECT_EQ(f["signals"]["useful"]["max"], 4000000000u);
  EXPECT_EQ(f["signals"]["input"]["mean"], 61.5);
  // Threshold 10.5, 0.1, 40, 1e-05 against 10: down at 1, up at 2, down at 3.
  const nlohmann::json expected = nlohmann::json::parse(R"([{"sample":1,"direction":"down"},
      {"sample":2,"direction":"up"},{"sample":3,"direction":"down"}])");
  EXPECT_EQ(f["crossings"]["threshold"], expected);
}

TEST_F(OscCli, CsvOfAKnownFileInBothKindsByteForByte) {
  Known("k.bin");
  Outcome o = Run("csv k.bin");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(Text("k.csv"), kKnownCsvPlain);
  o = Run("csv --excel k.bin -o excel.csv");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(Text("excel.csv"), kKnownCsvExcel);
  o = Run("csv k.bin -o -");
  EXPECT_EQ(o.out, kKnownCsvPlain);
}

TEST_F(OscCli, PngDecodesAtTheAskedSize) {
  Known("k.bin");
  const Outcome o = Run("png k.bin --size 640x360");
  ASSERT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(o.err, "");
  const QImage image(QString::fromStdString(dir_.Folder() + "k.png"));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(640, 360));
  // Drawn, not blank: the threshold's red is there.
  bool red = false;
  for (int y = 0; y < image.height() && !red; ++y)
    for (int x = 0; x < image.width() && !red; ++x) red = image.pixel(x, y) == qRgb(255, 0, 0);
  EXPECT_TRUE(red);
  const Outcome out = Run("png k.bin -o -");  // to standard output, no file named "-"
  EXPECT_EQ(out.out.substr(0, 4), "\x89PNG");
  EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "-"));
}

TEST_F(OscCli, DamagedFileAmongGoodOnesIsToldAndTheOthersAreDone) {
  Known("a.bin");
  Known("b.bin");
  std::vector<uint8_t> shortened = KnownOscillogramBytes();
  shortened.resize(40);
  WriteBytes(dir_.Folder() + "damaged.bin", shortened);
  std::filesystem::create_directory(dir_.Path() / "out");

  for (const char* command : {"csv", "png"}) {
    const Outcome o = Run(std::string(command) + " a.bin damaged.bin missing.bin b.bin -o out");
    EXPECT_EQ(o.exit_code, 1) << command;
    EXPECT_EQ(o.err,
              "tarvin9-osc: Файл повреждён или неполон: damaged.bin\n"
              "tarvin9-osc: Файл не удается открыть: missing.bin\n")
        << command;
    const std::string ext = std::string(".") + command;
    EXPECT_TRUE(std::filesystem::exists(dir_.Path() / "out" / ("a" + ext))) << command;
    EXPECT_TRUE(std::filesystem::exists(dir_.Path() / "out" / ("b" + ext))) << command;
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "out" / ("damaged" + ext))) << command;
  }
  const Outcome info = Run("info a.bin damaged.bin");
  EXPECT_EQ(info.exit_code, 1);
  EXPECT_EQ(info.err, "tarvin9-osc: Файл повреждён или неполон: damaged.bin\n");
  // A folder given as a file is told as one; "-o NAME/" makes the folder.
  const Outcome folder = Run("info out");
  EXPECT_EQ(folder.err, "tarvin9-osc: out is a folder, not an oscillogram file\n");
  ASSERT_EQ(Run("png a.bin b.bin -o pictures/").exit_code, 0);
  EXPECT_TRUE(std::filesystem::exists(dir_.Path() / "pictures" / "b.png"));
  EXPECT_EQ(info.out.rfind("a.bin\n  samples: 4\n", 0), 0u);
}

TEST_F(OscCli, BadUsageIsOneLineNamingTheOptionAndExitCode2) {
  Known("k.bin");
  struct Case {
    std::string args, named;
  };
  const Case cases[] = {
      {"", "subcommand"},
      {"frob k.bin", "frob: no such command; the commands are info, csv, png and report"},
      {"info", "FILE"},
      {"info --level abc k.bin", "--level"},
      {"png --size 12 k.bin", "--size"},
      {"png --ymax 70000 k.bin", "--ymax"},
      {"csv --colour k.bin", "--colour"},
      {"csv k.bin k.bin -o single.csv", "-o"},
      {"csv k.bin -o pipe", "-o pipe: a device, a pipe or a socket, not a regular file"},
      {"png k.bin -o pipe", "-o pipe"},
  };
  ASSERT_EQ(mkfifo((dir_.Folder() + "pipe").c_str(), 0600), 0);
  for (const Case& c : cases) {
    const Outcome o = Run(c.args);
    EXPECT_EQ(o.exit_code, 2) << c.args;
    EXPECT_NE(o.err.find(c.named), std::string::npos) << c.args << ": " << o.err;
    EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << c.args << ": " << o.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "single.csv"));
  EXPECT_TRUE(std::filesystem::is_fifo(dir_.Path() / "pipe"));  // never replaced by a file
  EXPECT_EQ(Run("--help").exit_code, 0);
  const Outcome version = Run("--version");
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out.rfind("tarvin9-osc ", 0), 0u) << version.out;
  // A write that fails says why in the message's own language.
  const Outcome nowhere = Run("csv k.bin -o no-such-folder/k.csv");
  EXPECT_EQ(nowhere.exit_code, 1);
  EXPECT_EQ(nowhere.err, "tarvin9-osc: Файл не удается открыть: no-such-folder/k.csv (нет такой папки)\n");
}

}  // namespace
}  // namespace tarvin::testing
