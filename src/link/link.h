#pragma once
// The serial line: one device (a QSerialPort in the program, a fake in tests) that requests go
// out on and whole reply frames come back from.
#include <QByteArray>
#include <QIODevice>
#include <QObject>
#include <QPointer>
#include <QString>
#include <deque>
#include <memory>

#include "link/line_guard.h"
#include "link/queue.h"
#include "frames/reply.h"

class QSerialPort;

namespace lorvane {

// What the program knows of the line on one port, kept until the program ends: every screen
// opens the port anew, the controller and the answers on their way stay the same.
struct PortState {
  LineGuard line;
  // OFFs and stops that were not acknowledged when the port was last closed or lost: the first
  // frames sent when it is open again, repeated until acknowledged.
  std::deque<Job> owedStops;
};

class Link : public QObject {
  Q_OBJECT
 public:
  explicit Link(QIODevice* device, QObject* parent = nullptr);

  // Time one character takes on the line (ms); 0 for a line without pacing (tests' fake lines).
  double charMs() const { return charMs_; }
  void setCharMs(double ms) { charMs_ = ms; }
  // What is known of the line on this port; a link of its own unless the port's is given.
  PortState& port() { return *port_; }
  const PortState& port() const { return *port_; }
  void setPort(std::shared_ptr<PortState> port) { port_ = std::move(port); }

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
  double charMs_ = 0;
  std::shared_ptr<PortState> port_ = std::make_shared<PortState>();
};

// The device a port number names: COMn on Windows; elsewhere $LORVANE_PORTS/comN (default
// ~/.config/lorvane/ports/comN) when that exists, else /dev/ttyS<N-1>.
QString portDeviceName(int portNumber);
QString portsFolder();

// Opens the device at 9600 8N1. Null (and a reason in *error) when it cannot be opened. A link in
// the ports folder is followed to the device it names at each open; a link that is gone is an
// error, never a reason to try another device.
std::unique_ptr<QSerialPort> openSerialPort(const QString& device, QString* error = nullptr);

}  // namespace lorvane
