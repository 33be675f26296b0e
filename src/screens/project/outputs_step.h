#pragma once
// The output pages of a step, after the axis pages: Mainfrm21 sets up to four outputs the step
// switches directly, Mainfrm22 up to three outputs switched when an input is in a given state.
// Both work on the controller's current step.
#include "ui/screen.h"

namespace lorvane::screens {

class DirectOutputStep : public ui::Screen {
  Q_OBJECT
 public:
  DirectOutputStep();
};

class ConditionedOutputStep : public ui::Screen {
  Q_OBJECT
 public:
  ConditionedOutputStep();
};

}  // namespace lorvane::screens
