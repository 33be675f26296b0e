#pragma once
// The serial line: one device (a QSerialPort in the program, a fake in tests) that requests go
// out on and whole reply frames come back from.
#include <QByteArray>
#include <QIODevice>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

#include "reply.h"

class QSerialPort;

namespace lorvane {

class Link : public QObject {
  Q_OBJECT
 public:
  explicit Link(QIODevice* device, QObject* parent = nullptr);

  // Discards whatever is still waiting from the line, then writes the framed body.
  void send(const QByteArray& body);
  QByteArray lastBody() const { return lastBody_; }
  QIODevice* device() const { return device_; }
  bool isOpen() const { return device_ && device_->isOpen(); }

 signals:
  void frameReceived(const QByteArray& frame);
  void frameSent(const QByteArray& frame);
  // The device failed while open (adapter unplugged, simulator gone).
  void portLost();

 private:
  void readAvailable();
  void lose();

  QPointer<QIODevice> device_;
  FrameAssembler assembler_;
  QByteArray lastBody_;
  bool lost_ = false;
};

// The device a port number names: COMn on Windows; elsewhere $LORVANE_PORTS/comN (default
// ~/.config/lorvane/ports/comN) when that exists, else /dev/ttyS<N-1>.
QString portDeviceName(int portNumber);
QString portsFolder();

// Opens the port at 9600 8N1. Null (and a reason in *error) when it cannot be opened.
std::unique_ptr<QSerialPort> openSerialPort(int portNumber, QString* error = nullptr);

}  // namespace lorvane
