#include "screens/run/system_control.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>

#include "link/exchange.h"
#include "frames/registers.h"
#include "screens/project/path_window.h"
#include "ui/controls.h"

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

ScreenDecl exchangeTable() {
  // A running step makes the ticks 10 ms for as long as the screen stays open.
  const auto fasterWhileRunning = [](std::int64_t v) -> std::optional<int> {
    if (v >= 1 && v <= 50) return SystemControl::kRunningMs;
    return std::nullopt;
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
          Read{.reg = reg::RunStatus, .field = "Djlel", .text = runStatusText, .interval = fasterWhileRunning},
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

// ---- The controls ----------------------------------------------------------------------------

const QString kNote = QStringLiteral("注意:当你没有设定工程的每步功能时，按启动按钮时，当前工作会显示的的比较快");

const Controls kControls = {
    heading("Label1", "系统控制界面"),
    // Run state: what the controller is doing, its signal inputs and outputs.
    group("Frame2", "", "", 1),
    group("Frame4", kNote, "Frame2", 0, Magenta, Yellow),
    label("Label4", "当前工作在", "Frame2", 1), roomFor(bold(label("Djlel", "待机状态", "Frame2", 1, Red), 1.3), "待机状态"),
    spanning(label("XYclel", "", "Frame2", 1, Blue), 3),
    label("Alel", "JA OFF", "Frame2", 2, Magenta), label("Blel", "JB OFF", "Frame2", 2, Magenta),
    label("Clel", "JC OFF", "Frame2", 2, Magenta), label("Dlel", "JD OFF", "Frame2", 2, Magenta),
    label("Elel", "JE OFF", "Frame2", 2, Magenta),
    label("Y1lel", "Y1 OFF", "Frame2", 3, Magenta), label("Y2lel", "Y2 OFF", "Frame2", 3, Magenta),
    label("Y3lel", "Y3 OFF", "Frame2", 3, Magenta), label("Y4lel", "Y4 OFF", "Frame2", 3, Magenta),
    // Project and production, and the delays beside them.
    spanning(group("Frame1", "", "", 2), 2),
    label("Label2", "当前工程", "Frame1", 0), display("Dgtxt", "0", "Frame1", 0),
    label("Label3", "当前产量", "Frame1", 1), entry("Dltxt", "0", "Frame1", 1),
    button("lc1cmd", "修改", LightYellow, "Frame1", 1),
    spanning(group("Frame3", "", "", 2), 2),
    label("Label6", "启动延时", "Frame3", 0), display("Qytxt", "0", "Frame3", 0), label("Label7", "ms", "Frame3", 0),
    label("Label8", "结束延时", "Frame3", 1), display("Jytxt", "0", "Frame3", 1), label("Label9", "ms", "Frame3", 1),
    // Axis positions, each with its letter before and "mm" after, a little room between axes.
    group("Frame5", "", "", 3),
    label("Label10", "X", "Frame5", 0), display("Xtxt", "0", "Frame5", 0), label("Label15", "mm", "Frame5", 0),
    stretch("Frame5"),
    label("Label11", "Y", "Frame5", 0), display("Ytxt", "0", "Frame5", 0), label("Label16", "mm", "Frame5", 0),
    stretch("Frame5"),
    label("Label12", "Z", "Frame5", 0), display("Ztxt", "0", "Frame5", 0), label("Label17", "mm", "Frame5", 0),
    stretch("Frame5"),
    label("Label13", "C", "Frame5", 0), display("Ctxt", "0", "Frame5", 0), label("Label18", "mm", "Frame5", 0),
    stretch("Frame5"),
    label("Label14", "A", "Frame5", 0), display("Atxt", "0", "Frame5", 0), label("Label19", "mm", "Frame5", 0),
    // Start and stop switch inputs.
    group("Frame6", "信号值在0到13之间，对应外部输入点1-13，0表示不设定", "", 4),
    label("Label30", "启动开关信号口:L", "Frame6", 0), entry("Qktxt", "0", "Frame6", 0),
    stretch("Frame6"),
    label("Label31", "停止开关信号口:L", "Frame6", 0), entry("Tktxt", "0", "Frame6", 0),
    stretch("Frame6"), button("Qtcmd", "参数保存", Orange, "Frame6", 0),
    atLeast(button("Qdcmd", "启动", Salmon, "", 5), {120, 40}), atLeast(button("Tzcmd", "停止", Salmon, "", 5), {120, 40}),
    button("LJcmd", "路径预览", SystemButton, "", 5), stretch("", 5), button("Bacmd", "返回主界面", Green, "", 5),
};

}  // namespace

SystemControl::SystemControl() : Screen("Mainfrm2", exchangeTable()) {
  build(*this, kControls);
  // The note is a caption alone: room for it.
  auto* note = control<QGroupBox>("Frame4");
  note->setMinimumSize(note->fontMetrics().horizontalAdvance(kNote) + 40, note->fontMetrics().height() + 16);
  bindControls();
  connect(control<QPushButton>("LJcmd"), &QPushButton::clicked, this, &SystemControl::openPath);
}

PathWindow* SystemControl::pathWindow() const { return path_; }

// The positions as the read cycle shows them, in hundredths of a mm.
runner::Point SystemControl::shownPosition() const {
  runner::Point at{};
  const char* const fields[] = {"Xtxt", "Ytxt", "Ztxt", "Ctxt", "Atxt"};
  for (size_t a = 0; a < at.size(); ++a) at[a] = std::round(control<QLineEdit>(fields[a])->text().toDouble() * 100);
  return at;
}

// The path window of the current project, drawn from where the axes stand now. Each pass of the
// read cycle adds the positions it showed to the trail, once the last of them (A) is shown:
// X to A are read one after the other, so the five belong together. Nothing is read for the
// trail. The project itself is the one read in this run of the program (on the project screen,
// say); if it was not, it is read now, which the window refuses while a project runs.
void SystemControl::openPath() {
  if (path_) return path_->raise();
  const int project = control<QLineEdit>("Dgtxt")->text().toInt();
  path_ = new PathWindow(this, project, &exchange());
  path_->setStart(shownPosition());
  connect(&exchange(), &Exchange::fieldShown, path_, [this](const Name& field) {
    if (field == QLatin1String("Atxt")) path_->addTrailPoint(shownPosition());
  });
  path_->show();
  if (!PathWindow::wasRead(project)) path_->readFromController();
}

}  // namespace lorvane::screens
