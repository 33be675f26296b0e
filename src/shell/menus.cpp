#include "shell/menus.h"

#include <QGridLayout>
#include <QSvgWidget>

#include "ui/controls.h"
#include "ui/session.h"

// The pictures live in this static library's resources: they are registered before first use.
static void initAssets() { Q_INIT_RESOURCE(assets); }

namespace lorvane::shell {

using namespace lorvane::ui;

namespace {

// One axis a line, and the way back.
const Controls kAxisMenu = {
    heading("Label1", "各轴基本参数设置界面"),
    button("Xcmd", "X 轴 参 数", Yellow, "", 1), button("Ycmd", "Y 轴 参 数", Yellow, "", 2),
    button("Zcmd", "Z 轴 参 数", Yellow, "", 3), button("Ccmd", "C 轴 参 数", Yellow, "", 4),
    button("Acmd", "A 轴 参 数", Yellow, "", 5), button("BAcmd", "返回主界面", Green, "", 6),
};

// The axis pages two by two, the input and output tests side by side in their groups.
const Controls kTestMenu = {
    heading("Label1", "系统功能测试界面", "", 0, Black),
    button("Xcmd", "X、Y轴调试", Yellow, "", 1), button("Ycmd", "Z、C轴调试", Yellow, "", 1),
    button("Acmd", "A轴调试", Yellow, "", 2), button("Sdcmd", "手动测试", Yellow, "", 2),
    group("Frame1", "13路外部输入测试", "", 3, Red), button("inputcmd", "输入测试", Yellow, "Frame1", 0),
    group("Frame2", "12路外部输出测试", "", 3), button("outputcmd", "输出测试", Yellow, "Frame2", 0),
    button("BAcmd", "返回主界面", Green, "", 4),
};

// The picture (placed in code), and on its right the two buttons at the bottom.
const Controls kWiringDiagram = {
    group("Frame1", "Lorvane V2.0", "", 0),
    stretch("Frame1", 0), button("BAcmd", "返回", Green, "Frame1", 1), button("EXcmd", "退出", Green, "Frame1", 2),
};

}  // namespace

AxisMenu::AxisMenu() : Form("Mainfrm3") { build(*this, kAxisMenu); }

bool AxisMenu::load() {
  session().portReopen = true;
  return true;
}

TestMenu::TestMenu() : Form("Mainfrm4") { build(*this, kTestMenu); }

bool TestMenu::load() {
  session().portReopen = true;
  return true;
}

WiringDiagram::WiringDiagram() : Form("Mainfrm24") {
  initAssets();
  setWindowTitle(QStringLiteral("Lorvane接线图"));
  build(*this, kWiringDiagram);
  layout()->setContentsMargins(4, 4, 4, 4);
  auto* frame = control<QGroupBox>("Frame1");
  auto* grid = static_cast<QGridLayout*>(frame->layout());
  grid->setContentsMargins(4, 4, 4, 4);
  auto* picture = new QSvgWidget(QStringLiteral(":/assets/wiring.svg"), frame);
  picture->setObjectName("Image1");
  const QSize size(727, 718);
  picture->setFixedSize(size);
  // Columns counted from the right: the buttons' column stays on the right, the picture beside it.
  grid->setOriginCorner(Qt::TopRightCorner);
  grid->addWidget(picture, 0, 1, grid->rowCount(), 1);
  // Full size where the window's room on the display allows it; on a small or scaled display the
  // drawing shrinks, in proportion, so that the window fits without scrolling. (Polished first:
  // the frame's style sheet adds to the size.)
  ensurePolished();
  const QSize over = (sizeHint() - room()).expandedTo(QSize(0, 0));
  if (!over.isNull()) {
    const QSize smaller = size.scaled(size - over, Qt::KeepAspectRatio);
    if (smaller.height() > 200) {
      picture->setFixedSize(smaller);
      frame->updateGeometry();  // the window's layout asks the frame its size again
    }
  }
}

bool WiringDiagram::load() {
  session().portReopen = true;
  return true;
}

}  // namespace lorvane::shell
