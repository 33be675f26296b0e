#pragma once
// The line to the controller for a command-line tool or a window: operations of the program's
// own exchange engine (link/operation.h: the same reply checks, repeats, refusals and late-answer
// rules as the screens), each waited for in the event loop. Each call returns when the controller
// has answered all of it, and throws TransferError when the controller refuses, stays silent, the
// port goes or the operator interrupts.
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>

#include "link/exchange.h"
#include "link/link.h"
#include "link/operation.h"

namespace lorvane::projects {

struct TransferError {
  enum class Kind { Refused, Silent, PortLost, Interrupted, Other };
  Kind kind = Kind::Other;
  QString message;
};

class Transfer : public QObject {
  Q_OBJECT
 public:
  // A line and an engine of its own on this device, which stays the caller's and must outlive
  // the transfer.
  explicit Transfer(QIODevice* device, QObject* parent = nullptr);
  // A screen's engine, ticked by the screen: its commands and the OFFs of its buttons keep their
  // places ahead of what is asked here, and its read cycle waits while the transfer lasts.
  explicit Transfer(Exchange& engine, QObject* parent = nullptr);
  ~Transfer() override;

  // Time for the engine and for the silence check (tests run it faster than the wall clock).
  void setClock(Exchange::Clock clock);
  // How often the engine may send (ms of the wall clock); a reply due lets the next go at once.
  void setTickMs(int ms) { timer_.setInterval(ms); }
  // Nothing heard from the controller for this long (by the clock): it is taken to be silent.
  void setSilentMs(int ms) { silentMs_ = ms; }

  // The values of these registers, in order.
  QList<std::int64_t> read(const QList<Register>& registers);
  std::int64_t read(std::uint16_t address, int count = 1) { return read({{address, count}}).first(); }
  // Writes these registers in order, each until the controller has acknowledged it.
  void write(const QList<RegisterWrite>& writes);
  void write(std::uint16_t address, std::int64_t value) { write({{address, 1, value}}); }
  // A command coil ON, sent until acknowledged, then msAfter of quiet while the controller works.
  void command(std::uint16_t coil, int msAfter);

  // From a signal handler's notifier or a window's cancel: the operation under way ends with
  // Kind::Interrupted, and so does the next one started until clearInterrupt().
  void interrupt();
  void clearInterrupt() { interrupted_ = false; }
  bool interrupted() const { return interrupted_; }

  // What went over the line: requests answered, and the least time their frames take at 9600
  // baud (request and reply, ten bits a character).
  struct Counts {
    int answered = 0;
    int sent = 0;  // every request put on the line, repeats included
    int timeouts = 0;
    qint64 lineChars = 0;
    double lineMs() const { return double(lineChars) * 10.0 * 1000.0 / 9600.0; }
  };
  const Counts& counts() const { return counts_; }

 private:
  void tickWhileWaiting();
  // Waits until the operation ends; its values when it is done, else throws.
  QList<std::int64_t> await(Operation* op);

  std::unique_ptr<Link> ownLink_;
  std::unique_ptr<Exchange> ownEngine_;
  QPointer<Exchange> engine_;
  QTimer timer_;
  QPointer<Operation> current_;  // the operation being waited for
  int silentMs_ = 5000;
  bool interrupted_ = false;
  Counts counts_;
};

}  // namespace lorvane::projects
