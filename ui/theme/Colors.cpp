#include "ui/theme/Colors.h"

namespace tamrel::Color {

QColor withOpacity(const QColor& c, double opacity) {
  QColor out = c;
  out.setAlphaF(static_cast<float>(c.alphaF() * opacity));
  return out;
}

}  // namespace tamrel::Color
