#pragma once
// The arc step page Mainfrm14: the centre and end point of an arc of X and Y from where the step
// begins, its turning direction, whether it goes round more than a full turn, its speed and its
// start condition, for the controller's current step.
#include "ui/screen.h"

namespace lorvane::screens {

class ArcStep : public ui::Screen {
  Q_OBJECT
 public:
  ArcStep();

  static constexpr int kIntervalMs = 80;
};

}  // namespace lorvane::screens
