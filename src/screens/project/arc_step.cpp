#include "screens/project/arc_step.h"

#include "frames/registers.h"
#include "frames/step_registers.h"
#include "ui/controls.h"

namespace lorvane::screens {

using namespace lorvane::ui;

namespace {

const Texts kStartStop = {{0, QStringLiteral("启动")}, {1, QStringLiteral("停止")}};
const Texts kDirection = {{0, QStringLiteral("顺圆弧")}, {1, QStringLiteral("逆圆弧")}};
const Texts kSize = {{0, QStringLiteral("小于360")}, {1, QStringLiteral("大于360")}};

const QStringList kHelp = {
    "   ",
    "1  在该界面可以设定圆弧功能的启动条件(信号值在",
    "   0到13之间，对应外部输入点1-13，L0表示不设定)",
    "   圆弧启动与停止，0表示启动，1表示停止。",
    "   ",
    "2、首先设定圆弧的圆心坐标在哪里，终点坐标在哪里",
    "   也就是xy轴的位置,圆心坐标终点坐标都是相对圆",
    "   弧的起点坐标位（0,0）的坐标每次画圆弧时起点",
    "   坐标视为（0,0）",
    "示例：设定圆心的x轴坐标为20mm，y轴坐标也为0mm",
    "   终点x轴坐标为20mm，y轴坐标为-20mm，也就是画半",
    "   径为20mm的半圆",
    "   ",
    "3、设定圆弧所转的方向是逆时针画圆弧，还是顺时针",
    "   画设置圆弧的大小，0表示小于360度，1表示大于",
    "   360度，小于360度表示画的圆弧不会超过360度",
    "   大于360度，表示画圆时先画一圈（360度），然后",
    "   再按小于360度的方式画圆弧。",
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
      heading("Label10", "设定画圆弧"),
      // Start condition: input number, and start or stop on it.
      group("Frame3", "", "", 1),
      label("Label1", "若L", "Frame3", 0), entry("RLtxt", "0", "Frame3", 0), label("Label2", "有效画圆弧", "Frame3", 0),
      entry("YHtxt", "0", "Frame3", 0), display("QDtxt", "启动", "Frame3", 0),
      // Centre and end point, x then y, in mm from where the step begins.
      group("Frame2", "视当前坐标位置为(0,0)", "", 2),
      label("Label4", "圆心", "Frame2", 0), entry("YNtxt", "0.00", "Frame2", 0), label("Label5", "mm", "Frame2", 0),
      entry("XNtxt", "0.00", "Frame2", 0), label("Label6", "mm", "Frame2", 0),
      label("Label7", "终点", "Frame2", 1), entry("ZGtxt", "0.00", "Frame2", 1), label("Label8", "mm", "Frame2", 1),
      entry("DNtxt", "0.00", "Frame2", 1), label("Label9", "mm", "Frame2", 1),
      // Direction, size, speed and the step.
      group("Frame1", "", "", 3),
      button("SHcmd", "顺", SystemButton, "Frame1", 0), display("NYtxt", "逆圆弧", "Frame1", 0),
      button("NIcmd", "逆", SystemButton, "Frame1", 0),
      entry("XYtxt", "0", "Frame1", 1), display("XItxt", "小于360", "Frame1", 1),
      label("Label12", "运行速度:", "Frame1", 2), entry("SD6txt", "0", "Frame1", 2), label("Label13", "RPM", "Frame1", 2),
      label("Label11", "当前为第", "Frame1", 3), display("BStxt", "0", "Frame1", 3, Cyan), label("Label3", "步", "Frame1", 3),
      group("Frame4", "", "", 4),
      button("SY15cmd", "返 回", SystemButton, "Frame4", 0), button("SAcmd", "下载并设定数据", SystemButton, "Frame4", 0),
      button("FZcmd", "下一页", SystemButton, "Frame4", 0),
  };
  // The help and the example stand beside everything, from the top; below the groups, the room left.
  return c + instructions("Frame5", kHelp, "", 0, 6)
         << picture("Picture1", QStringLiteral(":/assets/arc_example.svg"), "Frame5", 0) << stretch("", 5);
}

// Each read goes out again at every tick until it is answered.
ScreenDecl exchangeTable() {
  // The message names 1-13 although 0 (no start condition) is accepted: the text operators know.
  // A direction command: the direction is read back at once, and only this button's own echo
  // gives it its colour back.
  const auto direction = [](const Name& button, std::uint16_t coil) {
    return Sequence{.button = button,
                    .steps = {Coil{.coil = coil}},
                    .onClick = {RestartTimer{}},
                    .onDone = {ResumeAt{"NYtxt"}}};
  };
  return ScreenDecl{
      .intervalMs = ArcStep::kIntervalMs,
      .silentLimit = 8,
      .repeatingReads = true,
      // Every reply starts the tick interval again: the next request goes out a full interval
      // after it.
      .restartTickOnReply = true,
      .reads = {
          Read{.reg = reg::ArcStartInput, .field = "RLtxt"},
          Read{.reg = reg::ArcStartStop, .field = "YHtxt", .also = {{"QDtxt", kStartStop}}},
          Read{.reg = reg::ArcCentreX, .count = 2, .field = "YNtxt", .scale = 100},
          Read{.reg = reg::ArcCentreY, .count = 2, .field = "XNtxt", .scale = 100},
          Read{.reg = reg::ArcEndX, .count = 2, .field = "ZGtxt", .scale = 100},
          Read{.reg = reg::ArcEndY, .count = 2, .field = "DNtxt", .scale = 100},
          Read{.reg = reg::ArcDirection, .field = "NYtxt", .texts = kDirection},
          Read{.reg = reg::TeachOrArcSize, .field = "XYtxt", .also = {{"XItxt", kSize}}},
          Read{.reg = reg::CurrentStep, .field = "BStxt"},
          Read{.reg = reg::ArcSpeed, .field = "SD6txt"},
      },
      .sequences = {
          Sequence{.button = "SAcmd",
                   .steps = {Write{.reg = reg::ArcStartInput, .field = "RLtxt", .range = reg::rangeOf(reg::ArcStartInput)},
                             Write{.reg = reg::ArcStartStop, .field = "YHtxt", .range = reg::rangeOf(reg::ArcStartStop)},
                             Write{.reg = reg::ArcCentreX, .field = "YNtxt", .count = 2, .scale = 100},
                             Write{.reg = reg::ArcCentreY, .field = "XNtxt", .count = 2, .scale = 100},
                             Write{.reg = reg::ArcEndX, .field = "ZGtxt", .count = 2, .scale = 100},
                             Write{.reg = reg::ArcEndY, .field = "DNtxt", .count = 2, .scale = 100},
                             Write{.reg = reg::TeachOrArcSize, .field = "XYtxt", .range = reg::rangeOf(reg::TeachOrArcSize)},
                             Write{.reg = reg::ArcSpeed, .field = "SD6txt", .range = reg::rangeOf(reg::ArcSpeed)}},
                   .clears = ClearLocks::All,
                   .onClick = {SetInterval{ArcStep::kIntervalMs}, RestartTimer{}},
                   .onDone = {SetInterval{ArcStep::kIntervalMs}}},
          direction("SHcmd", coil::ArcClockwise),
          direction("NIcmd", coil::ArcCounterClockwise),
      },
  };
}

}  // namespace

ArcStep::ArcStep() : Screen("Mainfrm14", exchangeTable()) {
  build(*this, controls());
  bindControls();
}

}  // namespace lorvane::screens
