#include "link/port_device.h"

#include <filesystem>
#include <system_error>

#include "link/port_posix.h"

namespace tarvin {

PortDevice DescribePortDevice(const std::string& work_dir, int16_t number) {
  namespace fs = std::filesystem;
  PortDevice d;
  const std::string path = PosixPort(work_dir).DevicePath(number);
  std::error_code error;
  std::string entry = work_dir;
  if (!entry.empty() && entry.back() != '/') entry += '/';
  entry += "COM" + std::to_string(number);
  if (work_dir.empty() || path != entry) {
    d.device = path;
    d.exists = fs::exists(path, error);
    return d;
  }
  d.entry = path;
  if (fs::is_symlink(fs::symlink_status(path, error))) d.target = fs::read_symlink(path, error).string();
  // Every link followed, as opening does: a by-id name ends at its ttyUSB.
  const fs::path reached = fs::canonical(path, error);
  d.exists = !error;
  d.device = d.exists ? reached.string() : (d.target.empty() ? path : d.target);
  return d;
}

}  // namespace tarvin
