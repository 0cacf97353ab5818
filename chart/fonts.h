// The two typefaces the window and its chart are drawn in, so a picture of the
// chart made without the window (tarvin9-osc, the report) keeps the window's
// lettering.
#pragma once

#include <QFont>

namespace tarvin {

// MS Sans Serif and Times New Roman with stand-ins that carry Cyrillic.
QFont SansFont(int pixels, bool bold = false);
QFont SerifFont(int pixels, bool bold = false);

}  // namespace tarvin
