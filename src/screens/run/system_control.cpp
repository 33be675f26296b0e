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
Texts onOff(const QString& name) { return {{0, name + QStringLiteral(" OFF")}, {1, name + QStringLiteral(" ON")}}; }

const Texts kDrawingModes = {{1, QStringLiteral("xyc轴画圆弧")}, {2, QStringLiteral("xy轴画直线")}, {3, QStringLiteral("多轴普通功能")}};

// ---- The phase table -------------------------------------------------------------------------

ScreenDecl exchangeTable(SystemControl* self) {
  // A running step makes the ticks 10 ms for as long as the screen stays open.
  const auto fasterWhileRunning = [self](std::int64_t v) {
    if (v >= 1 && v <= 50) self->exchange().setInterval(SystemControl::kRunningMs);
  };
  const Range count = range(0, 65535);
  // The message says "1-13" although 0 (no input assigned) is accepted: the text operators know.
  const Range switchInput{0, 13, rangeMessage("1-13")};
  return ScreenDecl{
      .intervalMs = SystemControl::kIdleMs,
      .silentLimit = 5,
      // In the order the controller is polled; start and stop resume at the run status.
      .reads = {
          Read{.reg = reg::CurrentProject, .field = "Dgtxt"},
          Read{.reg = reg::ProductionCount, .field = "Dltxt"},
          Read{.reg = reg::RunStatus, .field = "Djlel", .text = runStatusText, .then = fasterWhileRunning},
          Read{.reg = reg::SignalJA + 0, .field = "Alel", .texts = onOff("JA")},
          Read{.reg = reg::SignalJA + 3, .field = "Dlel", .texts = onOff("JD")},
          Read{.reg = reg::SignalJA + 1, .field = "Blel", .texts = onOff("JB")},
          Read{.reg = reg::SignalJA + 2, .field = "Clel", .texts = onOff("JC")},
          Read{.reg = reg::SignalJA + 4, .field = "Elel", .texts = onOff("JE")},
          Read{.reg = reg::OutputY1 + 0, .field = "Y1lel", .texts = onOff("Y1")},
          Read{.reg = reg::OutputY1 + 1, .field = "Y2lel", .texts = onOff("Y2")},
          Read{.reg = reg::OutputY1 + 2, .field = "Y3lel", .texts = onOff("Y3")},
          Read{.reg = reg::OutputY1 + 3, .field = "Y4lel", .texts = onOff("Y4")},
          Read{.reg = reg::DrawingMode, .field = "XYclel", .texts = kDrawingModes},
          Read{.reg = reg::StartDelay, .field = "Qytxt"},
          Read{.reg = reg::EndDelay, .field = "Jytxt"},
          Read{.reg = reg::Position[reg::X], .count = 2, .field = "Xtxt", .scale = 100},
          Read{.reg = reg::Position[reg::Y], .count = 2, .field = "Ytxt", .scale = 100},
          Read{.reg = reg::Position[reg::Z], .count = 2, .field = "Ztxt", .scale = 100},
          Read{.reg = reg::Position[reg::C], .count = 2, .field = "Ctxt", .scale = 100},
          Read{.reg = reg::Position[reg::A], .count = 2, .field = "Atxt", .scale = 100},
          Read{.reg = reg::StartSwitch, .field = "Qktxt"},
          Read{.reg = reg::StopSwitch, .field = "Tktxt"},
      },
      .sequences = {
          // The production count.
          Sequence{.button = "lc1cmd",
                   .steps = {Write{.reg = reg::ProductionCount, .field = "Dltxt", .range = count}},
                   .clears = ClearLocks::All},
          // Both switch inputs, then the save coil, sent again until answered.
          Sequence{.button = "Qtcmd",
                   .steps = {Write{.reg = reg::StartSwitch, .field = "Qktxt", .range = switchInput},
                             Write{.reg = reg::StopSwitch, .field = "Tktxt", .range = switchInput},
                             Coil{.coil = coil::SaveParameters, .repeat = true}},
                   .clears = ClearLocks::All},
          // Start and stop: the reply restores both buttons and the cycle goes on at the run status.
          Sequence{.button = "Qdcmd",
                   .steps = {Coil{.coil = coil::Start}},
                   .onDone = {Restore{{"Tzcmd"}}, ResumeAt{"Djlel"}}},
          // The stop goes first, repeats until answered, and drops a start still waiting.
          Sequence{.button = "Tzcmd",
                   .steps = {Coil{.coil = coil::Stop}},
                   .kind = Sequence::Kind::Stop,
                   .cancels = {"Qdcmd"},
                   .onDone = {Restore{{"Qdcmd"}}, ResumeAt{"Djlel"}}},
      },
  };
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
