#include "screens/project/outputs_step.h"

#include "frames/registers.h"
#include "frames/step_registers.h"
#include "ui/controls.h"

namespace lorvane::screens {

using namespace lorvane::ui;

namespace {

// An output setting is 0 for on and 1 for off; an input state the other way round.
const Texts kOutputSetting = {{0, QStringLiteral("ON")}, {1, QStringLiteral("OF")}};

// The state labels stand out as yellow text on blue.
Control state(const char* name, const char* text, const QString& group, int line) {
  return filled(label(name, text, group, line, Yellow), Blue);
}

// ---- Mainfrm21: direct outputs -----------------------------------------------------------------

const QStringList kDirectHelp = {
    "  ",
    "1-可以设置四组直接输出控制设 ",
    "  定，也就是通过一个外部输出",
    "  信号来直接设定继电器或OC无",
    "  效或者是有效。",
    "  ",
    "示例：设置Y8为OF(1)，也就是 ",
    "      让外部第8路 输出无效",
    "      (继电器不工作)",
    "注意：此界面设置的参数必须",
    "      回到工程设定界面进行",
    "      保存，当点击的按钮出",
    "      现20秒没有恢复本色",
    "      请再点击一次。",
    "      在界面右下脚会显示当",
    "      前运行第几步。",
    "      若出现设定好参数后没",
    "      有保存到，请再设置一",
    "      次并进行保存",
    "",
};

// Group names: caption label, "Y" label, output field, state label, state field.
struct DirectGroup {
  const char* caption;
  const char* captionLabel;
  const char* yLabel;
  const char* output;
  const char* stateLabel;
  const char* state;
};
constexpr DirectGroup kDirectGroups[] = {
    {"一:", "Label2", "Label3", "Y1txt", "Label11", "S1txt"},
    {"二:", "Label4", "Label5", "Y2txt", "Label12", "S2txt"},
    {"三:", "Label6", "Label7", "Y3txt", "Label13", "S3txt"},
    {"四:", "Label9", "Label8", "Y4txt", "Label14", "S4txt"},
};

Controls directControls() {
  Controls c = {heading("Label1", "三组直接输出控制设定"), group("Frame1", "", "", 1)};
  int line = 0;
  for (const DirectGroup& g : kDirectGroups) {
    c << label(g.captionLabel, g.caption, "Frame1", line) << label(g.yLabel, "Y", "Frame1", line)
      << entry(g.output, "0", "Frame1", line) << state(g.stateLabel, "ON", "Frame1", line)
      << entry(g.state, "0", "Frame1", line);
    ++line;
  }
  c << stretch("Frame1", line) << label("Label29", "当前为第", "Frame1", line)
    << display("BUtxt", "0", "Frame1", line, Cyan) << label("Label10", "步", "Frame1", line);
  c << group("Frame2", "", "", 2) << button("SYcmd", "上一页", SystemButton, "Frame2", 0)
    << button("SScmd", "下载并设定数据", SystemButton, "Frame2", 0) << button("XYcmd", "下一页", SystemButton, "Frame2", 0);
  // The help beside everything, from the top; below the groups, the room left.
  return c + instructions("Frame8", kDirectHelp, "", 0, 4) << stretch("", 3);
}

ScreenDecl directTable() {
  // The message names 1-12 although 0 (no output) is accepted: the text operators know.
  ScreenDecl d{.intervalMs = 80, .silentLimit = 5, .repeatingReads = true};
  Sequence download{.button = "SScmd", .clears = ClearLocks::All};
  for (std::size_t g = 0; g < reg::DirectOutput.size(); ++g) {
    const DirectGroup& n = kDirectGroups[g];
    d.reads << Read{.reg = reg::DirectOutput[g], .field = n.output}
            << Read{.reg = reg::DirectOutputState[g], .field = n.state, .also = {{n.stateLabel, kOutputSetting}}};
    // The current step is read between the third and the fourth group, as the controller expects.
    if (g == 2) d.reads << Read{.reg = reg::CurrentStep, .field = "BUtxt"};
    download.steps << Write{.reg = reg::DirectOutput[g], .field = n.output, .range = reg::rangeOf(reg::DirectOutput[g])}
                   << Write{.reg = reg::DirectOutputState[g], .field = n.state, .range = reg::rangeOf(reg::DirectOutputState[g])};
  }
  d.sequences << download;
  return d;
}

// ---- Mainfrm22: input-conditioned outputs -------------------------------------------------------

const QStringList kConditionedHelp = {
    "  ",
    "1-可以设置三组获取输入后输出",
    "  设定，输入的信号在1-13之间",
    "  而输出的信号在1-12之间（共",
    "  12路输出，1-7为OC，8-12为",
    "  继电器输出），0表示不设定。",
    "  ",
    "示例：当设置外部输入信号L8",
    "      有效以后（也就是设置",
    "      为1），使外部输出信",
    "      号Y5有效（也就是设置",
    "      为0）",
    "  ",
    "注意：此界面设置的参数必须",
    "      回到工程设定界面进行",
    "      保存，当点击的按钮出",
    "      现20秒没有恢复本色",
    "      请再点击一次。",
    "      在界面右下脚会显示当",
    "      前运行第几步。",
    "      若出现设定好参数后没",
    "      有保存到，请再设置一",
    "      次并进行保存。",
    "",
};

// A row: "若L" input number, "ON输出Y" input state, "输出Y" output number, state display, state.
struct ConditionedGroup {
  const char* ifLabel;
  const char* input;
  const char* onLabel;
  const char* inputState;
  const char* outLabel;
  const char* output;
  const char* stateLabel;
  const char* outputState;
};
constexpr ConditionedGroup kConditionedGroups[] = {
    {"Label24", "R1txt", "Label3", "L1txt", "Label23", "S4txt", "Label11", "Y4txt"},
    {"Label22", "R2txt", "Label4", "L2txt", "Label21", "S5txt", "Label1", "Y5txt"},
    {"Label20", "R3txt", "Label5", "L3txt", "Label19", "S6txt", "Label2", "Y6txt"},
};

Controls conditionedControls() {
  Controls c = {heading("Label25", "三组获取输入后输出设定"), group("Frame3", "", "", 1)};
  int line = 0;
  for (const ConditionedGroup& g : kConditionedGroups) {
    c << label(g.ifLabel, "若L", "Frame3", line) << entry(g.input, "0", "Frame3", line)
      << state(g.onLabel, "ON输出Y", "Frame3", line) << entry(g.inputState, "0", "Frame3", line)
      << label(g.outLabel, "输出Y", "Frame3", line) << entry(g.output, "0", "Frame3", line)
      << state(g.stateLabel, "ON", "Frame3", line) << entry(g.outputState, "0", "Frame3", line);
    ++line;
  }
  c << stretch("Frame3", line) << label("Label29", "当前为第", "Frame3", line)
    << display("BUtxt", "0", "Frame3", line, Cyan) << label("Label10", "步", "Frame3", line);
  c << group("Frame1", "", "", 2) << button("SYcmd", "上一页", SystemButton, "Frame1", 0)
    << button("SScmd", "下载并设定数据", SystemButton, "Frame1", 0) << button("XYcmd", "下一页", SystemButton, "Frame1", 0);
  return c + instructions("Frame8", kConditionedHelp, "", 0, 4) << stretch("", 3);
}

// The input states share their registers with the forward-limit inputs of Z, C and A on the axis
// parameter screen, so a download writes them only when the operator typed one here: otherwise a
// forward-limit assignment such as input 5 would be overwritten with what this page read.
ScreenDecl conditionedTable() {
  ScreenDecl d{.intervalMs = 80, .silentLimit = 5, .repeatingReads = true};
  Sequence download{.button = "SScmd", .clears = ClearLocks::All};
  for (std::size_t g = 0; g < reg::CondInput.size(); ++g) {
    const ConditionedGroup& n = kConditionedGroups[g];
    d.reads << Read{.reg = reg::CondInput[g], .field = n.input} << Read{.reg = reg::CondInputState[g], .field = n.inputState}
            << Read{.reg = reg::CondOutput[g], .field = n.output}
            << Read{.reg = reg::CondOutputState[g], .field = n.outputState, .also = {{n.stateLabel, kOutputSetting}}};
    download.steps << Write{.reg = reg::CondInput[g], .field = n.input, .range = reg::rangeOf(reg::CondInput[g])}
                   << Write{.reg = reg::CondInputState[g], .field = n.inputState, .range = reg::rangeOf(reg::CondInputState[g]), .onlyIfEdited = true}
                   << Write{.reg = reg::CondOutput[g], .field = n.output, .range = reg::rangeOf(reg::CondOutput[g])}
                   << Write{.reg = reg::CondOutputState[g], .field = n.outputState, .range = reg::rangeOf(reg::CondOutputState[g])};
  }
  d.reads << Read{.reg = reg::CurrentStep, .field = "BUtxt"};
  d.sequences << download;
  return d;
}

}  // namespace

DirectOutputStep::DirectOutputStep() : Screen("Mainfrm21", directTable()) {
  build(*this, directControls());
  bindControls();
}

ConditionedOutputStep::ConditionedOutputStep() : Screen("Mainfrm22", conditionedTable()) {
  build(*this, conditionedControls());
  bindControls();
}

}  // namespace lorvane::screens
