#include "screens/axes/axis_debug.h"

#include "frames/registers.h"
#include "ui/controls.h"

namespace lorvane::screens {

using namespace lorvane::ui;

namespace {

// ---- The pages ------------------------------------------------------------------------------

struct AxisGroup {
  reg::Axis axis;
  QChar letter;   // the controls of the group are named by it: ZXtxt, SX1cmd, DDXcmd, ...
  QString frame;  // its group box
};

struct Page {
  QString form;
  QString title;
  QList<AxisGroup> axes;
  QString previous, back, next;  // page buttons in Frame3
  QStringList help;              // Frame5 "本界面操作说明", where the page has one
};

const QStringList kAHelp = {
    "  ",
    "1-本界面主要实现各轴调试,注意Z、A轴不能同时工作，也就是Z轴工作时，A轴不能工作",
    "  相反A轴工作时，Z轴不能工作。",
    "  ",
    "2-设置点动方向,0代表正方向点动,也就是让电机正转点动,相反1代表反方向点动,也就",
    "  是让电机反转点动",
    "  ",
    "3-回零信号，也就是直到外部对应设定信号有效才停止",
    "  ",
    "3-注意:一旦设置完一个参数,请立即点击设置生效按钮",
    "  ",
};

const Page& page(DebugPage p) {
  static const Page pages[] = {
      {"Mainfrm6", "X、Y轴调试", {{reg::X, 'X', "Frame1"}, {reg::Y, 'Y', "Frame2"}}, "SY3cmd", "BCcmd", "XY1cmd", {}},
      {"Mainfrm7", "Z、C轴调试", {{reg::Z, 'Z', "Frame1"}, {reg::C, 'C', "Frame4"}}, "SY4cmd", "BC1cmd", "XY2cmd", {}},
      {"mainfrm8", "A轴调试", {{reg::A, 'A', "Frame2"}}, "SY5cmd", "BC2cmd", "XY3cmd", kAHelp},
  };
  return pages[static_cast<int>(p)];
}

// ---- The controls of one axis group ----------------------------------------------------------

struct AxisControl {
  const char* prefix;
  const char* suffix;
  QString name(QChar axis) const { return QString::fromLatin1(prefix) + axis + QString::fromLatin1(suffix); }
};

const AxisControl Coordinate{"Z", "txt"};       // "0.00", display only, after "当前坐标:"
const AxisControl Distance{"J", "txt"};         // "0.00", after "点动距离:"
const AxisControl ApplyDistance{"S", "cmd"};    // "设置生效", magenta
const AxisControl Direction{"F", "txt"};        // "0", after "点动方向:", then "(0为正装,1为反转)"
const AxisControl ApplyDirection{"S", "1cmd"};  // "设置生效", green
const AxisControl Homing{"X", "txt"};           // "0", after "回零信号:"
const AxisControl ApplyHoming{"S", "2cmd"};     // "设置生效", system button colour
const AxisControl JogButton{"DD", "cmd"};       // "点动", yellow, after "X轴调试:"
const AxisControl HomeButton{"HL", "cmd"};      // "回零", yellow
const AxisControl ForwardButton{"ZZ", "cmd"};   // "正转", yellow, while held
const AxisControl ReverseButton{"FZ", "cmd"};   // "反转", yellow, while held

// ---- The exchanges ----------------------------------------------------------------------------

// Every exchange of the page ends where the read cycle starts, with the first coordinate.
// The apply buttons slow the tick to 80 ms for the rest of the visit.
Sequence apply(const QString& button, QList<Step> steps) {
  return Sequence{.button = button, .steps = std::move(steps), .clears = ClearLocks::All, .onClick = {SetInterval{80}}};
}

Sequence command(const QString& button, std::uint16_t coil) {
  return Sequence{.button = button, .steps = {Coil{.coil = coil}}};
}

ScreenDecl exchangeTable(const Page& p) {
  ScreenDecl d{.intervalMs = 50, .silentLimit = 8};
  for (const AxisGroup& g : p.axes) {
    const int a = g.axis;
    const QChar l = g.letter;
    // Coordinate (hundredths of a mm, signed pair), jog distance (hundredths), direction, homing input.
    d.reads << Read{.reg = reg::Position[a], .count = 2, .field = Coordinate.name(l), .scale = 100}
            << Read{.reg = reg::JogDistance[a], .field = Distance.name(l), .scale = 100}
            << Read{.reg = reg::JogDirection[a], .field = Direction.name(l)}
            << Read{.reg = reg::AxisParamReg[reg::ZeroInput][a], .field = Homing.name(l)};
    // The jog distance is typed in mm and sent in hundredths; it must be a plain number that fits
    // one register (0 to 655.35 mm). The homing input is kept by the controller at once.
    d.sequences << apply(ApplyDistance.name(l), {Write{.reg = reg::JogDistance[a], .field = Distance.name(l),
                                                       .scale = 100, .wholeText = true}})
                << apply(ApplyDirection.name(l), {Write{.reg = reg::JogDirection[a], .field = Direction.name(l),
                                                        .range = range(0, 1)}})
                << apply(ApplyHoming.name(l), {Write{.reg = reg::AxisParamReg[reg::ZeroInput][a], .field = Homing.name(l),
                                                     .range = range(0, 13)},
                                               Coil{.coil = coil::SaveParameters}})
                << command(JogButton.name(l), coil::Jog[a])
                << command(HomeButton.name(l), coil::Home[a]);
    d.momentaries << Momentary{ForwardButton.name(l), coil::Forward[a]}
                  << Momentary{ReverseButton.name(l), coil::Reverse[a]};
  }
  return d;
}

// ---- The controls of a page ------------------------------------------------------------------

// Each axis group: the coordinate, three settings with their apply buttons in one column, and
// the drive buttons along the bottom. The labels are numbered down the page from Label2.
Controls controlsOf(const Page& p) {
  Controls c = {heading("Label1", p.title)};
  int labels = 1;
  for (const AxisGroup& g : p.axes) {
    const QChar l = g.letter;
    const QString& f = g.frame;
    const auto text = [&](const QString& t, int line) { return label(QStringLiteral("Label%1").arg(++labels), t, f, line); };
    c << group(f, QStringLiteral("%1轴调试").arg(l), "", 1, DarkGreen)
      << text("当前坐标:", 0) << display(Coordinate.name(l), "0.00", f, 0, Cyan)
      << text("点动距离:", 1) << entry(Distance.name(l), "0.00", f, 1) << spanning(stretch(f, 1), 2)
      << button(ApplyDistance.name(l), "设置生效", Magenta, f, 1)
      << text("点动方向:", 2) << entry(Direction.name(l), "0", f, 2) << spanning(text("(0为正装,1为反转)", 2), 2)
      << button(ApplyDirection.name(l), "设置生效", Green, f, 2)
      << text("回零信号:", 3) << entry(Homing.name(l), "0", f, 3) << spanning(stretch(f, 3), 2)
      << button(ApplyHoming.name(l), "设置生效", SystemButton, f, 3)
      << text(QStringLiteral("%1轴调试:").arg(l), 4) << button(JogButton.name(l), "点动", Yellow, f, 4)
      << button(HomeButton.name(l), "回零", Yellow, f, 4) << button(ForwardButton.name(l), "正转", Yellow, f, 4)
      << button(ReverseButton.name(l), "反转", Yellow, f, 4);
  }
  if (!p.help.isEmpty()) c << instructions("Frame5", p.help, "", 1);
  c << group("Frame3", "", "", 2) << button(p.previous, "上一页", Pink, "Frame3", 0)
    << button(p.back, "返回", Pink, "Frame3", 0) << button(p.next, "下一页", Pink, "Frame3", 0);
  return c;
}

}  // namespace

AxisDebug::AxisDebug(DebugPage which) : Screen(page(which).form, exchangeTable(page(which))) {
  build(*this, controlsOf(page(which)));
  bindControls();
}

}  // namespace lorvane::screens
