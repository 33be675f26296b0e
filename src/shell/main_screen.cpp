#include "shell/main_screen.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <cmath>
#include <limits>

#include "link/frames.h"
#include "link/link.h"
#include "link/registers.h"
#include "ui/controls.h"
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

// The port first; the working areas two by two, the wiring diagram and the production count
// across the whole width below them.
const Controls kControls = {
    heading("Label1", "Lorvane"),
    group("Frame2", "串口选择", "", 1),
    label("Label4", "本站串口号为:", "Frame2", 0), entry("CKtxt", "1", "Frame2", 0),
    button("Okcmd", "确定", 0xC0C0FF, "Frame2", 0), button("EXcmd", "退出", 0xC0FFC0, "Frame2", 0),
    group("Frame1", "", "", 2),
    spanning(button("Refcmd", "各 轴 参 数 设 置", Green, "Frame1", 0), 2),
    spanning(button("Tstcmd", "系 统 功 能 测 试", Green, "Frame1", 0), 2),
    spanning(button("Xkcmd", "系 统 控 制 界 面", Green, "Frame1", 1), 2),
    spanning(button("Efcmd", "工 程 参 数 设 定", Green, "Frame1", 1), 2),
    button("WZcmd", "五 轴 接 线 图", Yellow, "Frame1", 2),
    label("Label2", "量产", "Frame1", 3), spanning(entry("LCtxt", "0", "Frame1", 3), 2),
    button("lccmd", "修改", LightYellow, "Frame1", 3),
};

}  // namespace

MainScreen::MainScreen() : Screen("Mainfrm1", exchangeTable()) {
  build(*this, kControls);
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
    showMessage(this, QCoreApplication::translate("lorvane", "串口%1无法打开，请检查串口后按“确定”").arg(session().portNumber));
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
