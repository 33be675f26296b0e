#include "ui/colors.h"

namespace lorvane::ui {

QColor bgr(std::uint32_t value) {
  if (value & 0x80000000u) return QColor(0xF0, 0xF0, 0xF0);
  return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>((value >> 16) & 0xFF));
}

}  // namespace lorvane::ui
