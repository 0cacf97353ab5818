// Oscillograms are written whole or not at all: a write that fails half-way,
// a process killed in the middle of a save, a folder under the final name.
// Whatever happens, the final name holds the old file or the new one.
#include <gtest/gtest.h>

#include <memory>

#include "base/file_io.h"
#include "scope/oscillogram_file.h"
#include "scope/scope_model.h"
#include "tests/support/temp_folder.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/file_size_limit.h"
#endif

namespace tarvin {
namespace {

using testing::ReadBytes;
using testing::TempFolder;

std::unique_ptr<ScopeHistoryArrays> History(uint32_t mark) {
  auto h = std::make_unique<ScopeHistoryArrays>();
  for (uint32_t i = 0; i < kHistorySize; ++i) {
    h->threshold[i] = float(i) + 0.25f;
    h->useful[i] = h->ekNoise[i] = h->ekClimate[i] = mark;
    h->input[i] = mark + i;
  }
  return h;
}

TEST(AtomicSave, TemporaryNameIsHiddenBesideTheFinalOneAndNeverTooLong) {
  struct Case {
    std::string path, temporary;
  };
  const Case cases[] = {
      {"/a/Chart4pF/x.bin", "/a/Chart4pF/.x.bin.tmp"},
      {"/a/Chart4pF//2019.06.18  14 час. 05 мин. .bin", "/a/Chart4pF//.2019.06.18  14 час. 05 мин. .bin.tmp"},
      {"x.bin", ".x.bin.tmp"},
      {"C:\\w\\Chart4pF\\x.bin", "C:\\w\\Chart4pF\\.x.bin.tmp"},
  };
  for (const Case& c : cases) EXPECT_EQ(TemporaryPathFor(c.path), c.temporary) << c.path;

  // One byte, then 130 two-byte letters: past the limit, and the cut falls
  // inside a letter unless it is moved back to the letter's start.
  std::string name = "a";
  for (int i = 0; i < 130; ++i) name += "ж";
  const std::string temporary = TemporaryPathFor("/f/" + name + ".bin");
  const std::string temporary_name = temporary.substr(3);
  EXPECT_LE(temporary_name.size(), 255u);
  EXPECT_EQ(temporary_name.front(), '.');
  EXPECT_EQ(temporary_name.substr(temporary_name.size() - 4), ".tmp");
  EXPECT_EQ((temporary_name.size() - 6) % 2, 0u) << "a letter was cut in half";
}

TEST(AtomicSave, SaveReplacesTheOldFileAndLeavesNoTemporaryFile) {
  TempFolder dir;
  const std::string path = dir.Folder() + "a.bin";
  ASSERT_EQ(WriteOscillogram(path, *History(1), 10), FileStatus::Ok);
  ASSERT_EQ(WriteOscillogram(path, *History(2), 20), FileStatus::Ok);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.bin"});
  Oscillogram back;
  ASSERT_EQ(ReadOscillogram(path, &back), FileStatus::Ok);
  EXPECT_EQ(back.count, 20);
  EXPECT_EQ(back.useful[19], 2u);
}

TEST(AtomicSave, FolderUnderTheFinalNameCannotBeOpened) {
  TempFolder dir;
  const std::string path = dir.Folder() + "taken.bin";
  std::filesystem::create_directory(path);
  std::string reason;
  EXPECT_EQ(WriteOscillogram(path, *History(1), 10, &reason), FileStatus::CannotOpen);
  EXPECT_FALSE(reason.empty());
  EXPECT_TRUE(std::filesystem::is_directory(path));
  EXPECT_TRUE(dir.Files().empty());
}

#ifndef _WIN32
using testing::FileSizeLimit;

TEST(AtomicSave, WriteFailingHalfWayLeavesTheOldFileAndNothingElse) {
  TempFolder dir;
  const std::string path = dir.Folder() + "a.bin";
  ASSERT_EQ(WriteOscillogram(path, *History(1), 10), FileStatus::Ok);
  const std::vector<uint8_t> before = ReadBytes(path);
  const std::string fresh = dir.Folder() + "fresh.bin";

  std::string reason, fresh_reason;
  FileStatus replaced, created;
  {
    FileSizeLimit limit(4096);
    replaced = WriteOscillogram(path, *History(2), 5000, &reason);  // 100003 bytes: stops after 4096
    created = WriteOscillogram(fresh, *History(2), 5000, &fresh_reason);
  }
  EXPECT_EQ(replaced, FileStatus::WriteFailed);
  EXPECT_EQ(created, FileStatus::WriteFailed);
  EXPECT_FALSE(reason.empty());
  EXPECT_FALSE(fresh_reason.empty());
  // The earlier save is still there, whole; the failed one left nothing at all.
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.bin"});
}

TEST(AtomicSave, ADevicePipeOrLinkToOneIsRefusedAndALinkToAFileWrittenThrough) {
  TempFolder dir;
  const std::string pipe = dir.Folder() + "pipe.bin", device = dir.Folder() + "null.bin";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/null", device);
  for (const std::string& path : {pipe, device}) {
    std::string reason;
    EXPECT_EQ(WriteOscillogram(path, *History(1), 10, &reason), FileStatus::CannotOpen) << path;
    EXPECT_EQ(reason, kNotARegularFile) << path;
  }
  EXPECT_TRUE(std::filesystem::is_fifo(pipe));
  EXPECT_TRUE(std::filesystem::is_symlink(device));
  EXPECT_EQ(UniquePath(pipe), dir.Folder() + "pipe (2).bin");  // taken, and never opened to find out

  // The file a link names is replaced; the link stays a link.
  ASSERT_EQ(WriteOscillogram(dir.Folder() + "a.bin", *History(1), 10), FileStatus::Ok);
  std::filesystem::create_symlink("a.bin", dir.Path() / "link.bin");
  ASSERT_EQ(WriteOscillogram(dir.Folder() + "link.bin", *History(2), 10), FileStatus::Ok);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.Path() / "link.bin"));
  Oscillogram back;
  ASSERT_EQ(ReadOscillogram(dir.Folder() + "a.bin", &back), FileStatus::Ok);
  EXPECT_EQ(back.useful[0], 2u);
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"a.bin", "link.bin"}));  // no temporary file left
}

TEST(AtomicSave, ProcessKilledDuringTheSaveLeavesNoTornFile) {
  TempFolder dir;
  const std::string path = dir.Folder() + "a.bin";
  const auto history = History(3);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The system kills the process (SIGXFSZ) in the middle of its write.
    rlimit limited{};
    getrlimit(RLIMIT_FSIZE, &limited);
    limited.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &limited);
    WriteOscillogram(path, *history, 5000);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the save was not interrupted";
  EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
  EXPECT_FALSE(std::filesystem::exists(path));
  // Only the hidden temporary file may remain, which the dialog's *.bin never
  // lists and the next save of the name overwrites.
  for (const std::string& name : dir.Files()) EXPECT_EQ(name, ".a.bin.tmp");

  ASSERT_EQ(WriteOscillogram(path, *history, 5000), FileStatus::Ok);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.bin"});
  EXPECT_EQ(ReadBytes(path).size(), 3u + 20u * 5000u);
}
#endif

}  // namespace
}  // namespace tarvin
