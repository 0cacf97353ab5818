// What port n of the list reaches on a POSIX system, for an operator who wants
// to know before choosing it: the COMn entry in the working folder and where
// it leads, or /dev/ttyS(n-1), and whether that device is there now.
#pragma once

#include <cstdint>
#include <string>

namespace tarvin {

struct PortDevice {
  std::string entry;    // work_dir/COMn when the folder has one, else empty
  std::string target;   // the entry's link as written (empty: not a link)
  std::string device;   // what opening reaches: the entry's final target, or /dev/ttyS(n-1)
  bool exists = false;  // that device is there now
};

PortDevice DescribePortDevice(const std::string& work_dir, int16_t number);

}  // namespace tarvin
