#pragma once
// Something the simulated machine did that the person running lorvane-sim wants to see (a run
// started, a project kept, a jog ended at a limit). The model reports what happened; the
// console turns it into a line of text.
#include <QString>

namespace lorvane::sim {

struct Event {
  enum class Kind {
    JogIgnored,         // axis: a project is running
    HomeIgnored,        // axis: a project is running
    Jog,                // axis, by mm
    JogAtLimit,         // axis
    Home,               // axis
    AtZero,             // axis: no zero input wired, back at coordinate 0
    Homed,              // axis, on input value
    HomeGaveUp,         // axis, no signal on input value
    NoSteps,            // project: start refused
    RunStarted,         // project
    ProjectDone,        // project, production count value
    RunDone,            // the run ended with its last project
    RunStopped,         // by the stop command
    RunStoppedBySwitch, // input n
    OutputTest,         // output n, value 1 on / 0 off
    OutputTestRefused,  // output n, setting value
    TeachPointStored,   // step
    TeachSpeedsMatched, // step
    ParametersKept,
    ProjectKept,        // project
    ProjectReported,    // project
    ProjectCleared,     // project
    StateNotWritten,    // why in text
  };
  Kind kind;
  int n = 0;      // the axis (0..4), project, step, input or output it concerns
  int value = 0;  // a second number, as the kind says
  double mm = 0;
  QString text = {};
};

}  // namespace lorvane::sim
