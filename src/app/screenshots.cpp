// Renders every screen of the program to PNG, offscreen, for review, and the traffic monitor
// after a short run against the simulated controller (monitor.png):
//   lorvane-screenshots [--area WxH] OUTDIR
// Without --area each screen is drawn at its full size, as on a large display. With it, each
// screen is drawn as it is shown when its client area can be at most W x H logical pixels (for
// example 1280x650: a 1920x1080 display scaled to 150 %, less title bar and taskbar), scrolled
// to its top left where it does not fit. The main screen is drawn as at a first start (port 1) on
// a computer with a few sample serial ports, and once more with its list of ports open
// (Mainfrm1-ports.png).
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMetaObject>
#include <QPainter>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>

#include "link/port_list.h"
#include "shell/screen_map.h"
#include "ui/fonts.h"

bool renderMonitorPicture(const QString& file);  // monitor_picture.cpp

namespace {

// The ports of a sample training PC: a serial port of its own, two USB adapters numbered 3 and 4
// (links in the ports folder), the second held by another program, and a board without a number.
class SamplePorts : public lorvane::PortSource {
 public:
  QList<lorvane::PortDescription> ports() override {
    return {{.device = "/dev/ttyS0"},
            {.device = "/dev/ttyUSB0", .description = "USB-SERIAL CH340", .manufacturer = "wch.cn"},
            {.device = "/dev/ttyUSB1", .description = "FT232R USB UART", .manufacturer = "FTDI",
             .serialNumber = "A50285BI", .busy = true},
            {.device = "/dev/ttyACM0", .description = "Arduino Uno"}};
  }
  bool busy(const QString&) override { return false; }
};

// The main screen with its list of ports open: the window and the list drawn over it.
bool renderPortList(lorvane::ui::Form* main, const QString& file) {
  auto* list = main->findChild<QComboBox*>(QStringLiteral("CKlist"));
  if (!list) return false;
  list->showPopup();
  QApplication::processEvents();
  QWidget* popup = list->view()->window();
  const QPoint origin = main->mapToGlobal(QPoint(0, 0));
  const QRect popupRect(popup->mapToGlobal(QPoint(0, 0)) - origin, popup->size());
  const QRect all = QRect(QPoint(0, 0), main->size()).united(popupRect);
  QPixmap picture(all.size());
  picture.fill(Qt::white);
  QPainter p(&picture);
  p.drawPixmap(-all.topLeft(), main->grab());
  p.drawPixmap(popupRect.topLeft() - all.topLeft(), popup->grab());
  p.end();
  list->hidePopup();
  return picture.save(file);
}

}  // namespace

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
  // No settings of the user's, and the sample ports with their links in a folder of this run.
  QTemporaryDir scratch;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, scratch.path());
  qputenv("LORVANE_PORTS", QDir(scratch.path()).filePath(QStringLiteral("ports")).toLocal8Bit());
  QDir(scratch.path()).mkpath(QStringLiteral("ports"));
  QFile::link(QStringLiteral("/dev/ttyUSB0"), QDir(scratch.path()).filePath(QStringLiteral("ports/com3")));
  QFile::link(QStringLiteral("/dev/ttyUSB1"), QDir(scratch.path()).filePath(QStringLiteral("ports/com4")));
  lorvane::setPortSource(std::make_shared<SamplePorts>());
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
    if (name == QLatin1String("Mainfrm1")) {
      const QString ports = out + QStringLiteral("/Mainfrm1-ports.png");
      err << (renderPortList(form, ports) ? "wrote " : "FAILED ") << ports << Qt::endl;
    }
    delete form;
  }
  const QString monitor = out + QStringLiteral("/monitor.png");
  err << (renderMonitorPicture(monitor) ? "wrote " : "FAILED ") << monitor << Qt::endl;
  return 0;
}
