#pragma once
// The step function selection screen Mainfrm13, the hub of step programming: shows the current
// project and step, moves to another step, sets the step's start delay, chooses the step's
// function and opens the page of the function that is on.
#include "ui/screen.h"

namespace lorvane::screens {

class StepFunctions : public ui::Screen {
  Q_OBJECT
 public:
  StepFunctions();

  // An entry button ("进入圆弧", ...) turns red, then says whether its page may open: its status
  // label has been read since the last step or function command and reads as switched on. A
  // button that opens nothing stays red until the screen is loaded again.
  bool mayEnter(const QString& button);

  static constexpr int kIdleMs = 50;
  static constexpr int kBusyMs = 80;  // after a step number or delay write, for the rest of the visit
};

}  // namespace lorvane::screens
