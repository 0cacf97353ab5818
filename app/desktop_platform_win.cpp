#include <windows.h>

#include <QStandardPaths>

#include "app/desktop_platform.h"

namespace tarvin {

QString MenuHome() { return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation); }

void MarkWindowRunning() {
  // The name the installer asks for; the handle is left to the system to
  // close when the process ends, however it ends.
  static HANDLE mark = ::CreateMutexW(nullptr, FALSE, L"Tarvin9Window");
  (void)mark;
}

}  // namespace tarvin
