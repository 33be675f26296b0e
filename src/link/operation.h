#pragma once
// One request of the controller made by a tool or a window rather than by a screen's tables: read
// these registers, write these values, or switch a command coil. The engine that takes it
// (Exchange::submit) sends it with the same rules as a screen's commands: after any OFF or stop,
// repeated until answered, late answers used, and the line's checks unchanged. It ends once, as
// done (with the values read), refused, timed out, port lost or cancelled, and says so with
// finished(). In the manner of QModbusReply: the engine owns it until the caller deletes it.
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>

#include "frames/request.h"

namespace lorvane {

class Exchange;

// One register, or a signed 32-bit pair (low word first).
struct Register {
  std::uint16_t address = 0;
  int count = 1;
};
struct RegisterWrite {
  std::uint16_t address = 0;
  int count = 1;
  std::int64_t value = 0;
};

class Operation : public QObject {
  Q_OBJECT
 public:
  enum class Result { Running, Done, Refused, TimedOut, PortLost, Cancelled };

  ~Operation() override;

  Result result() const { return result_; }
  bool isFinished() const { return result_ != Result::Running; }
  // The values of a read, in the order asked; all of them once it is done.
  const QList<std::int64_t>& values() const { return values_; }
  // The request the controller refused or left unanswered.
  const Request& failedRequest() const { return failed_; }
  // Requests answered so far, of all the operation has.
  int answered() const { return done_; }
  int total() const { return total_; }

  // No answer from the controller for this long, while the operation has a request out: it ends
  // as timed out. The engine keeps repeating until then.
  void setTimeoutMs(int ms) { timeoutMs_ = ms; }
  int timeoutMs() const { return timeoutMs_; }

  // Ends it now: nothing more of it is sent. A request of it on the line is still let come back,
  // so that its answer is not taken for another request's.
  void cancel();

  // What went over the line for it.
  struct Counts {
    int sent = 0;  // every request put on the line, repeats included
    int answered = 0;
    int timeouts = 0;
    qint64 lineChars = 0;  // of the answered requests and their replies, as framed on the line
  };
  const Counts& counts() const { return counts_; }

 signals:
  void progressed(int answered, int total);
  void finished();

 private:
  friend class Exchange;
  Operation(Exchange* engine, int total);
  void end(Result result);
  void take(std::int64_t value, std::int64_t at);

  QPointer<Exchange> engine_;
  Result result_ = Result::Running;
  QList<std::int64_t> values_;
  QList<std::int64_t> takenAt_;  // when each value came, to drop those read while out of step
  Request failed_;
  int done_ = 0;
  int total_ = 0;
  int timeoutMs_ = 5000;
  std::int64_t lastHeard_ = -1;  // the last answer for it, or when its first request went out
  int job_ = 0;                  // its job in the engine's command queue
  Counts counts_;
};

}  // namespace lorvane
