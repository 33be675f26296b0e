// The operator program: starts on the main screen with the port closed.
#include <QApplication>

#include "shell/screen_map.h"
#include "ui/fonts.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Lorvane"));
  QApplication::setQuitOnLastWindowClosed(false);  // the screen map ends the program
  lorvane::ui::useChineseFont();
  lorvane::shell::ScreenMap map;
  lorvane::shell::addStandardScreens(map);
  QObject::connect(&map, &lorvane::shell::ScreenMap::programEnds, &app, &QApplication::quit, Qt::QueuedConnection);
  map.start();
  return QApplication::exec();
}
