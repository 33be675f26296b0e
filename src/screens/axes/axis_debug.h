#pragma once
// The axis debugging pages: X and Y (Mainfrm6), Z and C (Mainfrm7), A (mainfrm8). For each axis
// the current coordinate, the jog distance, direction and homing input with their apply buttons,
// and the jog, home, forward-while-held and reverse-while-held buttons. One table of controls and
// one table of exchanges per axis drive all three pages.
#include "ui/screen.h"

namespace lorvane::screens {

enum class DebugPage { XY, ZC, A };

class AxisDebug : public ui::Screen {
  Q_OBJECT
 public:
  explicit AxisDebug(DebugPage page);
};

}  // namespace lorvane::screens
