#include "screens/project/teach_step.h"

#include <QCoreApplication>

#include "frames/registers.h"
#include "ui/controls.h"

namespace lorvane::screens {

using namespace lorvane::ui;

QString teachStepPending() { return QCoreApplication::translate("lorvane", "步号尚未切换完毕，请稍后再试"); }

namespace {

// ---- The four axis rows, top to bottom ---------------------------------------------------------

struct Row {
  QChar letter;
  const char* toggle;
  const char* status;
  const char* speedLabel;
  const char* speed;
  const char* pulses;
  const char* forward;
  const char* reverse;
};

const Row kRows[] = {
    {'X', "KGcmd", "XZ2lel", "Label8", "SUtxt", "DUtxt", "ZHcmd", "FAcmd"},
    {'Y', "KG1cmd", "YZ2lel", "Label9", "SU1txt", "DU1txt", "ZH1cmd", "FA1cmd"},
    {'Z', "KG2cmd", "ZZ2lel", "Label10", "SU2txt", "DU2txt", "ZH2cmd", "FA2cmd"},
    {'C', "KG3cmd", "CZ2lel", "Label11", "SU3txt", "DU3txt", "ZH3cmd", "FA3cmd"},
};

Texts statusTexts(QChar axis) {
  return {{0, axis + QStringLiteral("轴开启示教功能,关闭普通")}, {1, axis + QStringLiteral("轴开启普通功能")}};
}

// The values a store, a speed match or a toggle changes in the controller, and the ones another
// step gives other values.
QList<Name> speedsAndPulses() {
  QList<Name> names;
  for (const Row& r : kRows) names << r.speed;
  for (const Row& r : kRows) names << r.pulses;
  return names;
}
QList<Name> stepValues() {
  QList<Name> names = speedsAndPulses();
  for (const Row& r : kRows) names << r.status;
  return names;
}

// ---- The phase table ---------------------------------------------------------------------------

// A command after which the controller holds other speeds or pulse counts: they show nothing and
// count as unread from the click until read again, so no download can write back what was shown
// before it. `repeat`: sent again at every tick until answered (only for a command that does the
// same when it arrives twice).
Sequence changesValues(const Name& button, std::uint16_t coil, bool repeat = false) {
  const Blank blank{speedsAndPulses()};
  return Sequence{.button = button, .steps = {Coil{.coil = coil, .repeat = repeat}}, .onClick = {blank}, .onDone = {blank}};
}

// Another step: everything of the step is read again before anything can write it, every lock
// clears.
Sequence stepChange(const Name& button, Step step) {
  const Blank blank{stepValues()};
  return Sequence{.button = button, .steps = {step}, .clears = ClearLocks::All, .onClick = {ForgetBanked{}, blank},
                  .onDone = {ForgetBanked{}, blank}};
}

ScreenDecl exchangeTable() {
  ScreenDecl d{.intervalMs = TeachStep::kIntervalMs, .silentLimit = 5};
  d.reads << Read{.reg = reg::CurrentProject, .field = "GC1lel"} << Read{.reg = reg::CurrentStep, .field = "BU6txt"};
  for (int i = 0; i < 4; ++i)
    d.reads << Read{.reg = reg::TeachAxisMode[i], .field = kRows[i].status, .texts = statusTexts(kRows[i].letter)};
  for (int i = 0; i < 4; ++i) d.reads << Read{.reg = reg::TeachSpeed[i], .field = kRows[i].speed};
  for (int i = 0; i < 4; ++i) d.reads << Read{.reg = reg::TeachPulses[i], .count = 2, .field = kRows[i].pulses};
  d.reads << Read{.reg = reg::CurrentStep, .field = "BU5txt"};

  Sequence stepNumber = stepChange("XZcmd", Write{.reg = reg::CurrentStep, .field = "BU6txt", .range = range(1, 50)});
  stepNumber.onClick << SetInterval{TeachStep::kStepIntervalMs};
  // Four speeds, then four pulse counts (signed, in pulses, two registers each).
  Sequence download{.button = "XZ1cmd", .clears = ClearLocks::All,
                    .guards = {refusedWhile({"XZcmd", "SB2cmd", "XB2cmd"}, teachStepPending())}};
  for (int i = 0; i < 4; ++i) download.steps << Write{.reg = reg::TeachSpeed[i], .field = kRows[i].speed};
  for (int i = 0; i < 4; ++i) download.steps << Write{.reg = reg::TeachPulses[i], .field = kRows[i].pulses, .count = 2};

  d.sequences << stepNumber << download << stepChange("SB2cmd", Coil{.coil = coil::PrevStep})
              << stepChange("XB2cmd", Coil{.coil = coil::NextStep});
  for (int i = 0; i < 4; ++i) d.sequences << changesValues(kRows[i].toggle, coil::TeachToggle[i]);
  // Both wait behind every jog OFF (OFFs go first and stay until echoed): the point stored is
  // where the axis stopped. Storing again where the axis stands changes nothing, so the store is
  // repeated until answered; a second speed match would change the speeds again, and a second
  // toggle undo the first, so those go once (a lost one leaves its button red).
  d.sequences << changesValues("SUcmd", coil::TeachStore, true) << changesValues("ZDcmd", coil::TeachMatchSpeeds);
  for (int i = 0; i < 4; ++i)
    d.momentaries << Momentary{kRows[i].forward, coil::TeachForward[i]} << Momentary{kRows[i].reverse, coil::TeachReverse[i]};
  return d;
}

// ---- The controls ------------------------------------------------------------------------------

const QStringList kHelp = {
    "  ",
    "1-在“工程首页”点击“进入示教”",
    "  进入该界面。",
    "  ",
    "2-与“工程首页”一样可选择步号。",
    "  ",
    "3-在白色文本框提示该步那些轴开",
    "  通了示教功能或普通功能，在左侧",
    "  的“开/关”按键可改变该文本框",
    "  的显示内容。",
    "  ",
    "4-左侧的“开/关”按键从上到下分",
    "  别对应X、Y、Z、C轴，是各个轴的",
    "  示教功能开启关闭设置按键。",
    "  ",
    "5-速度数值可直接点击设置。但是每",
    "  次设置完成后，一定要点击下载数",
    "  据这个按钮，数据才能设定成功。",
    "  ",
    "6-速度数值后面的数值为各个轴运行",
    "  的脉冲数，可直接点击设置，但是",
    "  每次设置完成后一定要点击下载数",
    "  据这个按钮，数据才能设定成功",
    "  也可按后面的“正”“反”进行手",
    "  动设置。",
    "  ",
    "7-在示教速度不为0的情况下，按",
    "  “正”“反”键手动操作各个轴运",
    "  行到示教点，然后按确定键保存该",
    "  点。",
    "  ",
    "8-若要使各个示教功能轴同时运行完毕",
    "  保存示教点脉冲数后需要按“自动",
    "  配”按键来配置速度，重复按该键可",
    "  按比例改变速度大小。(例如两轴配",
    "  合走图形)",
    "  ",
    "注意：在数据显示上可能会出现数据显",
    "  示慢一点，请点击各个功能按钮的速",
    "  度慢一点",
    "  ",
};

Controls controls() {
  Controls c = {
      heading("Label1", "设定示教功能"),
      // The project and the step, and the step commands.
      group("Frame1", "", "", 1),
      label("GC1lel", "00", "Frame1", 0, Blue), label("Label2", "号工程第", "Frame1", 0), entry("BU6txt", "0", "Frame1", 0),
      label("Label3", "步", "Frame1", 0), button("XZcmd", "下载数据", Yellow, "Frame1", 0),
      button("SB2cmd", "上步", Yellow, "Frame1", 0), button("XB2cmd", "下步", Yellow, "Frame1", 0),
      // Which axes teach: X and Z on the left, Y and C on the right.
      group("Frame2", "", "", 2, Black, White),
      filled(label("XZ2lel", "X轴开启示教功能,关闭普通", "Frame2", 0), White),
      filled(label("YZ2lel", "Y轴开启示教功能,关闭普通", "Frame2", 0), White),
      filled(label("ZZ2lel", "Z轴开启示教功能,关闭普通", "Frame2", 1), White),
      filled(label("CZ2lel", "C轴开启示教功能,关闭普通", "Frame2", 1), White),
      group("Frame3", "", "", 3),
  };
  // One line per axis: toggle, speed, pulse count, forward and reverse while held.
  int line = 0;
  for (const Row& r : kRows) {
    c << button(r.toggle, "开/关", Yellow, "Frame3", line) << label(r.speedLabel, "速度", "Frame3", line)
      << entry(r.speed, "0", "Frame3", line) << entry(r.pulses, "0", "Frame3", line)
      << button(r.forward, "正", Yellow, "Frame3", line) << button(r.reverse, "反", Yellow, "Frame3", line);
    ++line;
  }
  c << button("SUcmd", "确 定", Yellow, "Frame3", line) << button("ZDcmd", "自动配", Yellow, "Frame3", line)
    << spanning(button("XZ1cmd", "下载数据", Yellow, "Frame3", line), 2);
  c << group("Frame4", "", "", 4) << button("SY10cmd", "上一页", SystemButton, "Frame4", 0)
    << button("FZ3cmd", "返回主页", SystemButton, "Frame4", 0) << button("FG3cmd", "返回工程首页", SystemButton, "Frame4", 0)
    << display("BU5txt", "0", "Frame4", 0, Cyan) << label("Label12", "步", "Frame4", 0);
  // The help stands beside everything, from the top. It is long: it scrolls, so that the page
  // fits a laptop display.
  return c << overLines(group("Frame5", "本界面操作说明", "", 0, Red), 5)
           << scrolling(instructionList("List1", kHelp, "Frame5"), 16, 26);
}

}  // namespace

TeachStep::TeachStep() : Screen("Mainfrm16", exchangeTable()) {
  build(*this, controls());
  bindControls();
}

}  // namespace lorvane::screens
