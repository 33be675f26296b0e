#include "screens/axes/manual_jog.h"

#include "frames/registers.h"
#include "ui/controls.h"

namespace lorvane::screens {

using namespace lorvane::ui;

namespace {

// Forward buttons in the upper row, reverse buttons in the lower, columns X Y Z C A.
struct Drive {
  reg::Axis axis;
  const char* forward;
  const char* forwardCaption;
  const char* reverse;
  const char* reverseCaption;
};

const Drive kDrives[] = {
    {reg::X, "XZcmd", "X正转", "XFcmd", "X反转"},
    {reg::Y, "YZcmd", "Y正转", "YFcmd", "Y反转"},
    {reg::Z, "ZZcmd", "Z正转", "ZFcmd", "Z反转"},
    {reg::C, "CZcmd", "C正转", "CFcmd", "C反转"},
    {reg::A, "AZcmd", "A正转", "AFcmd", "A反转"},
};

ScreenDecl exchangeTable() {
  ScreenDecl d{.intervalMs = 50, .silentLimit = 5};
  for (const Drive& drive : kDrives) {
    d.momentaries << Momentary{drive.forward, coil::Forward[drive.axis]}
                  << Momentary{drive.reverse, coil::Reverse[drive.axis]};
  }
  return d;
}

// The drive buttons in two lines of Frame1, as the drive table lists them; the page buttons below.
Controls controls() {
  Controls c = {heading("Label1", "X\\Y\\Z\\C\\A手动测试"), group("Frame1", "", "", 1)};
  for (const Drive& drive : kDrives)
    c << button(drive.forward, drive.forwardCaption, Green, "Frame1", 0)
      << button(drive.reverse, drive.reverseCaption, Green, "Frame1", 1);
  return c << group("Frame2", "", "", 2) << button("SY5cmd", "上一页", SystemButton, "Frame2", 0)
           << button("BA3cmd", "返 回", SystemButton, "Frame2", 0);
}

}  // namespace

ManualJog::ManualJog() : Screen("Mainfrm11", exchangeTable()) {
  build(*this, controls());
  bindControls();
}

}  // namespace lorvane::screens
