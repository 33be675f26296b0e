#pragma once
// Manual jog (Mainfrm11): each axis forward or in reverse for as long as its button is held.
// It reads nothing; its ten buttons are hold-to-run commands of the forward and reverse coils.
#include "ui/screen.h"

namespace lorvane::screens {

class ManualJog : public ui::Screen {
  Q_OBJECT
 public:
  ManualJog();
};

}  // namespace lorvane::screens
