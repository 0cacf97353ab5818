#include <QDir>

#include "app/desktop_platform.h"

namespace tarvin {

QString MenuHome() { return QDir::homePath(); }

void MarkWindowRunning() {}

}  // namespace tarvin
