// What the window does differently on each desktop, kept behind two calls so
// the window's own code has no platform branches.
#pragma once

#include <QString>

namespace tarvin {

// The folder below which a menu start makes "Тарвин-9": the home folder on
// Linux, the user's Documents on Windows (where its users look for files).
QString MenuHome();

// Marks this process as a running window for as long as it lives, so the
// Windows installer can refuse to replace a program that is in use. Nothing
// on Linux, where the package manager replaces files under a running program.
void MarkWindowRunning();

}  // namespace tarvin
