#include "chart/fonts.h"

#include <QStringList>

namespace tarvin {

QFont SansFont(int pixels, bool bold) {
  QFont f;
  f.setFamilies(
      {QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  f.setPixelSize(pixels);
  f.setBold(bold);
  return f;
}

QFont SerifFont(int pixels, bool bold) {
  QFont f;
  f.setFamilies({QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"),
                 QStringLiteral("DejaVu Serif")});
  f.setPixelSize(pixels);
  f.setBold(bold);
  return f;
}

}  // namespace tarvin
