#include "screens/project/timing_step.h"

#include <QPushButton>

#include "frames/registers.h"
#include "frames/step_registers.h"
#include "ui/controls.h"

namespace lorvane::screens {

using namespace lorvane::ui;

namespace {

const Texts kYesNo = {{0, QStringLiteral("否")}, {1, QStringLiteral("是")}};

const QStringList kHelp = {
    "",
    "1-从第“A”步到第“B”步循环“C”次",
    "  意思是执行完本步以后，是否需要循环",
    "  并且从第“A”步到“B”步，循环次数C",
    "  B只能设置为右下角所显示的数值",
    "  即只能设为本步步号。",
    "  ",
    "2-本工程整体每一步的速度是否需要调整",
    "  不用的话就是100%，是否需要循环：0表",
    "  示不循环，1表示循环",
    "  ",
    "注意：此界面设置的参数必须回到工程设",
    "      定界面进行保存，当点击的按钮出",
    "      现20秒没有恢复本色，请再点击一",
    "      次。",
    "      在界面右下角会显示当前运行",
    "      第几步。",
    "      若出现设定好参数后没有保存到",
    "      请再设置一次并进行保存。",
    "      ",
};

Controls controls() {
  Controls c = {
      heading("Label11", "设定工程步骤"),
      group("Frame5", "", "", 1),
      label("Label12", "从第", "Frame5", 0), entry("CDtxt", "0", "Frame5", 0), label("Label13", "到第", "Frame5", 0),
      display("DDtxt", "0", "Frame5", 0, Cyan), label("Label14", "步循环", "Frame5", 0), entry("XHtxt", "0", "Frame5", 0),
      label("Label15", "次", "Frame5", 0),
      spanning(label("Label16", "所有各步速度降为:", "Frame5", 1), 3), entry("JWtxt", "0", "Frame5", 1),
      label("Label17", "%", "Frame5", 1),
      spanning(label("Label8", "本步运行完延时", "Frame5", 2), 3), entry("YStxt", "0", "Frame5", 2),
      label("Label9", "ms", "Frame5", 2),
      spanning(label("Label27", "本工程循环:", "Frame5", 3), 3), entry("XH1txt", "0", "Frame5", 3),
      display("SFtxt", "是", "Frame5", 3, Red),
      spanning(label("Label18", "本工程结束后自动运行", "Frame5", 4), 3), entry("ZDtxt", "0", "Frame5", 4),
      label("Label28", "工程", "Frame5", 4),
      spanning(label("Label1", "(工程循环设置为否有效)", "Frame5", 5), 5),
      stretch("Frame5", 6), label("Label29", "当前为第", "Frame5", 6),
      display("BUtxt", "0", "Frame5", 6, Cyan), label("Label10", "步", "Frame5", 6),
      hidden(display("JHtxt", "0", "Frame5", 6, Cyan)),  // the current project, read but not shown
      group("Frame7", "", "", 2),
      button("SYcmd", "上一页", SystemButton, "Frame7", 0), button("SScmd", "下载并设定数据", SystemButton, "Frame7", 0),
      button("BCcmd", "返 回", SystemButton, "Frame7", 0),
  };
  // The help beside everything, from the top; below the groups, the room left.
  return c + instructions("Frame8", kHelp, "", 0, 4) << stretch("", 3);
}

// Each read goes out again at every tick until it is answered. Step B is shown, not edited: the
// download writes it back only once it has been read, so a click before the first read cycle
// cannot put a placeholder 0 into the loop.
ScreenDecl exchangeTable() {
  // The messages name 1-80 and 1-10 although 0 (no loop, no next project) is accepted.
  return ScreenDecl{
      .intervalMs = TimingStep::kIntervalMs,
      .silentLimit = 5,
      .repeatingReads = true,
      .restartTickOnReply = true,
      .reads = {
          Read{.reg = reg::LoopFrom, .field = "CDtxt"},
          Read{.reg = reg::LoopTo, .field = "DDtxt"},
          Read{.reg = reg::LoopCount, .field = "XHtxt"},
          Read{.reg = reg::SpeedOverride, .field = "JWtxt"},
          Read{.reg = reg::StepEndDelay, .field = "YStxt"},
          Read{.reg = reg::CurrentProject, .field = "JHtxt"},
          Read{.reg = reg::ProjectLoops, .field = "XH1txt", .also = {{"SFtxt", kYesNo}}},
          Read{.reg = reg::NextProject, .field = "ZDtxt"},
          Read{.reg = reg::CurrentStep, .field = "BUtxt"},
      },
      .sequences = {Sequence{
          .button = "SScmd",
          .steps = {Write{.reg = reg::LoopFrom, .field = "CDtxt", .range = reg::rangeOf(reg::LoopFrom)},
                    Write{.reg = reg::LoopTo, .field = "DDtxt", .range = reg::rangeOf(reg::LoopTo)},
                    Write{.reg = reg::LoopCount, .field = "XHtxt"},
                    Write{.reg = reg::SpeedOverride, .field = "JWtxt", .range = reg::rangeOf(reg::SpeedOverride)},
                    Write{.reg = reg::StepEndDelay, .field = "YStxt"},
                    Write{.reg = reg::ProjectLoops, .field = "XH1txt", .range = reg::rangeOf(reg::ProjectLoops)},
                    Write{.reg = reg::NextProject, .field = "ZDtxt", .range = reg::rangeOf(reg::NextProject)}},
          .clears = ClearLocks::All,
          // No click while its writes are on their way: disabled until they are acknowledged,
          // or given up (the read cycle then runs again).
          .disabledWhileWaiting = true,
          .onClick = {SetInterval{TimingStep::kIntervalMs}, RestartTimer{}}}},
  };
}

}  // namespace

TimingStep::TimingStep() : Screen("Mainfrm23", exchangeTable()) {
  build(*this, controls());
  bindControls();
}

}  // namespace lorvane::screens
