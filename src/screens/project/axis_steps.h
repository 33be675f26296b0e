#pragma once
// The normal step pages, one axis each: X (Mainfrm17), Y (Mainfrm18), C (Mainfrm19) and the
// Z/A page (Mainfrm20), which sets up Z or A, whichever the step uses. Each shows and writes the
// axis's start condition, run mode, direction, relative or absolute distance, speed and distance
// for the controller's current step. The X, Y and C pages are one design, a row each in one
// table; the Z/A page is that design with the Z/A choice added and its own exchange table.
#include "ui/screen.h"

namespace lorvane::screens {

enum class AxisPage { X, Y, C, ZA };

class AxisStep : public ui::Screen {
  Q_OBJECT
 public:
  explicit AxisStep(AxisPage page);
};

// What the operator is told after a download that switched the Z/A page to the other axis.
QString otherAxisShown();

}  // namespace lorvane::screens
