// Renders every screen of the program to PNG, offscreen, for review, and the traffic monitor
// after a short run against the simulated controller (monitor.png):
//   lorvane-screenshots OUTDIR
#include <QApplication>
#include <QDir>
#include <QMetaObject>
#include <QTextStream>

#include "shell/screen_map.h"
#include "ui/fonts.h"

bool renderMonitorPicture(const QString& file);  // monitor_picture.cpp

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screens");
  QDir().mkpath(out);
  lorvane::ui::useChineseFont();
  lorvane::shell::ScreenMap map;
  lorvane::shell::addStandardScreens(map);
  QTextStream err(stderr);
  for (const QString& name : map.screenNames()) {
    lorvane::ui::Form* form = map.build(name);
    if (name == QLatin1String("Mainfrm5"))  // as the axis menu opens it for X
      QMetaObject::invokeMethod(form, "setTitle", Q_ARG(QString, QStringLiteral("X轴参数设定")));
    form->show();
    QApplication::processEvents();
    const QString file = out + QLatin1Char('/') + name + QStringLiteral(".png");
    const bool ok = form->grab().save(file);
    err << (ok ? "wrote " : "FAILED ") << file << " " << form->width() << "x" << form->height() << Qt::endl;
    delete form;
  }
  const QString monitor = out + QStringLiteral("/monitor.png");
  err << (renderMonitorPicture(monitor) ? "wrote " : "FAILED ") << monitor << Qt::endl;
  return 0;
}
