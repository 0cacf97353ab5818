#include "base/file_io.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tarvin {

std::string FileNameOf(const std::string& path) {
  const std::size_t sep = path.find_last_of("/\\");
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

namespace {

// Longest temporary name kept from the final one: with the dot and ".tmp" it
// stays below the 255 bytes most file systems allow for a name.
constexpr std::size_t kTemporaryStemBytes = 240;

#ifdef _WIN32
std::string WindowsError(DWORD code) {
  char text[256] = {};
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                 text, sizeof text, nullptr);
  std::string out(text, n);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) out.pop_back();
  return out.empty() ? "error " + std::to_string(code) : out;
}
#endif

std::size_t NameStart(const std::string& path) {
  const std::size_t sep = path.find_last_of("/\\");
  return sep == std::string::npos ? 0 : sep + 1;
}

void Say(std::string* reason, int code, const char* otherwise) {
  if (reason != nullptr) *reason = code != 0 ? std::strerror(code) : otherwise;
}

// Data on the disk, not only in the system's cache.
bool SyncFile(std::FILE* f) {
#ifdef _WIN32
  return _commit(_fileno(f)) == 0;
#else
  return ::fsync(::fileno(f)) == 0;
#endif
}

// The rename itself on the disk. Some file systems cannot sync a folder; the
// file is already whole under its name by then, so that is not a failure.
void SyncFolderOf([[maybe_unused]] const std::string& path) {
#ifndef _WIN32
  const std::size_t start = NameStart(path);
  const std::string folder = start == 0 ? "." : path.substr(0, start);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
#endif
}

// Replaces `to` when it exists; false with errno (or the Windows error) set.
bool RenameOver(const std::string& from, const std::string& to, Durability durability, std::string* reason) {
#ifdef _WIN32
  DWORD flags = MOVEFILE_REPLACE_EXISTING;
  if (durability == Durability::Synced) flags |= MOVEFILE_WRITE_THROUGH;
  if (MoveFileExW(WidenUtf8(from).c_str(), WidenUtf8(to).c_str(), flags)) return true;
  if (reason != nullptr) *reason = WindowsError(GetLastError());
  return false;
#else
  (void)durability;
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  Say(reason, errno, "rename failed");
  return false;
#endif
}

// A symbolic link is written through, to the file it names, so the rename
// replaces that file and the link stays (/dev/stdout into a file would
// otherwise be replaced itself). False, with the reason, for a link to nothing.
bool ThroughLink([[maybe_unused]] std::string* path, [[maybe_unused]] std::string* reason) {
#ifndef _WIN32
  struct stat st {};
  if (::lstat(path->c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
  char* resolved = ::realpath(path->c_str(), nullptr);
  if (resolved == nullptr) {
    Say(reason, errno == ENOENT ? 0 : errno, kLinkToNothing);
    return false;
  }
  *path = resolved;
  std::free(resolved);
#endif
  return true;
}

}  // namespace

#ifdef _WIN32
std::wstring WidenUtf8(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), n);
  return wide;
}

std::string NarrowUtf8(const wchar_t* wide, std::size_t length) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide, int(length), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide, int(length), out.data(), n, nullptr, nullptr);
  return out;
}
#endif

std::FILE* OpenFileUtf8(const std::string& path, const char* mode) {
#ifdef _WIN32
  return _wfopen(WidenUtf8(path).c_str(), WidenUtf8(mode).c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

bool SeekFile(std::FILE* file, uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

bool SeekFileEnd(std::FILE* file, uint64_t* size) {
#ifdef _WIN32
  if (_fseeki64(file, 0, SEEK_END) != 0) return false;
  const __int64 end = _ftelli64(file);
#else
  if (fseeko(file, 0, SEEK_END) != 0) return false;
  const off_t end = ftello(file);
#endif
  if (end < 0) return false;
  *size = static_cast<uint64_t>(end);
  return true;
}

bool RemoveFileUtf8(const std::string& path) {
#ifdef _WIN32
  return _wremove(WidenUtf8(path).c_str()) == 0;
#else
  return std::remove(path.c_str()) == 0;
#endif
}

bool FileExistsUtf8(const std::string& path) {
  // Asked, not opened: opening a pipe to read waits for a writer.
#ifdef _WIN32
  return GetFileAttributesW(WidenUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
#else
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
#endif
}

bool IsFolderUtf8(const std::string& path) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesW(WidenUtf8(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
#else
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

bool NotARegularFileUtf8(const std::string& path) {
#ifdef _WIN32
  // Devices (NUL, CON, COM1) have no attributes of a file: ask the handle.
  const HANDLE h =
      CreateFileW(WidenUtf8(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;  // missing: a new file may be made there
  BY_HANDLE_FILE_INFORMATION info{};
  const bool disk_file = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
                         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  CloseHandle(h);
  return !disk_file;
#else
  // Through a symbolic link to what it names: a link to /dev/full is refused too.
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
#endif
}

std::string TemporaryPathFor(const std::string& path) {
  const std::size_t start = NameStart(path);
  std::string name = path.substr(start);
  if (name.size() > kTemporaryStemBytes) {
    std::size_t cut = kTemporaryStemBytes;
    // Never in the middle of a UTF-8 character.
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  return path.substr(0, start) + "." + name + ".tmp";
}

AtomicWrite WriteFileAtomically(const std::string& named, const std::function<bool(std::FILE*)>& fill,
                                Durability durability, std::string* reason) {
  // A folder under the final name could never be replaced, and a device or a
  // pipe must not be: the rename would put a file in its place.
  if (NotARegularFileUtf8(named)) {
    if (IsFolderUtf8(named))
      Say(reason, EISDIR, "is a folder");
    else if (reason != nullptr)
      *reason = kNotARegularFile;
    return AtomicWrite::CannotCreate;
  }
  std::string path = named;
  if (!ThroughLink(&path, reason)) return AtomicWrite::CannotCreate;
  const std::string temporary = TemporaryPathFor(path);
  errno = 0;
  std::FILE* f = OpenFileUtf8(temporary, "wb");
  if (f == nullptr) {
    Say(reason, errno, "cannot open");
    return AtomicWrite::CannotCreate;
  }
  // Every step is checked: a full disk often shows only at the flush, the sync or the close.
  bool ok = fill(f);
  ok = ok && std::fflush(f) == 0;
  ok = ok && (durability != Durability::Synced || SyncFile(f));
  const int write_errno = errno;
  ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    Say(reason, write_errno != 0 ? write_errno : errno, "write failed");
    RemoveFileUtf8(temporary);
    return AtomicWrite::WriteFailed;
  }
  if (!RenameOver(temporary, path, durability, reason)) {
    RemoveFileUtf8(temporary);
    return AtomicWrite::WriteFailed;
  }
  if (durability == Durability::Synced) SyncFolderOf(path);
  return AtomicWrite::Ok;
}

}  // namespace tarvin
