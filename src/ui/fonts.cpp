#include "ui/fonts.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

namespace lorvane::ui {

void useChineseFont() {
  for (const char* family : {"WenQuanYi Micro Hei", "Noto Sans CJK SC", "Noto Sans SC"}) {
    if (QFontDatabase::families().contains(QString::fromLatin1(family))) {
      QApplication::setFont(QFont(QString::fromLatin1(family), 11));
      return;
    }
  }
}

}  // namespace lorvane::ui
