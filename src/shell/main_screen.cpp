#include "shell/main_screen.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QVBoxLayout>
#include <cmath>
#include <limits>

#include "link/frames.h"
#include "link/link.h"
#include "link/registers.h"
#include "ui/session.h"

namespace lorvane::shell {

using namespace lorvane::ui;

namespace {

ScreenDecl exchangeTable() {
  return ScreenDecl{
      .intervalMs = 80,
      .silentLimit = 5,
      .reads = {Read{.reg = reg::ProductionCount, .field = "LCtxt"}},
      .sequences = {Sequence{.button = "lccmd",
                             .steps = {Write{.reg = reg::ProductionCount, .field = "LCtxt", .range = range(0, 65535)}},
                             .onClick = {RestartTimer{}},
                             .onDone = {KeepCycle{}}}},
  };
}

const QStringList kAreaControls = {"Refcmd", "Tstcmd", "Efcmd", "Xkcmd", "lccmd", "LCtxt"};

}  // namespace

MainScreen::MainScreen() : Screen("Mainfrm1", exchangeTable()) {
  auto* top = new QVBoxLayout(this);
  top->addWidget(heading("Label1", "Lorvane"));

  QGroupBox* port = group("Frame2", "串口选择");
  auto* portRow = new QHBoxLayout(port);
  portRow->addWidget(label("Label4", "本站串口号为:"));
  portRow->addWidget(entry("CKtxt", "1"));
  portRow->addWidget(button("Okcmd", "确定", 0xC0C0FF));
  portRow->addWidget(button("EXcmd", "退出", 0xC0FFC0));
  top->addWidget(port);

  QGroupBox* area = group("Frame1");
  auto* grid = new QGridLayout(area);
  grid->addWidget(button("Refcmd", "各 轴 参 数 设 置", Green), 0, 0);
  grid->addWidget(button("Tstcmd", "系 统 功 能 测 试", Green), 0, 1);
  grid->addWidget(button("Xkcmd", "系 统 控 制 界 面", Green), 1, 0);
  grid->addWidget(button("Efcmd", "工 程 参 数 设 定", Green), 1, 1);
  grid->addWidget(button("WZcmd", "五 轴 接 线 图", Yellow), 2, 0, 1, 2);
  auto* countRow = new QHBoxLayout;
  countRow->addWidget(label("Label2", "量产"));
  countRow->addWidget(entry("LCtxt", "0"));
  countRow->addWidget(button("lccmd", "修改", LightYellow));
  grid->addLayout(countRow, 3, 0, 1, 2);
  top->addWidget(area);

  setPortOpen(false);
  bindControls();
  connect(control<QPushButton>("Okcmd"), &QPushButton::clicked, this, &MainScreen::openClicked);
}

void MainScreen::setPortOpen(bool open) {
  for (const QString& name : kAreaControls) control(name)->setEnabled(open);
  if (open) control<CmdButton>("Okcmd")->setColour(Red);
}

bool MainScreen::load() {
  if (!session().portReopen) return true;  // program start: the operator opens the port
  session().portReopen = false;
  // Back from another screen. A port never opened (the wiring diagram visited first) stays
  // closed without a word; one that cannot be opened again is reported and stays closed.
  if (session().portNumber == 0) return true;
  if (openPort(session().portNumber)) {
    setPortOpen(true);
  } else {
    showMessage(this, QStringLiteral("串口%1无法打开，请检查串口后按“确定”").arg(session().portNumber));
  }
  return true;
}

void MainScreen::openClicked() {
  // The leading number of the field, rounded; one that does not fit 16 bits names no port.
  const double n = roundHalfEven(leadingNumber(control<QLineEdit>("CKtxt")->text()));
  const bool fits = n >= std::numeric_limits<std::int16_t>::min() && n <= std::numeric_limits<std::int16_t>::max();
  if (fits) {
    // The device is looked up now, once: every screen opens this one until "确定" is pressed again.
    session().portNumber = static_cast<int>(n);
    session().portDevice = portDeviceName(session().portNumber);
  }
  // Pressed again while open: closed and opened again with the number now typed.
  if (fits && openPort(session().portNumber)) {
    setPortOpen(true);
    return;
  }
  closePort();
  Busy busy(this);
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral(" 串口设定"), QStringLiteral("串口设定出错或您的设备上无串口"),
                  QMessageBox::Ok | QMessageBox::Cancel, this);
  box.setObjectName("portFailure");
  if (box.exec() == QMessageBox::Cancel) showMessage(this, QStringLiteral("请仔细检查您的串口一下"));
  emit endProgram();
}

}  // namespace lorvane::shell
