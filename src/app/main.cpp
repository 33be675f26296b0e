// The operator program: starts on the main screen with the port closed.
#include <QApplication>
#include <QFont>
#include <QFontDatabase>

#include "screen_map.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Lorvane"));
  QApplication::setQuitOnLastWindowClosed(false);  // the screen map ends the program
  for (const char* family : {"WenQuanYi Micro Hei", "Noto Sans CJK SC", "Noto Sans SC"}) {
    if (QFontDatabase::families().contains(QString::fromLatin1(family))) {
      QApplication::setFont(QFont(QString::fromLatin1(family), 11));
      break;
    }
  }
  lorvane::shell::ScreenMap map;
  lorvane::shell::addStandardScreens(map);
  QObject::connect(&map, &lorvane::shell::ScreenMap::programEnds, &app, &QApplication::quit, Qt::QueuedConnection);
  map.start();
  return QApplication::exec();
}
