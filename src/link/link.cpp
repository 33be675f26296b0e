#include "link/link.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPort>

#include "frames/frames.h"

namespace lorvane {

Link::Link(QIODevice* device, QObject* parent) : QObject(parent), device_(device) {
  connect(device, &QIODevice::readyRead, this, &Link::readAvailable);
  connect(device, &QIODevice::readChannelFinished, this, &Link::lose);
  // A fake line may say how fast it is ("charMs"); a serial port goes at its baud rate, ten bits
  // a character.
  charMs_ = device->property("charMs").toDouble();
  if (auto* serial = qobject_cast<QSerialPort*>(device)) {
    charMs_ = 10.0 * 1000.0 / serial->baudRate();
    connect(serial, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
      if (e == QSerialPort::ResourceError || e == QSerialPort::PermissionError ||
          e == QSerialPort::DeviceNotFoundError || e == QSerialPort::WriteError ||
          e == QSerialPort::ReadError)
        lose();
    });
  }
}

void Link::lose() {
  if (lost_) return;
  lost_ = true;
  // A serial port left open on a dead line reports its error again at every turn of the event
  // loop: close it at once.
  if (device_) device_->close();
  emit portLost();
}

void Link::send(const QByteArray& body) {
  if (!device_ || !device_->isOpen() || lost_) return;
  if (auto* serial = qobject_cast<QSerialPort*>(device_.data())) serial->clear(QSerialPort::Input);
  device_->readAll();
  assembler_.clear();
  lastBody_ = body;
  const QByteArray frame = buildFrame(body);
  if (device_->write(frame) != frame.size()) {
    lose();
    return;
  }
  emit frameSent(frame);
}

void Link::readAvailable() {
  if (!device_) return;
  for (const QByteArray& frame : assembler_.feed(device_->readAll())) emit frameReceived(frame);
}

QString portsFolder() {
  const QByteArray env = qgetenv("LORVANE_PORTS");
  if (!env.isEmpty()) return QString::fromLocal8Bit(env);
  return QDir::homePath() + QStringLiteral("/.config/lorvane/ports");
}

QString portDeviceName(int portNumber) {
#ifdef Q_OS_WIN
  return QStringLiteral("COM%1").arg(portNumber);
#else
  const QString link = portsFolder() + QStringLiteral("/com%1").arg(portNumber);
  // A link whose adapter is unplugged still names that adapter: opening it fails, no other device
  // is tried.
  const QFileInfo info(link);
  if (info.exists() || info.isSymLink()) return link;
  return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}

std::unique_ptr<QSerialPort> openSerialPort(const QString& device, QString* error) {
  if (device.isEmpty()) {
    if (error) *error = QStringLiteral("no port");
    return nullptr;
  }
  auto port = std::make_unique<QSerialPort>();
  QString name = device;
  // A symlink in the ports folder names the real device.
  const QFileInfo info(name);
  if (info.isSymLink()) name = info.symLinkTarget();
  else if (name.startsWith(portsFolder() + QLatin1Char('/'))) {
    if (error) *error = QStringLiteral("%1 is gone").arg(name);
    return nullptr;
  }
  port->setPortName(name);
  port->setBaudRate(QSerialPort::Baud9600);
  port->setDataBits(QSerialPort::Data8);
  port->setParity(QSerialPort::NoParity);
  port->setStopBits(QSerialPort::OneStop);
  port->setFlowControl(QSerialPort::NoFlowControl);
  if (!port->open(QIODevice::ReadWrite)) {
    if (error) *error = port->errorString();
    return nullptr;
  }
  return port;
}

}  // namespace lorvane
