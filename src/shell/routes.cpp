#include <QMetaObject>

#include "screens/axes/axis_debug.h"
#include "screens/axes/axis_parameters.h"
#include "screens/axes/io_tests.h"
#include "screens/axes/manual_jog.h"
#include "screens/project/project_parameters.h"
#include "screens/project/step_functions.h"
#include "screens/project/arc_step.h"
#include "screens/project/axis_steps.h"
#include "screens/project/line_step.h"
#include "screens/project/teach_step.h"
#include "screens/project/outputs_step.h"
#include "screens/project/timing_step.h"
#include "shell/main_screen.h"
#include "shell/menus.h"
#include "screens/run/system_control.h"
#include "shell/screen_map.h"
#include "ui/session.h"

namespace lorvane::shell {

namespace {

// The axis menu names the axis through the axis screen's title, after that screen is shown.
std::function<void(ui::Form*)> title(const char* text) {
  return [text](ui::Form* f) { QMetaObject::invokeMethod(f, "setTitle", Q_ARG(QString, QString::fromUtf8(text))); };
}

// An entry button of the step hub turns red, then leads on only when its function reads as on.
std::function<bool(ui::Form*)> functionOn(const char* button) {
  return [button](ui::Form* f) {
    auto* hub = qobject_cast<screens::StepFunctions*>(f);
    return hub && hub->mayEnter(QString::fromUtf8(button));
  };
}

// The step page chain entered (1 arc, 2 line, 3 normal), noted once the page is shown: the back
// buttons of the C and Z/A pages follow it.
std::function<void(ui::Form*)> entered(int chain) {
  return [chain](ui::Form*) { ui::session().entryFunction = chain; };
}

}  // namespace

void addStepPages(ScreenMap& map);
void addTeachPage(ScreenMap& map);
void addStepEndPages(ScreenMap& map);

void addStandardScreens(ScreenMap& map) {
  map.addScreen("Mainfrm1", [] { return new MainScreen; });
  map.addScreen("Mainfrm3", [] { return new AxisMenu; });
  map.addScreen("Mainfrm4", [] { return new TestMenu; });
  map.addScreen("Mainfrm24", [] { return new WiringDiagram; });
  map.addScreen("Mainfrm2", [] { return new screens::SystemControl; });
  map.addScreen("Mainfrm5", [] { return new screens::AxisParameters; });
  map.addScreen("Mainfrm6", [] { return new screens::AxisDebug(screens::DebugPage::XY); });
  map.addScreen("Mainfrm7", [] { return new screens::AxisDebug(screens::DebugPage::ZC); });
  map.addScreen("mainfrm8", [] { return new screens::AxisDebug(screens::DebugPage::A); });
  map.addScreen("Mainfrm9", [] { return new screens::InputTest; });
  map.addScreen("Mainfrm10", [] { return new screens::OutputTest; });
  map.addScreen("Mainfrm11", [] { return new screens::ManualJog; });
  map.addScreen("Mainfrm12", [] { return new screens::ProjectParameters; });
  map.addScreen("Mainfrm13", [] { return new screens::StepFunctions; });

  // from, button, to, port closed first
  const Route routes[] = {
      {"Mainfrm1", "Refcmd", "Mainfrm3"},
      {"Mainfrm1", "Tstcmd", "Mainfrm4"},
      {"Mainfrm1", "Xkcmd", "Mainfrm2"},
      {"Mainfrm1", "Efcmd", "Mainfrm12"},
      {"Mainfrm1", "WZcmd", "Mainfrm24", false},
      {"Mainfrm2", "Bacmd", "Mainfrm1"},
      {"Mainfrm3", "Xcmd", "Mainfrm5", false, true, title("X轴参数设定")},
      {"Mainfrm3", "Ycmd", "Mainfrm5", false, true, title("Y轴参数设定")},
      {"Mainfrm3", "Zcmd", "Mainfrm5", false, true, title("Z轴参数设定")},
      {"Mainfrm3", "Ccmd", "Mainfrm5", false, true, title("C轴参数设定")},
      {"Mainfrm3", "Acmd", "Mainfrm5", false, true, title("A轴参数设定")},
      {"Mainfrm3", "BAcmd", "Mainfrm1", false},
      {"Mainfrm4", "Xcmd", "Mainfrm6", false},
      {"Mainfrm4", "Ycmd", "Mainfrm7", false},
      {"Mainfrm4", "Acmd", "mainfrm8", false},
      {"Mainfrm4", "Sdcmd", "Mainfrm11", false},
      {"Mainfrm4", "inputcmd", "Mainfrm9", false},
      {"Mainfrm4", "outputcmd", "Mainfrm10", false},
      {"Mainfrm4", "BAcmd", "Mainfrm1", false},
      {"Mainfrm5", "EXtxt", "Mainfrm3", false},
      {"Mainfrm6", "BCcmd", "Mainfrm4"},
      {"Mainfrm6", "SY3cmd", "Mainfrm5"},
      {"Mainfrm6", "XY1cmd", "Mainfrm7"},
      {"Mainfrm7", "BC1cmd", "Mainfrm4"},
      {"Mainfrm7", "SY4cmd", "Mainfrm6"},
      {"Mainfrm7", "XY2cmd", "mainfrm8"},
      {"mainfrm8", "BC2cmd", "Mainfrm4"},
      {"mainfrm8", "SY5cmd", "Mainfrm7"},
      {"mainfrm8", "XY3cmd", "Mainfrm11"},
      {"Mainfrm9", "BAcmd", "Mainfrm4"},
      {"Mainfrm10", "BAcmd", "Mainfrm4"},
      {"Mainfrm11", "BA3cmd", "Mainfrm4"},
      {"Mainfrm11", "SY5cmd", "mainfrm8"},
      {"Mainfrm12", "SYcmd", "Mainfrm1"},
      {"Mainfrm12", "XYcmd", "Mainfrm13"},
      {"Mainfrm13", "SY6cmd", "Mainfrm12"},
      {"Mainfrm13", "BC5cmd", "Mainfrm1"},
      {.from = "Mainfrm13", .button = "JScmd", .to = "Mainfrm16", .guard = functionOn("JScmd")},
      {.from = "Mainfrm13", .button = "JYcmd", .to = "Mainfrm14", .afterShow = entered(1), .guard = functionOn("JYcmd")},
      {.from = "Mainfrm13", .button = "JZcmd", .to = "Mainfrm15", .afterShow = entered(2), .guard = functionOn("JZcmd")},
      {.from = "Mainfrm13", .button = "JPcmd", .to = "Mainfrm17", .afterShow = entered(3), .guard = functionOn("JPcmd")},
      {"Mainfrm24", "BAcmd", "Mainfrm1", false, false},
      {"Mainfrm24", "EXcmd", "Mainfrm1", false, true},
  };
  for (const Route& r : routes) map.addRoute(r);
  addStepPages(map);
  addTeachPage(map);
  addStepEndPages(map);
}

// The step pages of the arc, line and normal chains. The C and Z/A pages are shared by the
// chains, so their previous page is the one of the chain entered (ui::session().entryFunction:
// 1 arc, 2 line, 3 normal); in any other case the button leads nowhere.
void addStepPages(ScreenMap& map) {
  map.addScreen("Mainfrm14", [] { return new screens::ArcStep; });
  map.addScreen("Mainfrm15", [] { return new screens::LineStep; });
  map.addScreen("Mainfrm17", [] { return new screens::AxisStep(screens::AxisPage::X); });
  map.addScreen("Mainfrm18", [] { return new screens::AxisStep(screens::AxisPage::Y); });
  map.addScreen("Mainfrm19", [] { return new screens::AxisStep(screens::AxisPage::C); });
  map.addScreen("Mainfrm20", [] { return new screens::AxisStep(screens::AxisPage::ZA); });

  const auto beforeC = [] {
    switch (ui::session().entryFunction) {
      case 2: return QStringLiteral("Mainfrm15");
      case 3: return QStringLiteral("Mainfrm18");
      default: return QString();
    }
  };
  const auto beforeZA = [] {
    switch (ui::session().entryFunction) {
      case 1: return QStringLiteral("Mainfrm14");
      case 2:
      case 3: return QStringLiteral("Mainfrm19");
      default: return QString();
    }
  };
  const Route routes[] = {
      {"Mainfrm14", "SY15cmd", "Mainfrm13"},
      {"Mainfrm14", "FZcmd", "Mainfrm20"},
      {"Mainfrm15", "SY16cmd", "Mainfrm13"},
      {"Mainfrm15", "FZcmd", "Mainfrm19"},
      {"Mainfrm17", "SY17cmd", "Mainfrm13"},
      {"Mainfrm17", "XY17cmd", "Mainfrm18"},
      {"Mainfrm18", "SY18cmd", "Mainfrm17"},
      {"Mainfrm18", "XY18cmd", "Mainfrm19"},
      {.from = "Mainfrm19", .button = "SY19cmd", .target = beforeC},
      {"Mainfrm19", "XY19cmd", "Mainfrm20"},
      {.from = "Mainfrm20", .button = "SY20cmd", .target = beforeZA},
      {"Mainfrm20", "XY20cmd", "Mainfrm21"},
  };
  for (const Route& r : routes) map.addRoute(r);
}

// The pages every step chain ends with, after the Z/A page: direct outputs, input-conditioned
// outputs, then timing, loop and chaining, which leads back to the step hub.
void addStepEndPages(ScreenMap& map) {
  map.addScreen("Mainfrm21", [] { return new screens::DirectOutputStep; });
  map.addScreen("Mainfrm22", [] { return new screens::ConditionedOutputStep; });
  map.addScreen("Mainfrm23", [] { return new screens::TimingStep; });

  const Route routes[] = {
      {"Mainfrm21", "SYcmd", "Mainfrm20"},
      {"Mainfrm21", "XYcmd", "Mainfrm22"},
      {"Mainfrm22", "SYcmd", "Mainfrm21"},
      {"Mainfrm22", "XYcmd", "Mainfrm23"},
      {"Mainfrm23", "SYcmd", "Mainfrm22"},
      {"Mainfrm23", "BCcmd", "Mainfrm13"},
  };
  for (const Route& r : routes) map.addRoute(r);
}

// The teach step page, entered from the step hub while the step's teach function is on.
void addTeachPage(ScreenMap& map) {
  map.addScreen("Mainfrm16", [] { return new screens::TeachStep; });
  const Route routes[] = {
      {"Mainfrm16", "SY10cmd", "Mainfrm13"},
      {"Mainfrm16", "FZ3cmd", "Mainfrm1"},
      {"Mainfrm16", "FG3cmd", "Mainfrm13"},
  };
  for (const Route& r : routes) map.addRoute(r);
}

}  // namespace lorvane::shell
