#include "screens/axes/manual_jog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "link/registers.h"

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

}  // namespace

ManualJog::ManualJog() : Screen("Mainfrm11", exchangeTable()) {
  auto* top = new QVBoxLayout(this);
  top->addWidget(heading("Label1", "X\\Y\\Z\\C\\A手动测试"));

  QGroupBox* drives = group("Frame1");
  auto* grid = new QGridLayout(drives);
  int column = 0;
  for (const Drive& drive : kDrives) {
    grid->addWidget(button(drive.forward, drive.forwardCaption, Green), 0, column);
    grid->addWidget(button(drive.reverse, drive.reverseCaption, Green), 1, column);
    ++column;
  }
  top->addWidget(drives);

  QGroupBox* pages = group("Frame2");
  auto* row = new QHBoxLayout(pages);
  row->addWidget(button("SY5cmd", "上一页", SystemButton));
  row->addWidget(button("BA3cmd", "返 回", SystemButton));
  top->addWidget(pages);

  bindControls();
}

}  // namespace lorvane::screens
