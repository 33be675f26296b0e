#include "screens/run/system_control.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "link/registers.h"

namespace lorvane::screens {

using namespace lorvane::ui;

namespace {

// ---- Display rules -------------------------------------------------------------------------

// 0 standby, 1..50 the running step as two digits, anything else nothing.
QString runStatusText(std::int64_t v) {
  if (v == 0) return QStringLiteral("待机状态");
  if (v >= 1 && v <= 50) return QStringLiteral("第%1步").arg(v, 2, 10, QLatin1Char('0'));
  return {};
}

// A signal or output label: 0 its "OFF" text, 1 its "ON" text, anything else nothing.
std::function<QString(std::int64_t)> onOff(const QString& name) {
  return [name](std::int64_t v) {
    if (v == 0) return name + QStringLiteral(" OFF");
    if (v == 1) return name + QStringLiteral(" ON");
    return QString();
  };
}

QString drawingModeText(std::int64_t v) {
  switch (v) {
    case 1: return QStringLiteral("xyc轴画圆弧");
    case 2: return QStringLiteral("xy轴画直线");
    case 3: return QStringLiteral("多轴普通功能");
    default: return {};
  }
}

// ---- The phase table -------------------------------------------------------------------------

// Reads 0..21 in the order the controller is polled; the run status is read 2, where start and
// stop resume.
constexpr int kRunStatusRead = 2;

ScreenDecl exchangeTable(SystemControl* self) {
  ScreenDecl d;
  d.intervalMs = SystemControl::kIdleMs;
  d.silentLimit = 5;
  // A running step makes the ticks 10 ms for as long as the screen stays open.
  const auto fasterWhileRunning = [self](std::int64_t v) {
    if (v >= 1 && v <= 50) self->exchange().setInterval(SystemControl::kRunningMs);
  };
  d.reads = {
      // phase, register,                     field,   scaling / display
      /*  0 */ Read{reg::CurrentProject, 1, "Dgtxt"},
      /*  1 */ Read{reg::ProductionCount, 1, "Dltxt"},
      /*  2 */ Read{reg::RunStatus, 1, "Djlel", 1, runStatusText, fasterWhileRunning},
      /*  3 */ Read{reg::SignalJA + 0, 1, "Alel", 1, onOff("JA")},
      /*  4 */ Read{reg::SignalJA + 3, 1, "Dlel", 1, onOff("JD")},
      /*  5 */ Read{reg::SignalJA + 1, 1, "Blel", 1, onOff("JB")},
      /*  6 */ Read{reg::SignalJA + 2, 1, "Clel", 1, onOff("JC")},
      /*  7 */ Read{reg::SignalJA + 4, 1, "Elel", 1, onOff("JE")},
      /*  8 */ Read{reg::OutputY1 + 0, 1, "Y1lel", 1, onOff("Y1")},
      /*  9 */ Read{reg::OutputY1 + 1, 1, "Y2lel", 1, onOff("Y2")},
      /* 10 */ Read{reg::OutputY1 + 2, 1, "Y3lel", 1, onOff("Y3")},
      /* 11 */ Read{reg::OutputY1 + 3, 1, "Y4lel", 1, onOff("Y4")},
      /* 12 */ Read{reg::DrawingMode, 1, "XYclel", 1, drawingModeText},
      /* 13 */ Read{reg::StartDelay, 1, "Qytxt"},
      /* 14 */ Read{reg::EndDelay, 1, "Jytxt"},
      /* 15 */ Read{reg::Position[reg::X], 2, "Xtxt", 100},
      /* 16 */ Read{reg::Position[reg::Y], 2, "Ytxt", 100},
      /* 17 */ Read{reg::Position[reg::Z], 2, "Ztxt", 100},
      /* 18 */ Read{reg::Position[reg::C], 2, "Ctxt", 100},
      /* 19 */ Read{reg::Position[reg::A], 2, "Atxt", 100},
      /* 20 */ Read{reg::StartSwitch, 1, "Qktxt"},
      /* 21 */ Read{reg::StopSwitch, 1, "Tktxt"},
  };

  const Range count{0, 65535, rangeMessage("0-65535")};
  // The message says "1-13" although 0 (no input assigned) is accepted: the text operators know.
  const Range switchInput{0, 13, rangeMessage("1-13")};

  // phase 22: the production count
  Sequence lc1{"lc1cmd", {RegisterWrite{reg::ProductionCount, "Dltxt", 1, 1, count}}, ClearLocks::All};
  lc1.resumeAt = 0;
  // phases 23, 24, 25: both switch inputs, then the save coil, sent again until answered
  Sequence save{"Qtcmd",
                {RegisterWrite{reg::StartSwitch, "Qktxt", 1, 1, switchInput},
                 RegisterWrite{reg::StopSwitch, "Tktxt", 1, 1, switchInput},
                 CoilWrite{coil::SaveParameters, true, true}},
                ClearLocks::All};
  save.resumeAt = 0;
  // phases 26, 27 -> 28: start and stop; the reply restores both buttons and the cycle goes on
  // at the run status
  Sequence start{"Qdcmd", {CoilWrite{coil::Start}}};
  start.alsoRestores = {"Tzcmd"};
  start.resumeAt = kRunStatusRead;
  Sequence stop{"Tzcmd", {CoilWrite{coil::Stop}}};
  stop.stop = true;  // goes first, repeats until answered, and drops a start still waiting
  stop.cancels = {"Qdcmd"};
  stop.alsoRestores = {"Qdcmd"};
  stop.resumeAt = kRunStatusRead;
  d.sequences = {lc1, save, start, stop};
  return d;
}

}  // namespace

// ---- The controls ----------------------------------------------------------------------------

SystemControl::SystemControl() : Screen("Mainfrm2", exchangeTable(this)) {
  auto* top = new QVBoxLayout(this);
  top->addWidget(heading("Label1", "系统控制界面"));

  // Run state.
  QGroupBox* frame2 = group("Frame2");
  auto* run = new QVBoxLayout(frame2);
  QGroupBox* frame4 = group("Frame4", "注意:当你没有设定工程的每步功能时，按启动按钮时，当前工作会显示的的比较快",
                            Magenta, Yellow);
  frame4->setMinimumSize(frame4->fontMetrics().horizontalAdvance(frame4->title()) + 40,
                         frame4->fontMetrics().height() + 16);
  run->addWidget(frame4);
  auto* status = new QHBoxLayout;
  status->addWidget(label("Label4", "当前工作在"));
  QLabel* step = label("Djlel", "待机状态", Red);
  QFont big = step->font();
  big.setPointSizeF(big.pointSizeF() * 1.3);
  big.setBold(true);
  step->setFont(big);
  step->setMinimumWidth(step->fontMetrics().horizontalAdvance(QStringLiteral("待机状态")) + 16);
  status->addWidget(step);
  status->addSpacing(24);
  status->addWidget(label("XYclel", "", Blue), 1);
  run->addLayout(status);
  auto* lights = new QGridLayout;
  const char* const signalLabels[][2] = {{"Alel", "JA OFF"}, {"Blel", "JB OFF"}, {"Clel", "JC OFF"},
                                         {"Dlel", "JD OFF"}, {"Elel", "JE OFF"}};
  for (int i = 0; i < 5; ++i) lights->addWidget(label(signalLabels[i][0], signalLabels[i][1], Magenta), 0, i);
  const char* const outputLabels[][2] = {{"Y1lel", "Y1 OFF"}, {"Y2lel", "Y2 OFF"}, {"Y3lel", "Y3 OFF"},
                                         {"Y4lel", "Y4 OFF"}};
  for (int i = 0; i < 4; ++i) lights->addWidget(label(outputLabels[i][0], outputLabels[i][1], Magenta), 1, i);
  run->addLayout(lights);
  top->addWidget(frame2);

  auto* middle = new QHBoxLayout;
  // Project and production.
  QGroupBox* frame1 = group("Frame1");
  auto* production = new QGridLayout(frame1);
  production->addWidget(label("Label2", "当前工程"), 0, 0);
  production->addWidget(display("Dgtxt", "0"), 0, 1);
  production->addWidget(label("Label3", "当前产量"), 1, 0);
  production->addWidget(entry("Dltxt", "0"), 1, 1);
  production->addWidget(button("lc1cmd", "修改", LightYellow), 1, 2);
  middle->addWidget(frame1);
  // Delays.
  QGroupBox* frame3 = group("Frame3");
  auto* delays = new QGridLayout(frame3);
  delays->addWidget(label("Label6", "启动延时"), 0, 0);
  delays->addWidget(display("Qytxt", "0"), 0, 1);
  delays->addWidget(label("Label7", "ms"), 0, 2);
  delays->addWidget(label("Label8", "结束延时"), 1, 0);
  delays->addWidget(display("Jytxt", "0"), 1, 1);
  delays->addWidget(label("Label9", "ms"), 1, 2);
  middle->addWidget(frame3);
  top->addLayout(middle);

  // Axis positions, each with its letter before and "mm" after.
  QGroupBox* frame5 = group("Frame5");
  auto* positions = new QHBoxLayout(frame5);
  const char* const axes[][2] = {{"X", "Xtxt"}, {"Y", "Ytxt"}, {"Z", "Ztxt"}, {"C", "Ctxt"}, {"A", "Atxt"}};
  for (int i = 0; i < 5; ++i) {
    positions->addWidget(label(QStringLiteral("Label%1").arg(10 + i), axes[i][0]));
    positions->addWidget(display(axes[i][1], "0"), 1);
    positions->addWidget(label(QStringLiteral("Label%1").arg(15 + i), "mm"));
    if (i < 4) positions->addSpacing(12);
  }
  top->addWidget(frame5);

  // Start and stop switch inputs.
  QGroupBox* frame6 = group("Frame6", "信号值在0到13之间，对应外部输入点1-13，0表示不设定");
  auto* switches = new QHBoxLayout(frame6);
  switches->addWidget(label("Label30", "启动开关信号口:L"));
  switches->addWidget(entry("Qktxt", "0"));
  switches->addSpacing(12);
  switches->addWidget(label("Label31", "停止开关信号口:L"));
  switches->addWidget(entry("Tktxt", "0"));
  switches->addStretch();
  switches->addWidget(button("Qtcmd", "参数保存", 0x0080FF));
  top->addWidget(frame6);

  auto* commands = new QHBoxLayout;
  for (CmdButton* b : {button("Qdcmd", "启动", 0x8080FF), button("Tzcmd", "停止", 0x8080FF)}) {
    b->setMinimumSize(120, 40);
    commands->addWidget(b);
  }
  commands->addStretch();
  commands->addWidget(button("Bacmd", "返回主界面", Green));
  top->addLayout(commands);

  bindControls();
}

}  // namespace lorvane::screens
