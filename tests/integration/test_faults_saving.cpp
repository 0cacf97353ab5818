// Automatic saves that cannot be made, end to end: the sensor's threshold rises
// above the save level while the chart streams, and the oscillogram folder is
// missing, is below a regular file, or lies on a full file system. Each failed
// save asks for a clear message; the stream, the link and the history go on.
#include <sys/mount.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "tests/integration/fault_rig.h"

namespace tarvin::testing {
namespace {

constexpr uint16_t kWindow = 10;  // a save every 6 samples: many saves in a few seconds

class SavingFaults : public FaultRig {
 protected:
  void TearDown() override {
    if (!mounted_.empty()) ::umount2(mounted_.c_str(), MNT_DETACH);
    FaultRig::TearDown();
  }

  // Streams with a small window while the threshold stays above the save level.
  void StreamAboveTheSaveLevel(const std::string& folder, int seconds) {
    model_->SetScopeFolder(folder);
    ASSERT_EQ(model_->SetWindowLength(std::to_string(kWindow)), FieldResult::Accepted);
    PressStart();
    ASSERT_TRUE(Until([&] { return sink_.points.size() >= 20; }, 4 * kSecond));
    sim_.Send("threshold-rise 50 " + std::to_string(seconds));
    Steps(seconds * kSecond);
    sim_.Send("threshold-rise 0 0");
  }

  // The stream and the link were not disturbed, and the history holds the
  // newest samples as they arrived.
  void ExpectTheStreamAndHistoryIntact() {
    const std::vector<ScopeSample> s = Samples();
    ASSERT_GE(s.size(), 200u);
    for (std::size_t i = 1; i < s.size(); ++i) ASSERT_EQ(s[i].ekClimate, s[i - 1].ekClimate + 1) << i;
    for (uint16_t i = 0; i < kWindow; ++i) {
      const ScopeSample& x = s[s.size() - kWindow + i];
      ASSERT_EQ(model_->ScopeHistory().ekClimate[i], x.ekClimate) << i;
      ASSERT_EQ(model_->ScopeHistory().input[i], x.input) << i;
      ASSERT_EQ(model_->ScopeHistory().threshold[i], x.threshold) << i;
    }
    EXPECT_EQ(engine_->LinkState(), LinkState::Up);
    EXPECT_EQ(Notices(Notice::LinkLost), 0);
    EXPECT_EQ(engine_->Counters().ChecksumErrors, 0);
  }

  // Every box that is a save failure, and nothing else shown.
  int SaveFailureBoxes(const std::string& text_start) const {
    int n = 0;
    for (const Box& b : sink_.boxes) {
      if (b.text.rfind(text_start, 0) != 0) continue;
      EXPECT_EQ(b.icon, BoxIcon::None);
      EXPECT_EQ(b.caption, kAppTitle);
      ++n;
    }
    return n;
  }

  std::string mounted_;
};

TEST_F(SavingFaults, MissingFolderAnswersEverySaveWithAMessage) {
  ConnectModel();
  const std::string folder = work_.Folder() + "Chart4pF/";  // never created
  StreamAboveTheSaveLevel(folder, 3);
  const int failures = SaveFailureBoxes("Файл не удается открыть");
  EXPECT_GE(failures, 20);                                        // about 78 samples a second, one save in 6
  EXPECT_EQ(failures, static_cast<int>(sink_.boxes.size()) - 1);  // and the one "Связь восстановлена!"
  EXPECT_FALSE(std::filesystem::exists(folder));
  EXPECT_TRUE(model_->LastAutoSavePath().empty());
  ExpectTheStreamAndHistoryIntact();
}

TEST_F(SavingFaults, FolderBelowARegularFileCannotBeCreated) {
  ConnectModel();
  // As root no permission stops a write; a folder below a file cannot exist at all.
  const std::string file = work_.Folder() + "plain";
  WriteBytes(file, {1, 2, 3});
  StreamAboveTheSaveLevel(file + "/Chart4pF/", 3);
  EXPECT_GE(SaveFailureBoxes("Файл не удается открыть"), 20);
  EXPECT_EQ(ReadBytes(file), (std::vector<uint8_t>{1, 2, 3}));
  ExpectTheStreamAndHistoryIntact();
}

TEST_F(SavingFaults, FullFileSystemKeepsTheWholeFilesAndReportsTheRest) {
  const std::string folder = work_.Folder() + "small/";
  std::filesystem::create_directory(folder);
  if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
  mounted_ = folder;
  ConnectModel();
  // 64 KB hold sixteen pages: sixteen files of 203 bytes, then the disk is full.
  StreamAboveTheSaveLevel(folder, 3);

  const int failures = SaveFailureBoxes("Файл не удается записать: ");
  EXPECT_GE(failures, 5);
  const std::vector<std::string> names = [&] {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(folder)) out.push_back(e.path().string());
    return out;
  }();
  ASSERT_GE(names.size(), 8u);
  // Every file left is whole: no save that failed left a damaged one behind.
  for (const std::string& name : names) {
    Oscillogram o;
    ASSERT_EQ(ReadOscillogram(name, &o), FileStatus::Ok) << name;
    EXPECT_EQ(ReadBytes(name).size(), 3u + 20u * kWindow) << name;
    for (uint16_t i = 1; i < o.count; ++i) ASSERT_EQ(o.ekClimate[i], o.ekClimate[i - 1] + 1) << name;
  }
  ExpectTheStreamAndHistoryIntact();

  // Room again: the next save succeeds.
  for (const std::string& name : names) std::filesystem::remove(name);
  const std::size_t boxes = sink_.boxes.size();
  sim_.Send("threshold-rise 50 1");
  Steps(kSecond);
  EXPECT_FALSE(std::filesystem::is_empty(folder));
  EXPECT_EQ(sink_.boxes.size(), boxes);
}

}  // namespace
}  // namespace tarvin::testing
