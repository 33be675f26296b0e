#include "screens/project/line_step.h"

#include "frames/registers.h"
#include "frames/step_registers.h"
#include "ui/controls.h"

namespace lorvane::screens {

using namespace lorvane::ui;

namespace {

const Texts kStartStop = {{0, QStringLiteral("启动")}, {1, QStringLiteral("停止")}};

const QStringList kHelp = {
    "   ",
    "1  在该界面可以设定直线功能的启动条件(信号值在",
    "   0到13之间，对应外部输入点1-13，L0表示不设定)",
    "   直线启动与停止，0表示启动，1表示停止。",
    "   ",
    "2、设置直线的终点位置，也就是xy轴的位置，终点坐",
    "   标是相对直线起点坐标位（0,0）的坐标。",
    "   每次画直线时起点坐标视为（0,0）。",
    "   本界面中的速度为画直线的速度。",
    "   ",
    "示例：设置x轴终点坐标为20mm,设置y轴终点坐标为",
    "      -20mm。速度为300rpm",
    "   ",
    "注意：此界面设置的参数必须回到工程设定界面进行",
    "      保存，当点击的按钮出现20秒没有恢复本色",
    "      请再点击一次。",
    "      在界面右下脚会显示当前运行第几步。",
    "      若出现设定好参数后没有保存到，请再设置一",
    "      次并进行保存。",
    "",
};

Controls controls() {
  Controls c = {
      heading("Label1", "设定画直线"),
      group("Frame1", "视当前坐标位置为(0,0)", "", 1),
      // Start condition: input number, and start or stop on it.
      label("Label2", "若L", "Frame1", 0), entry("RLtxt", "0", "Frame1", 0), label("Label3", "有效画直线", "Frame1", 0),
      entry("ZXtxt", "0", "Frame1", 0), display("QDtxt", "启动", "Frame1", 0),
      // End point, x then y, in mm from where the step begins.
      label("Label4", "终点", "Frame1", 1), entry("ZGtxt", "0.00", "Frame1", 1), label("Label5", "mm", "Frame1", 1),
      entry("DNtxt", "0.00", "Frame1", 1), label("Label6", "mm", "Frame1", 1),
      label("Label7", "速度", "Frame1", 2), entry("SDtxt", "0", "Frame1", 2), label("Label8", "RPM", "Frame1", 2),
      stretch("Frame1", 3),
      label("Label10", "当前为第", "Frame1", 3), display("BUtxt", "0", "Frame1", 3, Cyan), label("Label9", "步", "Frame1", 3),
      group("Frame2", "", "", 2),
      button("SY16cmd", "返 回", SystemButton, "Frame2", 0), button("SScmd", "下载并设定数据", SystemButton, "Frame2", 0),
      button("FZcmd", "下一页", SystemButton, "Frame2", 0),
  };
  // The help and the example stand beside everything, from the top; below the groups, the room left.
  return c + instructions("Frame3", kHelp, "", 0, 4)
         << picture("Picture1", QStringLiteral(":/assets/line_example.svg"), "Frame3", 0) << stretch("", 3);
}

// Each read goes out again at every tick until it is answered.
ScreenDecl exchangeTable() {
  // The message names 1-13 although 0 (no start condition) is accepted: the text operators know.
  return ScreenDecl{
      .intervalMs = 100,
      .silentLimit = 5,
      .repeatingReads = true,
      .reads = {
          Read{.reg = reg::LineStartInput, .field = "RLtxt"},
          Read{.reg = reg::LineStartStop, .field = "ZXtxt", .also = {{"QDtxt", kStartStop}}},
          Read{.reg = reg::LineEndX, .count = 2, .field = "ZGtxt", .scale = 100},
          Read{.reg = reg::LineEndY, .count = 2, .field = "DNtxt", .scale = 100},
          Read{.reg = reg::LineSpeed, .field = "SDtxt"},
          Read{.reg = reg::CurrentStep, .field = "BUtxt"},
      },
      .sequences = {Sequence{
          .button = "SScmd",
          .steps = {Write{.reg = reg::LineStartInput, .field = "RLtxt", .range = reg::rangeOf(reg::LineStartInput)},
                    Write{.reg = reg::LineStartStop, .field = "ZXtxt", .range = reg::rangeOf(reg::LineStartStop)},
                    Write{.reg = reg::LineEndX, .field = "ZGtxt", .count = 2, .scale = 100},
                    Write{.reg = reg::LineEndY, .field = "DNtxt", .count = 2, .scale = 100},
                    Write{.reg = reg::LineSpeed, .field = "SDtxt", .range = reg::rangeOf(reg::LineSpeed)}},
          .clears = ClearLocks::All}},
  };
}

}  // namespace

LineStep::LineStep() : Screen("Mainfrm15", exchangeTable()) {
  build(*this, controls());
  bindControls();
}

}  // namespace lorvane::screens
