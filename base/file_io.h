// Files by UTF-8 path on every platform, and files written whole or not at
// all: the bytes go to a hidden temporary file in the same folder, which is
// flushed and then renamed over the final name. A crash, a kill or a power cut
// during a write leaves the old file or the new one, never a torn one.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace tarvin {

// The folder separator of the platform.
#ifdef _WIN32
inline constexpr char kSep = '\\';
#else
inline constexpr char kSep = '/';
#endif

// The last part of a path, after either separator (journals written on
// Windows are read on Linux too).
std::string FileNameOf(const std::string& path);

#ifdef _WIN32
// UTF-8 to and from the system's wide strings; invalid sequences become U+FFFD.
std::wstring WidenUtf8(const std::string& utf8);
std::string NarrowUtf8(const wchar_t* wide, std::size_t length);
#endif

std::FILE* OpenFileUtf8(const std::string& path, const char* mode);
// Seeking and telling in 64 bits on every platform: `long` is 32 bits on
// Windows, and a journal kept for years may pass 2 GiB.
bool SeekFile(std::FILE* file, uint64_t offset);
bool SeekFileEnd(std::FILE* file, uint64_t* size);
bool RemoveFileUtf8(const std::string& path);
// Anything under the name: a file, a folder, a device, a pipe or a link.
bool FileExistsUtf8(const std::string& path);
bool IsFolderUtf8(const std::string& path);
// True when `path` names something that exists and is not a regular file: a
// folder, a device (/dev/full, NUL), a pipe or a socket. A save never puts a
// file in its place: a program asked to write there refuses.
bool NotARegularFileUtf8(const std::string& path);
// The reason a save gives when it refuses such a target.
inline constexpr const char* kNotARegularFile = "not a regular file";
// ... and when it is a symbolic link to nothing.
inline constexpr const char* kLinkToNothing = "a link to nothing";

// ".<final name>.tmp" in the final file's folder: hidden, and no "*.bin" file
// dialog lists it. A very long final name is shortened so the temporary name
// still fits the file system's limit.
std::string TemporaryPathFor(const std::string& path);

// Synced: the file's data and the folder's entry reach the disk before the
// call returns (oscillograms: a power cut must not lose a save reported done).
// Renamed: only the rename, which already keeps a crash or a kill from leaving
// a torn file (exports, which can be made again from the oscillogram).
enum class Durability { Synced, Renamed };

enum class AtomicWrite { Ok, CannotCreate, WriteFailed };

// `fill` writes the file's bytes and returns false on the first failed write.
// On failure nothing is left under either name, an earlier file under `path`
// stays as it was, and *reason (when given) holds the system's words.
// CannotCreate, before anything is written, when `path` is not a regular file
// (NotARegularFileUtf8): a device or a folder is never replaced. A symbolic
// link is written through: the file it names is replaced, the link stays.
AtomicWrite WriteFileAtomically(const std::string& path, const std::function<bool(std::FILE*)>& fill,
                                Durability durability, std::string* reason = nullptr);

}  // namespace tarvin
