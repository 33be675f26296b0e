#include "screens/axes/io_tests.h"

#include "frames/registers.h"
#include "ui/controls.h"

namespace lorvane::screens {

using namespace lorvane::ui;

namespace {

constexpr int kInputs = 13;
constexpr int kInputsPerRow = 7;

// An indicator shows the text of the state it reads; a state it has no text for blanks it, so an
// old "ON" never stands for a reading the controller did not give.
const Texts kInputStates = {{0, QStringLiteral("A")}, {1, QStringLiteral("ON")}, {2, QStringLiteral("OF")}};
const Texts kOutputSettings = {{0, QStringLiteral("ON")}, {1, QStringLiteral("OF")}};

QString indicator(int n) { return QStringLiteral("YN%1txt").arg(n); }

// Input n is read from 0x10C8 + (n - 1), one input per tick, round and round; the test button
// keeps the input test coil on while it is held.
ScreenDecl inputTable() {
  ScreenDecl d{.intervalMs = 70, .silentLimit = 8};
  for (int n = 1; n <= kInputs; ++n)
    d.reads << Read{.reg = static_cast<std::uint16_t>(reg::InputTestState + n - 1), .field = indicator(n), .texts = kInputStates};
  d.momentaries = {Momentary{"SDcmd", coil::InputTest}};
  return d;
}

// Reads the output number and its setting (shown as ON/OF beside it); "确定测试" writes both and
// then runs the test coil, and the tick stays 80 ms for the rest of the visit.
ScreenDecl outputTable() {
  return ScreenDecl{
      .intervalMs = 50,
      .silentLimit = 5,
      .reads = {Read{.reg = reg::OutputTestNumber, .field = "SCtxt"},
                Read{.reg = reg::OutputTestSetting, .field = "DMtxt", .also = {Show{"YNtxt", kOutputSettings}}}},
      .sequences = {Sequence{.button = "SDcmd",
                             .steps = {Write{.reg = reg::OutputTestNumber, .field = "SCtxt", .range = range(1, 12)},
                                       Write{.reg = reg::OutputTestSetting, .field = "DMtxt", .range = range(0, 1)},
                                       Coil{.coil = coil::OutputTest}},
                             .clears = ClearLocks::All,
                             .onClick = {SetInterval{80}, RestartTimer{}}}},
  };
}

const QStringList kOutputHelp = {"",  "注意：", "当点击的按钮出", "现20秒没有恢复", "本色，请再点击", "一次。",
                                 "",  "若出现设置好参", "数后没有保存到", "请再设置一次", "并进行保存"};

// The thirteen inputs in lines of seven, each indicator after its number.
Controls inputControls() {
  Controls c = {heading("Label1", "外部输入信号(L1-L13)测试"),
                group("Frame1", "13个输入点，平时显示A，按下面测试按钮，若输入无效，显示OF，若输入有效，显示ON", "", 1)};
  for (int n = 1; n <= kInputs; ++n) {
    const int line = (n - 1) / kInputsPerRow;
    c << aligned(label(QStringLiteral("Label%1").arg(n + 1), QStringLiteral("%1:").arg(n), "Frame1", line), Qt::AlignRight)
      << bold(display(indicator(n), "A", "Frame1", line));
  }
  return c << button("SDcmd", "确定测试", SystemButton, "", 2) << button("BAcmd", "返 回", SystemButton, "", 2);
}

// The choice on the left with the two buttons below it, the instructions on the right.
const Controls kOutputControls = {
    heading("Label1", "12路外部输出测试", "", 0, 0),
    spanning(group("Frame1", "设定输出信号Y1-Y12，0-ON,1-OF", "", 1), 2),
    aligned(label("Label2", "Y", "Frame1", 0), Qt::AlignRight), entry("SCtxt", "0", "Frame1", 0),
    spanning(label("Label3", "输出：Y1-Y12", "Frame1", 0), 2),
    stretch("Frame1", 1), entry("DMtxt", "0", "Frame1", 1), bold(display("YNtxt", "ON", "Frame1", 1)),
    label("Label4", "设定：0或1", "Frame1", 1),
    button("SDcmd", "确定测试", SystemButton, "", 2), button("BAcmd", "返 回", SystemButton, "", 2),
    group("Frame3", "使用说明", "", 1, Red), instructionList("List1", kOutputHelp, "Frame3"),
};

}  // namespace

InputTest::InputTest() : Screen("Mainfrm9", inputTable()) {
  build(*this, inputControls());
  bindControls();
}

OutputTest::OutputTest() : Screen("Mainfrm10", outputTable()) {
  build(*this, kOutputControls);
  bindControls();
}

}  // namespace lorvane::screens
