#pragma once
// The project parameter screen Mainfrm12: chooses the controller's current project, sets its
// step count, asks the controller whether the project holds parameters, clears them, and has
// the whole project kept; "路径预览" opens the path window for the project.
#include "ui/screen.h"

namespace lorvane::screens {

class ProjectParameters : public ui::Screen {
  Q_OBJECT
 public:
  ProjectParameters();

  // Tick intervals: at rest, and after a step count write or a clear until the next pass
  // through the parameter flag.
  static constexpr int kIdleMs = 120;
  static constexpr int kBusyMs = 80;
  // How long the read-parameters coil stays ON, and the wait after its OFF.
  static constexpr int kReadOnMs = 2000;
  static constexpr int kReadAfterMs = 2000;
};

}  // namespace lorvane::screens
