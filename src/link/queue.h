#pragma once
// The commands waiting to go out, in the order the operator clicked them, with the rules that
// keep an axis safe: OFFs and stops stand first and are never removed by a later click, a stop
// discards the start it cancels, a button clicked again before its command went out replaces the
// waiting values, and while a message box is open or the screen is being left only what must
// reach the controller goes out.
#include <QList>
#include <QString>
#include <cstdint>
#include <deque>

#include "frames/declarations.h"
#include "frames/encode.h"

namespace lorvane {

enum class JobKind {
  Sequence,  // a write button's sequence
  Stop,      // a stop sequence
  HoldOn,    // the ON of a hold-to-run button, repeated while held
  HoldOff,   // the OFF of a hold-to-run button
  PulseOff,  // the OFF of a pulse whose sequence was cut short (leaving the screen)
  Operation, // a tool's or a window's read, writes or command (link/operation.h)
};

struct Job {
  int id = 0;
  JobKind kind = JobKind::Sequence;
  Name button = {};
  QList<Planned> steps = {};
  int step = 0;
  bool sent = false;               // the current request has gone out at least once
  std::int64_t queuedAt = 0;
  std::int64_t waitUntil = -1;     // in a wait step: nothing goes out before this
  bool warned = false;             // the operator was told this OFF or stop is not getting through
  std::uint16_t coil = 0;          // the coil of a hold-to-run or pulse OFF
  std::uint16_t pulseCoil = 0;     // a pulse in this sequence switched this coil ON, not yet OFF
  bool carried = false;            // an OFF or stop owed from before the port was last closed
  ClearLocks clears = ClearLocks::Written;
  DoneEffects onDone = {};

  const Planned* current() const { return step < steps.size() ? &steps[step] : nullptr; }
  // Goes ahead of ordinary commands, passes a message box and is never given up.
  bool mustReach() const;
  bool isOff() const { return kind == JobKind::HoldOff || kind == JobKind::PulseOff; }
};

class CommandQueue {
 public:
  // Adds a job: OFFs and stops behind earlier ones and ahead of ordinary commands, the rest at
  // the end; a waiting, unsent sequence of the same button takes the new values instead.
  void add(Job job, std::int64_t now);
  // Drops the waiting sequences of these buttons, except the one on the line.
  void cancel(const QList<Name>& buttons, int onLine);
  // Leaving: what the operator asked for and has not gone out is dropped; OFFs, stops and the
  // request on the line stay, and a pulse cut short keeps only its OFF.
  void leave(int onLine, std::int64_t now);
  // The job that may send now: the first one, or with `onlyMustReach` the first OFF or stop.
  Job* next(bool onlyMustReach);
  Job* find(int id);
  void remove(int id);
  bool empty() const { return jobs_.empty(); }
  Job& front() { return jobs_.front(); }
  bool hasMustReach() const;
  bool waits(const Name& button) const;  // a sequence of this button is not yet acknowledged
  std::deque<Job>& jobs() { return jobs_; }

 private:
  std::deque<Job> jobs_;
  int nextId_ = 1;
};

}  // namespace lorvane
