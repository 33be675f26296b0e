#pragma once
// The teach step page Mainfrm16: which of X, Y, Z and C are teach axes in the current step, the
// hold-to-run jogs that bring each to its point, storing the point and matching the speeds so
// that the teach axes finish together, and the speeds and pulse counts typed and downloaded.
#include "ui/screen.h"

namespace lorvane::screens {

class TeachStep : public ui::Screen {
  Q_OBJECT
 public:
  TeachStep();

  static constexpr int kIntervalMs = 50;
  static constexpr int kStepIntervalMs = 80;  // from the first step number download on
};

// Refused download while a step command is on its way.
QString teachStepPending();

}  // namespace lorvane::screens
