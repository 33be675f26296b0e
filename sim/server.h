#pragma once
// lorvane-sim's line: the controller model answering on a pseudo-terminal at the pace of a
// 9600-baud line, with its comN link, a traffic log and the faults asked for (lost, broken,
// late and repeated replies, a silent controller). Like a real controller it carries out each
// request as it comes and answers one after the other: replies leave in the order the requests
// came, however late, and may overlap later requests.
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>
#include <memory>

#include "sim/faults.h"
#include "sim/model.h"
#include "sim/pty.h"
#include "frames/reply.h"
#include "sim/slave.h"

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
  struct Outgoing {
    double start;  // when the first character goes (ms on clock_)
    QByteArray bytes;
    QString note;  // logged when the first character goes
    qsizetype written = 0;
  };

  double now() const { return clock_.nsecsElapsed() / 1e6; }
  void readMaster();
  void pump();
  // Puts bytes on the line at `start` (a time the reply line gave).
  void queueOutput(const QByteArray& bytes, double start, const QString& note);
  // The controller has taken a request in: it is carried out at once and its answer goes out
  // after the latency, in request order.
  void handle(const QByteArray& frame, double arrived);
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
  ReplyLine line_;           // the line towards the program
  QList<Outgoing> outgoing_;  // by start time
  QTimer pumpTimer_;
  QTimer modelTimer_;
  qint64 modelClock_ = 0;
  QFile logFile_;
  std::unique_ptr<QTextStream> logStream_;
};

}  // namespace lorvane::sim
