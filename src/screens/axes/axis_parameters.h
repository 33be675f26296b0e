#pragma once
// The axis basic parameter screen Mainfrm5: one screen for the five axes. It reads the
// ten basic parameters of the selected axis over and over, and "下载并保存数据" writes all ten and
// has the controller keep them.
#include "frames/registers.h"
#include "ui/screen.h"

namespace lorvane::screens {

class AxisParameters : public ui::Screen {
  Q_OBJECT
 public:
  AxisParameters();

  // The axis menu names the axis through the title after showing the screen: "X轴参数设定" to
  // "A轴参数设定" select X to A; any other text (none at all, from the debugging page) changes
  // nothing, so the screen works on X.
  Q_INVOKABLE void setTitle(const QString& title);
  int axis() const { return axis_; }

  // The titles that select the axes X, Y, Z, C, A.
  static const QStringList& axisTitles();

 private:
  void selectAxis(int axis);

  int axis_ = reg::X;
};

// The reads and the download of one axis, from the parameter table (for tests and the screen).
QList<Read> axisParameterReads(int axis);
Sequence axisParameterDownload(int axis);

}  // namespace lorvane::screens
