#pragma once
// The line step page Mainfrm15: the end point of a straight line of X and Y from where the step
// begins, its speed and its start condition, for the controller's current step.
#include "ui/screen.h"

namespace lorvane::screens {

class LineStep : public ui::Screen {
  Q_OBJECT
 public:
  LineStep();
};

}  // namespace lorvane::screens
