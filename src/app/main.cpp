// The operator program: starts on the main screen with the port closed.
//   lorvane [--trace FILE]    (--help lists the options)
#include <QApplication>
#include <cstdio>

#include "app/options.h"
#include "link/trace.h"
#include "shell/screen_map.h"
#include "ui/fonts.h"

int main(int argc, char** argv) {
  // The command line is read before any window exists, so that --help and --version answer
  // without a display.
  QStringList args;
  for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  const lorvane::app::Options options = lorvane::app::parseOptions(args, QStringLiteral(LORVANE_VERSION));
  if (options.action != lorvane::app::Options::Action::Run) {
    std::fputs(options.text.toLocal8Bit().constData(), options.exitCode == 0 ? stdout : stderr);
    return options.exitCode;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Lorvane"));
  QApplication::setApplicationVersion(QStringLiteral(LORVANE_VERSION));
  QApplication::setQuitOnLastWindowClosed(false);  // the screen map ends the program
  lorvane::TraceFile trace;
  if (!options.traceFile.isEmpty()) {
    QString error;
    if (!trace.start(options.traceFile, &error)) {
      const QString text = QCoreApplication::translate("main", "无法写入记录文件“%1”：%2").arg(options.traceFile, error);
      std::fputs((args.first() + QStringLiteral(": ") + text + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
      return 1;
    }
  }
  lorvane::ui::useChineseFont();
  lorvane::shell::ScreenMap map;
  lorvane::shell::addStandardScreens(map);
  QObject::connect(&map, &lorvane::shell::ScreenMap::programEnds, &app, &QApplication::quit, Qt::QueuedConnection);
  map.start();
  return QApplication::exec();
}
