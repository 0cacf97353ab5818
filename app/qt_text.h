// The core's UTF-8 strings as the window's QString.
#pragma once

#include <QString>
#include <string>

namespace tarvin {

inline QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace tarvin
