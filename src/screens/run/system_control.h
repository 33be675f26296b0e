#pragma once
// The system control screen Mainfrm2: starts and stops the current project, shows
// what the controller is doing, and sets the production count and the start/stop switch inputs;
// "路径预览" opens the path window with the positions it shows drawn as a trail.
#include <QPointer>

#include "sim/runner.h"
#include "ui/screen.h"

namespace lorvane::screens {

class PathWindow;

class SystemControl : public ui::Screen {
  Q_OBJECT
 public:
  SystemControl();

  // Tick intervals: at rest, and once the controller reports a running step.
  static constexpr int kIdleMs = 50;
  static constexpr int kRunningMs = 10;

  // The path window with the trail of the positions shown ("路径预览").
  void openPath();
  PathWindow* pathWindow() const;

 private:
  runner::Point shownPosition() const;
  QPointer<PathWindow> path_;
};

}  // namespace lorvane::screens
