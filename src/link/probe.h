#pragma once
// Finding the controller: each port in turn is opened at 9600 8N1 and asked two harmless reads
// of slave 01 (the run status, 0x1058, then the current project, 0x1025). Only reads go out. A
// read unanswered within the bound is asked once more; a port that stays silent, refuses or
// answers implausibly is closed at once and the next one is asked. The first port that answers
// both reads plausibly is the controller. Everything runs from the event loop: no call waits.
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>
#include <memory>

#include "frames/reply.h"
#include "frames/request.h"

namespace lorvane {

class ControllerProbe : public QObject {
  Q_OBJECT
 public:
  // The devices to ask, in order (what openSerialPort opens: a link of the ports folder, a device).
  explicit ControllerProbe(QStringList devices, QObject* parent = nullptr);
  ~ControllerProbe() override;

  enum class Outcome { NotAsked, Answered, Silent, NotController, CannotOpen };
  struct Result {
    int found = -1;  // index of the controller's port, -1: none
    QList<Outcome> outcomes;  // one per device
    bool cancelled = false;
  };

  // How long a read may go unanswered before it is asked again, then given up (ms).
  void setReplyMs(int ms) { replyMs_ = ms; }
  static constexpr int kReplyMs = 300;

  void start();
  // Stops now: the port being asked is closed before this returns. finished() follows.
  void cancel();
  bool isRunning() const { return running_; }
  // A port of the probe is open now.
  bool portOpen() const { return port_ && port_->isOpen(); }
  const Result& result() const { return result_; }
  const QStringList& devices() const { return devices_; }

  // The reads asked, in order, and whether an answer's value is one the controller can hold.
  static const QList<Request>& questions();
  static bool plausible(const Request& question, int value);

 signals:
  void asking(int index);  // the port at index is being opened and asked
  void finished();

 private:
  void askNext();
  void send();
  void readAvailable();
  void noAnswer();
  void endPort(Outcome outcome);
  void finish();

  QStringList devices_;
  Result result_;
  int index_ = -1;
  int question_ = 0;
  int attempt_ = 0;
  int replyMs_ = kReplyMs;
  bool running_ = false;
  std::unique_ptr<QSerialPort> port_;
  FrameAssembler assembler_;
  QTimer replyTimer_;
  QTimer nextTimer_;
};

}  // namespace lorvane
