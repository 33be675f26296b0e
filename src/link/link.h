#pragma once
// The serial line: one device (a QSerialPort in the program, a fake in tests) that requests go
// out on and whole reply frames come back from.
#include <QByteArray>
#include <QIODevice>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

#include "link/reply.h"

class QSerialPort;

namespace lorvane {

// What the program has learned about the controller on one port, kept until the program ends
// (every screen opens the port anew, the controller stays the same).
struct LineTiming {
  // A reply time-out long enough for a controller seen answering late (0: none seen yet). Never
  // beyond kMaxReplyMs, the usual default of Modbus masters.
  int slowReplyMs = 0;
  // Quiet kept after each answer before the next request, learned from a controller that was
  // seen answering a request twice (0: none seen).
  int repeatGuardMs = 0;
  // Answers taken on this port so far. The first ones are taken with a short quiet after each,
  // so that a controller that answers twice shows it at once; one that has answered that many
  // times once each is trusted with the full pace of the line.
  int answersTaken = 0;
  static constexpr int kAnswersOnTrial = 10;
  static constexpr int kMaxReplyMs = 1000;
};

class Link : public QObject {
  Q_OBJECT
 public:
  explicit Link(QIODevice* device, QObject* parent = nullptr);

  // Time one character takes on the line (ms); 0 for a line without pacing (tests' fake lines).
  // A reply that is complete sooner after its request than the two frames take on the line cannot
  // be its answer.
  double charMs() const { return charMs_; }
  void setCharMs(double ms) { charMs_ = ms; }
  LineTiming& timing() { return *timing_; }
  void setTiming(std::shared_ptr<LineTiming> timing) { timing_ = std::move(timing); }

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
  std::shared_ptr<LineTiming> timing_ = std::make_shared<LineTiming>();
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
