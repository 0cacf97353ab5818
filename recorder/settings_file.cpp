#include "recorder/settings_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/file_io.h"

#ifdef _WIN32
#include <windows.h>
// sddl.h after windows.h
#include <sddl.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tarvin {

namespace {

// Makes `path` afresh, empty, readable only as said above. The file is made
// new rather than truncated: an existing file would keep its old access.
bool MakeSecretFile(const std::string& path, std::string* reason) {
  RemoveFileUtf8(path);
#ifdef _WIN32
  // Protected (no inheritance from ProgramData, which lets users read):
  // full access for the system account and the administrators.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;SY)(A;;FA;;;BA)", SDDL_REVISION_1,
                                                            &descriptor, nullptr)) {
    *reason = "cannot make its access list (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  HANDLE file = CreateFileW(WidenUtf8(path).c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD error = GetLastError();
  LocalFree(descriptor);
  if (file == INVALID_HANDLE_VALUE) {
    *reason = "cannot be made (error " + std::to_string(error) + ")";
    return false;
  }
  CloseHandle(file);
#else
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    *reason = std::strerror(errno);
    return false;
  }
  ::close(fd);
#endif
  return true;
}

}  // namespace

bool WriteSettingsFile(const std::string& path, const std::string& text, bool secret, std::string* reason) {
  if (NotARegularFileUtf8(path)) {
    *reason = kNotARegularFile;
    return false;
  }
  if (secret && !MakeSecretFile(path, reason)) return false;
  std::FILE* file = OpenFileUtf8(path, "wb");
  if (file == nullptr) {
    *reason = std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0 || !written) {
    *reason = "a write failed";
    return false;
  }
  return true;
}

}  // namespace tarvin
