#include "screens/axes/axis_parameters.h"

#include <QLabel>
#include <array>

#include "ui/controls.h"

namespace lorvane::screens {

using namespace lorvane::ui;

namespace {

// ---- The ten parameters, in the order they are read and written (registers in reg::AxisParamReg)

constexpr int kNoRange = -1;

struct Param {
  const char* field;
  int scale;   // the register holds the value times this: 100 degrees, 1000 mm (shown divided)
  int max;     // a written value (after scaling) must lie in 0..max; kNoRange: no range check
  int maxOnX;  // X's own bound where it differs
};

// In the order they are read and written (reg::AxisParam).
constexpr std::array<Param, reg::AxisParamCount> kParams = {{
    // field    scale  range    on X
    {"WQtxt", 1, 65535, 65535},        // driver microstepping
    {"TStxt", 1, 2000, 1500},          // debug speed, RPM
    {"JHtxt", 1, 13, 13},              // mechanical-zero signal input
    {"FXtxt", 1, 13, 13},              // reverse-limit signal input
    {"ZXtxt", 1, 13, 13},              // forward-limit signal input
    {"DBtxt", 100, 65535, 65535},      // motor step angle, degrees
    {"QPtxt", 1, 50000, 50000},        // start frequency, Hz
    {"JPtxt", 1, 999, 999},            // acceleration frequency, Hz
    {"MCtxt", 1, kNoRange, kNoRange},  // pulses per motor revolution
    {"JLtxt", 1000, kNoRange, kNoRange},  // travel per revolution (screw lead), mm
}};

std::optional<Range> rangeOf(const Param& p, int axis) {
  const int max = axis == reg::X ? p.maxOnX : p.max;
  if (max == kNoRange) return std::nullopt;
  return range(0, max);
}

constexpr int kIntervalMs = 80;       // at load and at the click of SScmd
constexpr int kAfterSaveMs = 50;      // once the save coil is answered
constexpr int kSilentLimit = 8;

ScreenDecl exchangeTable() {
  return ScreenDecl{.intervalMs = kIntervalMs,
                    .silentLimit = kSilentLimit,
                    .reads = axisParameterReads(reg::X),
                    .sequences = {axisParameterDownload(reg::X)}};
}

const QStringList kInstructions = {
    QStringLiteral(""),
    QStringLiteral("1、启动、加速频率一般设定为50"),
    QStringLiteral(""),
    QStringLiteral("2、高速运行时，如600RPM以上时，"),
    QStringLiteral("   加速频率可以设定小一些,如30 "),
    QStringLiteral(""),
    QStringLiteral("3、调试速度对应电机测试的速度，不是 "),
    QStringLiteral("   电机工程参数运行的速度。 "),
    QStringLiteral(""),
    QStringLiteral("4、脉冲当量的前面设置为脉冲数据 "),
    QStringLiteral("电机转一圈，控制器发送的脉冲数据 "),
    QStringLiteral("如细分为8，步距角为1.8度，那么 "),
    QStringLiteral("脉冲数据为：360/1.8 *8(细分)=1600 "),
    QStringLiteral("后面设置为电机转一圈对应的距离 "),
    QStringLiteral("也就是螺距，如电机转一圈，丝杆走5MM "),
    QStringLiteral(""),
    QStringLiteral("5、设定好后，点“下载并保存”键，"),
    QStringLiteral("设定的 数据就发给控制器 "),
    QStringLiteral("并让控制器保存这些数据! "),
    QStringLiteral(""),
    QStringLiteral("点“下载并保存”键，变红色"),
    QStringLiteral("等恢复了本色，才算成功！"),
    QStringLiteral("超过20秒没恢复，就再点击一次"),
};

// The title, three columns (the instructions on the right) and the two buttons along the bottom.
const Controls kControls = Controls{
    heading("Szlel", ""),
    group("Frame2", "", "", 1),
    label("Label16", "外接驱动器细分:", "Frame2", 0), entry("WQtxt", "0", "Frame2", 0),
    label("Label9", "调试速度:", "Frame2", 1), entry("TStxt", "0", "Frame2", 1), label("Label10", "RPM", "Frame2", 1),
    label("Label12", "设定机械零信号点:L", "Frame2", 2), entry("JHtxt", "0", "Frame2", 2),
    label("Label1", "反向限位信号点:L", "Frame2", 3), entry("FXtxt", "0", "Frame2", 3),
    label("Label2", "正向限位信号点:L", "Frame2", 4), entry("ZXtxt", "0", "Frame2", 4),
    stretch("Frame2", 5),
    group("Frame3", "", "", 1),
    label("Label18", "电机步距角:", "Frame3", 0), entry("DBtxt", "0.00", "Frame3", 0), label("Label19", "度", "Frame3", 0),
    label("Label5", "启动频率:", "Frame3", 1), entry("QPtxt", "0", "Frame3", 1), label("Label8", "HZ", "Frame3", 1),
    label("Label7", "加速频率:", "Frame3", 2), entry("JPtxt", "0", "Frame3", 2), label("Label6", "HZ", "Frame3", 2),
    group("Frame1", "脉冲当量比例设定(螺距)", "Frame3", 3),
    // The headings over the pulse count and the distance, the ":" between the two fields.
    spanning(aligned(label("Label20", "脉冲当量", "Frame1", 0), Qt::AlignCenter), 2),
    aligned(label("Label21", "距离mm", "Frame1", 0), Qt::AlignCenter),
    entry("MCtxt", "0", "Frame1", 1), label("Label22", ":", "Frame1", 1), entry("JLtxt", "0.000", "Frame1", 1),
    stretch("Frame3", 4),
} + instructions("Frame5", kInstructions, "", 1) + Controls{
    group("Frame4", "", "", 2),
    button("SScmd", "下载并保存数据", SystemButton, "Frame4", 0), button("EXtxt", "返 回", SystemButton, "Frame4", 0),
};

}  // namespace

// ---- The phase table of one axis -------------------------------------------------------------

// The read cycle: parameter k of the axis into its field, scaled values shown divided.
QList<Read> axisParameterReads(int axis) {
  QList<Read> reads;
  for (int k = 0; k < reg::AxisParamCount; ++k)
    reads << Read{.reg = reg::AxisParamReg[k][axis], .field = kParams[k].field, .scale = kParams[k].scale};
  return reads;
}

// "下载并保存数据": the ten writes in table order, then the save coil (sent once), locks all
// cleared; the first write goes out one full interval after the click, 80 ms ticks while it
// runs and 50 ms once the save is answered; reading then starts again at the axis's first
// parameter.
Sequence axisParameterDownload(int axis) {
  Sequence s{.button = "SScmd",
             .clears = ClearLocks::All,
             .onClick = {SetInterval{kIntervalMs}, RestartTimer{}},
             .onDone = {SetInterval{kAfterSaveMs}}};
  for (int k = 0; k < reg::AxisParamCount; ++k) {
    const Param& p = kParams[k];
    // The scaled fields are taken as numbers as a whole; the others by their leading number.
    s.steps << Write{.reg = reg::AxisParamReg[k][axis], .field = p.field, .scale = p.scale,
                     .range = rangeOf(p, axis), .wholeText = p.scale != 1};
  }
  s.steps << Coil{.coil = coil::SaveParameters};
  return s;
}

const QStringList& AxisParameters::axisTitles() {
  static const QStringList titles = {QStringLiteral("X轴参数设定"), QStringLiteral("Y轴参数设定"),
                                     QStringLiteral("Z轴参数设定"), QStringLiteral("C轴参数设定"),
                                     QStringLiteral("A轴参数设定")};
  return titles;
}

// ---- The controls ----------------------------------------------------------------------------

AxisParameters::AxisParameters() : Screen("Mainfrm5", exchangeTable()) {
  build(*this, kControls);
  // The title is empty until the axis menu names the axis: its line keeps its height.
  auto* title = control<QLabel>("Szlel");
  title->setMinimumHeight(title->fontMetrics().height() + 8);
  bindControls();
}

void AxisParameters::setTitle(const QString& text) {
  control<QLabel>("Szlel")->setText(text);
  const int axis = static_cast<int>(axisTitles().indexOf(text));
  if (axis >= 0) selectAxis(axis);
}

// The reads and the download now address this axis; the cycle starts at its first parameter,
// and what the fields show counts as known again only once read (or typed).
void AxisParameters::selectAxis(int axis) {
  axis_ = axis;
  exchange().setReads(axisParameterReads(axis));
  exchange().setSequences({axisParameterDownload(axis)});
}

}  // namespace lorvane::screens
