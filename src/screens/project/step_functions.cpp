#include "screens/project/step_functions.h"

#include <QCoreApplication>
#include <QLabel>

#include "frames/registers.h"
#include "frames/step_registers.h"
#include "ui/controls.h"

namespace lorvane::screens {

using namespace lorvane::ui;

namespace {

// ---- Display rules -------------------------------------------------------------------------

const Texts kTeach = {{0, QStringLiteral("关闭示教功能")}, {1, QStringLiteral("开启示教功能")}};
const Texts kArc = {{0, QStringLiteral("关闭XYC轴画圆弧")}, {1, QStringLiteral("开启XYC轴画圆弧")}};
const Texts kLine = {{0, QStringLiteral("关闭XY轴画直线")}, {1, QStringLiteral("开启XY轴画直线")}};
// The axes left to the normal pages; a teach step has none.
const Texts kNormal = {{0, QStringLiteral("只开启ZA轴普通功能")},
                       {1, QStringLiteral("只开启ZCA轴普通功能")},
                       {2, QStringLiteral("开启XYZCA轴普通功能")},
                       {3, QString()}};

// Each entry button, the status label it looks at and the text that means its function is on.
struct Entry {
  const char* button;
  const char* label;
  const char* on;
};
const Entry kEntries[] = {
    {"JScmd", "Label6", "开启示教功能"},
    {"JYcmd", "Label7", "开启XYC轴画圆弧"},
    {"JZcmd", "Label8", "开启XY轴画直线"},
    {"JPcmd", "Label9", "开启XYZCA轴普通功能"},
};

QString stepPending() { return QCoreApplication::translate("lorvane", "步号尚未切换完毕，请稍后再试"); }

// ---- The phase table -------------------------------------------------------------------------

// A step or function command makes the four status labels another step's or out of date: they
// show nothing until read again, so no entry button opens a page on an old reading.
const Blank kStatusBlank{{"Label6", "Label7", "Label8", "Label9"}};

// Another step: its values are read again before anything can write them, every lock clears.
Sequence stepChange(const Name& button, Step step) {
  return Sequence{.button = button,
                  .steps = {step},
                  .clears = ClearLocks::All,
                  .onClick = {kStatusBlank},
                  .onDone = {ForgetBanked{}, kStatusBlank}};
}

Sequence functionChoice(const Name& button, std::uint16_t choice) {
  return Sequence{.button = button, .steps = {Coil{.coil = choice}}, .onClick = {kStatusBlank}, .onDone = {kStatusBlank}};
}

ScreenDecl exchangeTable() {
  Sequence stepNumber = stepChange("SD1cmd", Write{.reg = reg::CurrentStep, .field = "BUtxt", .range = range(1, 50)});
  stepNumber.onClick << SetInterval{StepFunctions::kBusyMs};
  return ScreenDecl{
      .intervalMs = StepFunctions::kIdleMs,
      .silentLimit = 5,
      .reads = {
          Read{.reg = reg::CurrentProject, .field = "GClel"},
          Read{.reg = reg::CurrentStep, .field = "BUtxt"},
          Read{.reg = reg::StepStartDelay, .field = "YStxt"},
          Read{.reg = reg::TeachOrArcSize, .field = "Label6", .texts = kTeach},
          Read{.reg = reg::ArcFlag, .field = "Label7", .texts = kArc},
          Read{.reg = reg::LineFlag, .field = "Label8", .texts = kLine},
          Read{.reg = reg::NormalMode, .field = "Label9", .texts = kNormal},
      },
      .sequences = {
          stepNumber,
          // The delay of the step shown; not while the step is changing, or a delay typed for
          // one step could land in the next.
          Sequence{.button = "SD2cmd",
                   .steps = {Write{.reg = reg::StepStartDelay, .field = "YStxt", .range = reg::rangeOf(reg::StepStartDelay)}},
                   .clears = ClearLocks::All,
                   .onClick = {SetInterval{StepFunctions::kBusyMs}},
                   .guards = {refusedWhile({"SD1cmd", "SBcmd", "XBcmd"}, stepPending())}},
          stepChange("SBcmd", Coil{.coil = coil::PrevStep}),
          stepChange("XBcmd", Coil{.coil = coil::NextStep}),
          functionChoice("SJcmd", coil::ChooseTeach),
          functionChoice("YHcmd", coil::ChooseArc),
          functionChoice("ZXcmd", coil::ChooseLine),
          functionChoice("PTcmd", coil::ChooseNormal),
      },
  };
}

// ---- The controls ----------------------------------------------------------------------------

const QStringList kHelp = {
    "  ",
    "1-在“工程选择界面”点击“进入工",
    "  程”按键进入该界面。",
    "  ",
    "2-点击按键“上步”、“下步”选择",
    "  要设定的步号，也可直接点击数值",
    "  框设定。",
    "  ",
    "3-点击延时数值框可设置该步延时",
    "  启动。",
    "  ",
    "4-点击“示教”、“圆弧”、“直线”",
    "  “普通”可选择该步的功能，然后",
    "  点击右侧相应的按键进入各个功能",
    "  参数设置。",
    "  ",
    "注意：一旦开启一个功能，其它功能",
    "  都是无效的，例如：开启示教功能",
    "  就只能进入示教，点其它功能按钮",
    "  无效",
    "  ",
};

// A function's status: blue text, as wide as the longest.
Control status(const char* name, int line) {
  return roomFor(label(name, "", "Frame3", line, Blue), QStringLiteral("开启XYZCA轴普通功能"));
}

Controls controls() {
  Controls c = {
      heading("Label10", "设定工程每步功能", "", 0),
      // The step being edited, and its start delay.
      group("Frame4", "", "", 1),
      label("GClel", "00", "Frame4", 0, Blue), label("Label2", "号工程第", "Frame4", 0),
      entry("BUtxt", "0", "Frame4", 0), label("Label3", "步", "Frame4", 0),
      button("SD1cmd", "设定生效", Green, "Frame4", 0),
      button("SBcmd", "上步", Yellow, "Frame4", 1), button("XBcmd", "下步", Yellow, "Frame4", 1),
      label("Label4", "设定延时", "Frame4", 2), entry("YStxt", "0", "Frame4", 2), label("Label1", "ms", "Frame4", 2),
      label("Label5", "后启动本步", "Frame4", 2), button("SD2cmd", "设定生效", Green, "Frame4", 2),
      // The function: choose it on the left, its status in the middle, its page on the right.
      group("Frame1", "选择该步功能", "", 2),
      // The status labels stand beside the four lines of buttons.
      button("SJcmd", "示 教", Yellow, "Frame1", 0), overLines(group("Frame3", "", "Frame1", 0, Black, Orange), 4),
      button("JScmd", "进入示教", Yellow, "Frame1", 0),
      button("YHcmd", "圆 弧", Yellow, "Frame1", 1), button("JYcmd", "进入圆弧", Yellow, "Frame1", 1),
      button("ZXcmd", "直 线", Yellow, "Frame1", 2), button("JZcmd", "进入直线", Yellow, "Frame1", 2),
      button("PTcmd", "普 通", Yellow, "Frame1", 3), button("JPcmd", "进入普通", Yellow, "Frame1", 3),
      status("Label6", 0), status("Label7", 1), status("Label8", 2), status("Label9", 3),
      // The way back.
      group("Frame2", "", "", 3),
      button("SY6cmd", "上一页", SystemButton, "Frame2", 0), button("BC5cmd", "返回主页", SystemButton, "Frame2", 0),
  };
  // The help beside the three groups.
  return c + instructions("Frame5", kHelp, "", 1, 3);
}

}  // namespace

StepFunctions::StepFunctions() : Screen("Mainfrm13", exchangeTable()) {
  build(*this, controls());
  bindControls();
}

bool StepFunctions::mayEnter(const QString& button) {
  for (const Entry& e : kEntries) {
    if (button != QLatin1String(e.button)) continue;
    control<CmdButton>(button)->setPending(true);
    // While a step or function command is on its way, a label may still show the answer to a
    // read sent before it.
    for (const char* command : {"SD1cmd", "SBcmd", "XBcmd", "SJcmd", "YHcmd", "ZXcmd", "PTcmd"})
      if (exchange().waits(command)) return false;
    // Read since the last step or function command, and on.
    return exchange().lastRead(e.label).has_value() && control<QLabel>(e.label)->text() == QString::fromUtf8(e.on);
  }
  return false;
}

}  // namespace lorvane::screens
