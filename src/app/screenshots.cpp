// Renders every screen of the program to PNG, offscreen, for review, and the traffic monitor
// after a short run against the simulated controller (monitor.png):
//   lorvane-screenshots [--area WxH] OUTDIR
// Without --area each screen is drawn at its full size, as on a large display. With it, each
// screen is drawn as it is shown when its client area can be at most W x H logical pixels (for
// example 1280x650: a 1920x1080 display scaled to 150 %, less title bar and taskbar), scrolled
// to its top left where it does not fit.
#include <QApplication>
#include <QDir>
#include <QMetaObject>
#include <QRegularExpression>
#include <QTextStream>

#include "shell/screen_map.h"
#include "ui/fonts.h"

bool renderMonitorPicture(const QString& file);  // monitor_picture.cpp

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTextStream err(stderr);
  QStringList args = QApplication::arguments().mid(1);
  // As large as no display is: every window at the size its layout gives it.
  QSize area(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  if (const qsizetype at = args.indexOf(QStringLiteral("--area")); at >= 0) {
    const auto m = QRegularExpression(QStringLiteral("^(\\d+)x(\\d+)$")).match(args.value(at + 1));
    if (!m.hasMatch() || m.captured(1).toInt() <= 0 || m.captured(2).toInt() <= 0) {
      err << "usage: lorvane-screenshots [--area WxH] [OUTDIR]" << Qt::endl;
      return 2;
    }
    area = QSize(m.captured(1).toInt(), m.captured(2).toInt());
    args.remove(at, 2);
  }
  lorvane::ui::Form::setRoom(area);
  const QString out = args.isEmpty() ? QStringLiteral("docs/screens") : args.first();
  QDir().mkpath(out);
  lorvane::ui::useChineseFont();
  lorvane::shell::ScreenMap map;
  lorvane::shell::addStandardScreens(map);
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
