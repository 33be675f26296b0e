#include "screens/project/axis_steps.h"

#include <QCoreApplication>

#include "frames/registers.h"
#include "frames/step_registers.h"
#include "ui/controls.h"

namespace lorvane::screens {

using namespace lorvane::ui;

QString otherAxisShown() {
  return QCoreApplication::translate("lorvane", "已切换Z/A轴：本页现显示另一轴的设定，请核对各项数值后再下载一次");
}

namespace {

// ---- The pages -----------------------------------------------------------------------------

struct Page {
  QString form;
  QChar letter;  // in the captions: "X轴普通功能设置", "有效X轴电机", ...
  reg::Axis axis;
  int intervalMs;
  QString back, backCaption, download, next;
  int lastHelpSpaces;  // the help list ends with a line of this many spaces
};

const Page& page(AxisPage p) {
  static const Page pages[] = {
      {"Mainfrm17", 'X', reg::X, 80, "SY17cmd", "返 回", "SScmd", "XY17cmd", 6},
      {"Mainfrm18", 'Y', reg::Y, 80, "SY18cmd", "上一页", "SScmd", "XY18cmd", 6},
      {"Mainfrm19", 'C', reg::C, 80, "SY19cmd", "上一页", "SScmd", "XY19cmd", 8},
      // Z's registers: the controller gives them to A when 0x1055 says so.
      {"Mainfrm20", 'Z', reg::Z, 50, "SY20cmd", "上一页", "SS20cmd", "XY20cmd", 6},
  };
  return pages[static_cast<int>(p)];
}

// ---- Display rules -------------------------------------------------------------------------

const Texts kRunStop = {{0, QStringLiteral("运行")}, {1, QStringLiteral("停止")}};
const Texts kRunMode = {{0, QStringLiteral("保持不动")}, {1, QStringLiteral("回机械零")},
                        {2, QStringLiteral("正常模式")}, {3, QStringLiteral("条件运行")}};
const Texts kDirection = {{0, QStringLiteral("正转")}, {1, QStringLiteral("反转")}};
const Texts kDistanceKind = {{0, QStringLiteral("相对距离")}, {1, QStringLiteral("绝对坐标")}};
const Texts kReplaced = {{0, QStringLiteral("否")}, {1, QStringLiteral("是")}};

// The Z/A page's captions name the axis 0x1055 selects.
Texts zOrA(const char* before, const char* after) {
  return {{0, QString::fromUtf8(before) + 'Z' + QString::fromUtf8(after)},
          {1, QString::fromUtf8(before) + 'A' + QString::fromUtf8(after)}};
}

// ---- The help --------------------------------------------------------------------------------

// The lines name the axis in lower case in three places.
QStringList help(const Page& p) {
  const QString x = p.letter.toLower();
  return {
      "   ",
      "1  在该界面可以设定" + x + "轴功能的启动",
      "   条件(信号值在0到13之间，对应外",
      "   部输入点1-13，L0表示不设定)",
      "   " + x + "轴启动与停止，0表示运行，1表",
      "   示停止。",
      "2、" + x + "轴电机运行模式,0表示电机保持",
      "   不动，1表示回机械零，那么电机",
      "   就会反转运行直到获得零点信号",
      "   反馈回来才停止（回零的信号点在",
      "   各轴参数基本参数设定那进行设定）",
      "   2表示正常运行，需要设定运行距离",
      "   3表示电机条件运行，对应设定界面",
      "   上的前面是否获取L几的情况。",
      "   ",
      "3、设置运行距离：前提是前面界面设置",
      "   运行模式为“正常”模式的时候，或",
      "   条件运行模式。",
      "   ",
      "4、当设置0时为相对坐标，它的概念就",
      "   是该轴运行设定的距离",
      "   ",
      "5、当设置1时为绝对坐标，它的概念就",
      "   是该轴一直运行，当该轴坐标（在",
      "   “控制界面”显示）为设定的距离",
      "   时停止",
      "注意：此界面设置的参数必须回到工程",
      "      设定界面进行保存，当点击的按",
      "      钮出现20秒没有恢复本色",
      "      请再点击一次。",
      "      在界面右下脚会显示当前运行",
      "      第几步。",
      "      若出现设定好参数后没有保存到",
      "      请再设置一次并进行保存。",
      QString(p.lastHelpSpaces, ' '),
  };
}

// ---- The controls ----------------------------------------------------------------------------

Controls controls(AxisPage which) {
  const Page& p = page(which);
  const QString l = p.letter;
  // Each setting on its own line: caption, the values it takes, the field, what the value means.
  const auto none = [](int line) { return label({}, {}, "Frame1", line); };
  Controls c = {
      heading("Label9", l + "轴普通功能设置"),
      group("Frame1", "", "", 1),
      label("Label1", "若输入L", "Frame1", 0), none(0), entry("SRtxt", "0", "Frame1", 0),
      label("Label2", "有效" + l + "轴电机", "Frame1", 1), label("Label11", "(0,1)", "Frame1", 1, Yellow),
      entry("XZtxt", "0", "Frame1", 1), display("YXtxt", "运行", "Frame1", 1),
      label("Label3", l + "轴运行模式", "Frame1", 2), label("Label12", "(0,1,2,3)", "Frame1", 2, Yellow),
      entry("XDtxt", "0", "Frame1", 2), display("BCtxt", "保持不动", "Frame1", 2),
      none(3), label("Label13", "(0,1)", "Frame1", 3, Yellow), entry("XJtxt", "0", "Frame1", 3),
      display("ZZtxt", "正转", "Frame1", 3),
      none(4), label("Label14", "(0,1)", "Frame1", 4, Yellow), entry("ZBtxt", "0", "Frame1", 4),
      display("DZtxt", "相对距离", "Frame1", 4),
      label("Label4", "速度:", "Frame1", 5), none(5), entry("SDtxt", "0", "Frame1", 5), label("Label5", "PRM", "Frame1", 5),
      label("Label6", l + "运行距离:", "Frame1", 6), none(6), entry("XYtxt", "0", "Frame1", 6),
      label("Label7", "mm", "Frame1", 6),
  };
  int line = 7;
  if (which == AxisPage::ZA) {
    c << label("Label15", "是否将Z轴替换为A轴", "Frame1", line, Yellow) << none(line) << entry("SHtxt", "0", "Frame1", line)
      << display("FOtxt", "否", "Frame1", line) << label("Label16", "(0否 1是,Z轴与A轴无法同时工作)", "Frame1", line);
    ++line;
  }
  c << label("Label10", "当前为第", "Frame1", line) << none(line) << display("BUtxt", "0", "Frame1", line, Cyan)
    << label("Label8", "步", "Frame1", line);
  c << group("Frame2", "", "", 2) << button(p.back, p.backCaption, SystemButton, "Frame2", 0)
    << button(p.download, "下载并设定数据", SystemButton, "Frame2", 0)
    << button(p.next, "下一页", SystemButton, "Frame2", 0);
  // The help stands beside everything, from the top; below the groups, the room left.
  return c + instructions("Frame3", help(p), "", 0, 4) << stretch("", 3);
}

// ---- The phase tables ------------------------------------------------------------------------

// The X, Y and C pages: each read goes out again at every tick until it is answered.
ScreenDecl singleAxisTable(const Page& p) {
  const reg::Axis a = p.axis;
  return ScreenDecl{
      .intervalMs = p.intervalMs,
      .silentLimit = 8,
      .repeatingReads = true,
      .reads = {
          Read{.reg = reg::NormalStartInput[a], .field = "SRtxt"},
          Read{.reg = reg::NormalStartStop[a], .field = "XZtxt", .also = {{"YXtxt", kRunStop}}},
          Read{.reg = reg::NormalRunMode[a], .field = "XDtxt", .also = {{"BCtxt", kRunMode}}},
          Read{.reg = reg::NormalDirection[a], .field = "XJtxt", .also = {{"ZZtxt", kDirection}}},
          Read{.reg = reg::NormalAbsolute[a], .field = "ZBtxt", .also = {{"DZtxt", kDistanceKind}}},
          Read{.reg = reg::NormalSpeed[a], .field = "SDtxt"},
          Read{.reg = reg::NormalDistance[a], .count = 2, .field = "XYtxt", .scale = 100},
          Read{.reg = reg::CurrentStep, .field = "BUtxt"},
      },
      .sequences = {Sequence{
          .button = p.download,
          .steps = {Write{.reg = reg::NormalStartInput[a], .field = "SRtxt", .range = reg::rangeOf(reg::NormalStartInput[a])},
                    Write{.reg = reg::NormalStartStop[a], .field = "XZtxt", .range = reg::rangeOf(reg::NormalStartStop[a])},
                    Write{.reg = reg::NormalRunMode[a], .field = "XDtxt", .range = reg::rangeOf(reg::NormalRunMode[a])},
                    Write{.reg = reg::NormalDirection[a], .field = "XJtxt", .range = reg::rangeOf(reg::NormalDirection[a])},
                    Write{.reg = reg::NormalAbsolute[a], .field = "ZBtxt", .range = reg::rangeOf(reg::NormalAbsolute[a])},
                    Write{.reg = reg::NormalSpeed[a], .field = "SDtxt"},
                    Write{.reg = reg::NormalDistance[a], .field = "XYtxt", .count = 2, .scale = 100}},
          .clears = ClearLocks::All}},
  };
}

// The Z/A page: each read is sent once (the silent-tick limit starts the cycle again when one
// goes unanswered); 0x1055 is read before the run/stop and run mode captions and with the flag.
ScreenDecl zaTable(const Page& p) {
  const reg::Axis a = p.axis;
  const QList<Name> settings = {"SRtxt", "XZtxt", "XDtxt", "XJtxt", "ZBtxt", "XYtxt", "SDtxt"};
  // 0x1055 selects which axis the seven setting registers belong to. A download that changes it
  // must not write the values typed for one axis into the other's registers: it writes only the
  // flag, then the page shows the other axis's settings as read, for the operator to check.
  const WhenChanged switchAxis{
      .field = "SHtxt",
      .steps = {Write{.reg = reg::ZReplacedByA, .field = "SHtxt", .range = reg::rangeOf(reg::ZReplacedByA)}},
      .done = {ForgetBanked{}, Blank{settings + QList<Name>{"YXtxt", "BCtxt", "ZZtxt", "DZtxt"}},
               Message{otherAxisShown()}},
  };
  return ScreenDecl{
      .intervalMs = p.intervalMs,
      .silentLimit = 8,
      .repeatingReads = false,
      .reads = {
          Read{.reg = reg::NormalStartInput[a], .field = "SRtxt"},
          Read{.reg = reg::ZReplacedByA, .also = {{"Label2", zOrA("有效", "轴电机")}}},
          Read{.reg = reg::NormalStartStop[a], .field = "XZtxt", .also = {{"YXtxt", kRunStop}}},
          Read{.reg = reg::ZReplacedByA, .also = {{"Label3", zOrA("", "轴运行模式")}}},
          Read{.reg = reg::NormalRunMode[a], .field = "XDtxt", .also = {{"BCtxt", kRunMode}}},
          Read{.reg = reg::NormalDirection[a], .field = "XJtxt", .also = {{"ZZtxt", kDirection}}},
          Read{.reg = reg::NormalAbsolute[a], .field = "ZBtxt", .also = {{"DZtxt", kDistanceKind}}},
          Read{.reg = reg::NormalDistance[a], .count = 2, .field = "XYtxt", .scale = 100},
          Read{.reg = reg::NormalSpeed[a], .field = "SDtxt"},
          Read{.reg = reg::ZReplacedByA, .field = "SHtxt",
               .also = {{"FOtxt", kReplaced}, {"Label9", zOrA("", "轴普通功能设置")}, {"Label6", zOrA("", "运行距离:")}}},
          Read{.reg = reg::CurrentStep, .field = "BUtxt"},
      },
      // The distance goes before the speed, and the replacement flag last.
      .sequences = {Sequence{
          .button = p.download,
          .steps = {Write{.reg = reg::NormalStartInput[a], .field = "SRtxt", .range = reg::rangeOf(reg::NormalStartInput[a])},
                    Write{.reg = reg::NormalStartStop[a], .field = "XZtxt", .range = reg::rangeOf(reg::NormalStartStop[a])},
                    Write{.reg = reg::NormalRunMode[a], .field = "XDtxt", .range = reg::rangeOf(reg::NormalRunMode[a])},
                    Write{.reg = reg::NormalDirection[a], .field = "XJtxt", .range = reg::rangeOf(reg::NormalDirection[a])},
                    Write{.reg = reg::NormalAbsolute[a], .field = "ZBtxt", .range = reg::rangeOf(reg::NormalAbsolute[a])},
                    Write{.reg = reg::NormalDistance[a], .field = "XYtxt", .count = 2, .scale = 100},
                    Write{.reg = reg::NormalSpeed[a], .field = "SDtxt"},
                    Write{.reg = reg::ZReplacedByA, .field = "SHtxt", .range = reg::rangeOf(reg::ZReplacedByA)}},
          .clears = ClearLocks::All,
          .whenChanged = switchAxis}},
  };
}

}  // namespace

AxisStep::AxisStep(AxisPage which)
    : Screen(page(which).form, which == AxisPage::ZA ? zaTable(page(which)) : singleAxisTable(page(which))) {
  build(*this, controls(which));
  bindControls();
}

}  // namespace lorvane::screens
