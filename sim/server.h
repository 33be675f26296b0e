#pragma once
// lorvane-sim's line: the controller model answering on a pseudo-terminal at the pace of a
// 9600-baud line, with its comN link, a traffic log and the faults asked for (lost, broken,
// late and repeated replies, a silent controller). Like a real controller it answers one
// request after the other: replies leave in the order the requests came, however late.
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>
#include <memory>

#include "faults.h"
#include "model.h"
#include "pty.h"
#include "link/reply.h"
#include "slave.h"

namespace lorvane::sim {

class PtyServer : public QObject {
  Q_OBJECT
 public:
  struct Options {
    int port = 1;
    int latencyMs = 5;   // from the last character of a request to the first of the reply
    bool pacing = true;  // 9600 baud, 10 bits a character
    QString logFile;     // "-" for standard output
  };

  PtyServer(ControllerModel& model, Faults& faults, Options options, QObject* parent = nullptr);
  ~PtyServer() override;

  bool start(QString* error);  // opens the terminal and makes the link
  void stop();                 // removes the link and closes the terminal
  Slave& slave() { return slave_; }
  QString deviceName() const { return pty_.deviceName(); }
  QString linkPath() const { return link_; }

  void sendGarbage();
  void unplug();
  bool plug(QString* error = nullptr);
  void log(const QString& line);

 private:
  struct Pending {
    double due;  // ms on clock_
    QByteArray frame;
    int extraMs;  // the extra delay drawn for it
  };
  struct Outgoing {
    double start;  // when the first character goes
    QByteArray bytes;
    QString note;  // logged when the first character goes (a first reply is logged when handled)
    qsizetype written = 0;
  };

  double now() const { return clock_.nsecsElapsed() / 1e6; }
  void readMaster();
  void pump();
  // Puts bytes on the line after whatever is already going out; returns when they start.
  double queueOutput(const QByteArray& bytes, double earliest, const QString& note = {});
  void advanceModel();
  void schedulePump();

  ControllerModel& model_;
  Faults& faults_;
  Options options_;
  Slave slave_;
  Pty pty_;
  QString link_;
  std::unique_ptr<QSocketNotifier> readNotifier_;
  FrameAssembler assembler_;
  QElapsedTimer clock_;
  double inputFreeAt_ = 0;   // when the last character sent to us has fully arrived
  double outputFreeAt_ = 0;  // when the line towards the program is free again
  QList<Pending> pending_;
  QList<Outgoing> outgoing_;
  QTimer pumpTimer_;
  QTimer modelTimer_;
  qint64 modelClock_ = 0;
  QFile logFile_;
  std::unique_ptr<QTextStream> logStream_;
};

}  // namespace lorvane::sim
