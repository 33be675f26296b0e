#pragma once
// The line to the controller for a command-line tool: the program's own exchange engine (the same
// reply checks, repeats, refusals and late-answer rules as the screens) driven from the event
// loop one operation at a time. Each operation returns when the controller has answered all of
// it, and throws TransferError when the controller refuses, stays silent, the port goes or the
// operator interrupts.
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>

#include "link/exchange.h"
#include "link/link.h"

namespace lorvane::projects {

struct TransferError {
  enum class Kind { Refused, Silent, PortLost, Interrupted, Other };
  Kind kind = Kind::Other;
  QString message;
};

// One register or signed 32-bit pair (low word first).
struct Register {
  std::uint16_t address = 0;
  int count = 1;
};
struct RegisterWrite {
  std::uint16_t address = 0;
  int count = 1;
  std::int64_t value = 0;
};

class Transfer : public QObject {
  Q_OBJECT
 public:
  // The device stays the caller's and must outlive the transfer.
  explicit Transfer(QIODevice* device, QObject* parent = nullptr);
  ~Transfer() override;

  // Time for the engine and for the silence check (tests run it faster than the wall clock).
  void setClock(Exchange::Clock clock);
  std::int64_t now() const { return clock_(); }
  // How often the engine may send (ms of the wall clock); a reply due lets the next go at once.
  void setTickMs(int ms) { timer_.setInterval(ms); }
  // A request unanswered for this long (by the clock): the controller is taken to be silent.
  void setSilentMs(int ms) { silentMs_ = ms; }

  // The values of these registers, in order.
  QList<std::int64_t> read(const QList<Register>& registers);
  std::int64_t read(std::uint16_t address, int count = 1) { return read({{address, count}}).first(); }
  // Writes these registers in order, each until the controller has acknowledged it.
  void write(const QList<RegisterWrite>& writes);
  void write(std::uint16_t address, std::int64_t value) { write({{address, 1, value}}); }
  // A command coil ON, sent until acknowledged, then msAfter of quiet while the controller works.
  void command(std::uint16_t coil, int msAfter);

  // From a signal handler's notifier: the operation under way ends with Kind::Interrupted, and so
  // does the next one started until clearInterrupt().
  void interrupt() { interrupted_ = true; }
  void clearInterrupt() { interrupted_ = false; }
  bool interrupted() const { return interrupted_; }

  // What went over the line: requests answered, and the least time their frames take at 9600
  // baud (request and reply, ten bits a character).
  struct Counts {
    int answered = 0;
    int sent = 0;       // every request put on the line, repeats included
    int timeouts = 0;
    qint64 lineChars = 0;
    double lineMs() const { return double(lineChars) * 10.0 * 1000.0 / 9600.0; }
  };
  const Counts& counts() const { return counts_; }

 private:
  void runUntil(const std::function<bool()>& done);
  QList<std::int64_t> readOnce(const QList<Register>& registers);
  void onTraffic(const TrafficEvent& e);

  Link link_;
  Exchange exchange_;
  QTimer timer_;
  Exchange::Clock clock_;
  int silentMs_ = 5000;
  bool interrupted_ = false;
  bool busy_ = false;  // an operation is under way: the traffic record's events are this line's
  bool lostStep_ = false;  // the line was found out of step during the operation
  std::int64_t unansweredSince_ = -1;  // the first request sent since the last answer
  std::unique_ptr<TransferError> failure_;
  Counts counts_;
};

}  // namespace lorvane::projects
