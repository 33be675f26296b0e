#pragma once
// The last page of a step's settings, Mainfrm23: the delay after the current step, a loop back
// over steps A to B after it, and the project's speed override, repetition and the project that
// runs after it.
#include "ui/screen.h"

namespace lorvane::screens {

class TimingStep : public ui::Screen {
  Q_OBJECT
 public:
  TimingStep();

  static constexpr int kIntervalMs = 100;
};

}  // namespace lorvane::screens
