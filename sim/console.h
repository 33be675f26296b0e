#pragma once
// Commands typed into lorvane-sim while it runs: set inputs, look at the state, poke registers,
// and ask for line faults (kept in Faults, which the front end reads for every request). The
// front end supplies what only it can do (garbage, unplug).
#include <QString>
#include <functional>

#include "sim/event.h"
#include "sim/faults.h"
#include "sim/model.h"
#include "sim/slave.h"

namespace lorvane::sim {

struct ConsoleHooks {
  std::function<void()> garbage;  // a burst of noise on the line
  std::function<void()> unplug;   // the line goes away
  std::function<void()> plug;     // and comes back
  std::function<void()> quit;
};

class Console {
 public:
  Console(ControllerModel& model, Slave& slave, Faults& faults, ConsoleHooks hooks = {})
      : model_(model), slave_(slave), faults_(faults), hooks_(std::move(hooks)) {}

  // Carries out one command line and returns what to print (may be several lines).
  QString run(const QString& line);
  static QString help();
  // A line about something the machine did, for lorvane-sim's log.
  static QString describe(const Event& event);

  // What the console shows of the machine: project, step, run, positions, inputs and outputs; a
  // project's settings and the function of each step set; one step's values. The working values,
  // and whether they are the kept ones.
  QString stateText() const;
  QString projectText(int project) const;
  QString stepText(int project, int step) const;

 private:
  ControllerModel& model_;
  Slave& slave_;
  Faults& faults_;
  ConsoleHooks hooks_;
};

}  // namespace lorvane::sim
