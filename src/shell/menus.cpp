#include "shell/menus.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QHBoxLayout>
#include <QSvgWidget>
#include <QVBoxLayout>

#include "ui/session.h"

// The pictures live in this static library's resources: they are registered before first use.
static void initAssets() { Q_INIT_RESOURCE(assets); }

namespace lorvane::shell {

using namespace lorvane::ui;

AxisMenu::AxisMenu() : Form("Mainfrm3") {
  auto* v = new QVBoxLayout(this);
  v->addWidget(heading("Label1", "各轴基本参数设置界面"));
  for (const auto& [name, caption] : {std::pair{"Xcmd", "X 轴 参 数"}, {"Ycmd", "Y 轴 参 数"},
                                      {"Zcmd", "Z 轴 参 数"}, {"Ccmd", "C 轴 参 数"}, {"Acmd", "A 轴 参 数"}})
    v->addWidget(button(name, caption, Yellow));
  v->addWidget(button("BAcmd", "返回主界面", Green));
}

bool AxisMenu::load() {
  session().portReopen = true;
  return true;
}

TestMenu::TestMenu() : Form("Mainfrm4") {
  auto* v = new QVBoxLayout(this);
  v->addWidget(heading("Label1", "系统功能测试界面", 0x000000));
  auto* grid = new QGridLayout;
  grid->addWidget(button("Xcmd", "X、Y轴调试", Yellow), 0, 0);
  grid->addWidget(button("Ycmd", "Z、C轴调试", Yellow), 0, 1);
  grid->addWidget(button("Acmd", "A轴调试", Yellow), 1, 0);
  grid->addWidget(button("Sdcmd", "手动测试", Yellow), 1, 1);
  v->addLayout(grid);
  auto* tests = new QHBoxLayout;
  QGroupBox* in = group("Frame1", "13路外部输入测试", Red);
  (new QVBoxLayout(in))->addWidget(button("inputcmd", "输入测试", Yellow));
  QGroupBox* out = group("Frame2", "12路外部输出测试");
  (new QVBoxLayout(out))->addWidget(button("outputcmd", "输出测试", Yellow));
  tests->addWidget(in);
  tests->addWidget(out);
  v->addLayout(tests);
  v->addWidget(button("BAcmd", "返回主界面", Green));
}

bool TestMenu::load() {
  session().portReopen = true;
  return true;
}

WiringDiagram::WiringDiagram() : Form("Mainfrm24") {
  initAssets();
  setWindowTitle(QStringLiteral("Lorvane接线图"));
  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(4, 4, 4, 4);
  QGroupBox* frame = group("Frame1", "Lorvane V2.0");
  auto* inner = new QHBoxLayout(frame);
  inner->setContentsMargins(4, 4, 4, 4);
  auto* picture = new QSvgWidget(QStringLiteral(":/assets/wiring.svg"), frame);
  picture->setObjectName("Image1");
  // Full size where the display allows it; on a small laptop display it shrinks to fit.
  QSize size(727, 718);
  if (const QScreen* s = QGuiApplication::primaryScreen()) {
    const int room = s->availableGeometry().height() - 80;
    if (room < size.height() && room > 200) size.scale(size.width(), room, Qt::KeepAspectRatio);
  }
  picture->setFixedSize(size);
  inner->addWidget(picture);
  auto* buttons = new QVBoxLayout;
  buttons->addStretch();
  buttons->addWidget(button("BAcmd", "返回", Green));
  buttons->addWidget(button("EXcmd", "退出", Green));
  inner->addLayout(buttons);
  v->addWidget(frame);
}

bool WiringDiagram::load() {
  session().portReopen = true;
  return true;
}

}  // namespace lorvane::shell
