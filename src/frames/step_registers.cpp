#include "frames/step_registers.h"

#include <array>
#include <cmath>
#include <limits>

#include "frames/registers.h"

namespace lorvane::reg {

namespace {

constexpr int mm = 100;  // hundredths of a millimetre, shown in millimetres
// What a register can hold where the screens set no narrower range.
constexpr std::int64_t kWordMax = 65535;
constexpr std::int64_t kPairMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kPairMax = std::numeric_limits<std::int32_t>::max();

// Addresses the arc and line pages share with the X and Y pages: 0x1044/0x1045 are the start
// condition of an arc step and of X's move, 0x1046/0x1047 those of a line step and of Y's move.
// One register, one name: the X and Y names, which the backup's summary shows as the start
// condition of an arc or line step.
constexpr std::array<Banked, 79> kStep = {{
    {"hub.teachOrArcSize", TeachOrArcSize, 1, 1, "", 0, 1},
    {"x.runMode", NormalRunMode[X], 1, 1, "", 0, 3},
    {"x.direction", NormalDirection[X], 1, 1, "", 0, 1},
    {"x.distance", NormalDistance[X], 2, mm, "mm", kPairMin, kPairMax},
    {"y.runMode", NormalRunMode[Y], 1, 1, "", 0, 3},
    {"y.direction", NormalDirection[Y], 1, 1, "", 0, 1},
    {"y.distance", NormalDistance[Y], 2, mm, "mm", kPairMin, kPairMax},
    {"z.runMode", NormalRunMode[Z], 1, 1, "", 0, 3, nullptr, true},
    {"z.direction", NormalDirection[Z], 1, 1, "", 0, 1, nullptr, true},
    {"z.distance", NormalDistance[Z], 2, mm, "mm", kPairMin, kPairMax, nullptr, true},
    {"direct1.output", DirectOutput[0], 1, 1, "", 0, 12, "1-12"},
    {"direct2.output", DirectOutput[1], 1, 1, "", 0, 12, "1-12"},
    {"direct3.output", DirectOutput[2], 1, 1, "", 0, 12, "1-12"},
    {"cond1.input", CondInput[0], 1, 1, "", 0, 13, "1-13"},
    {"cond1.output", CondOutput[0], 1, 1, "", 0, 12, "1-12"},
    {"cond2.input", CondInput[1], 1, 1, "", 0, 13, "1-13"},
    {"cond2.output", CondOutput[1], 1, 1, "", 0, 12, "1-12"},
    {"cond3.input", CondInput[2], 1, 1, "", 0, 13, "1-13"},
    {"cond3.output", CondOutput[2], 1, 1, "", 0, 12, "1-12"},
    {"timing.endDelay", StepEndDelay, 1, 1, "ms", 0, kWordMax},
    {"direct4.output", DirectOutput[3], 1, 1, "", 0, 12, "1-12"},
    {"x.speed", NormalSpeed[X], 1, 1, "RPM", 0, kWordMax},
    {"y.speed", NormalSpeed[Y], 1, 1, "RPM", 0, kWordMax},
    {"z.speed", NormalSpeed[Z], 1, 1, "RPM", 0, kWordMax, nullptr, true},
    {"hub.startDelay", StepStartDelay, 1, 1, "ms", 0, kWordMax},
    {"x.startInput", NormalStartInput[X], 1, 1, "", 0, 13, "1-13"},
    {"x.startStop", NormalStartStop[X], 1, 1, "", 0, 1},
    {"y.startInput", NormalStartInput[Y], 1, 1, "", 0, 13, "1-13"},
    {"y.startStop", NormalStartStop[Y], 1, 1, "", 0, 1},
    {"z.startInput", NormalStartInput[Z], 1, 1, "", 0, 13, "1-13", true},
    {"z.startStop", NormalStartStop[Z], 1, 1, "", 0, 1, nullptr, true},
    {"timing.loopFrom", LoopFrom, 1, 1, "", 0, 80, "1-80"},
    {"timing.loopTo", LoopTo, 1, 1, "", 0, 80, "1-80"},
    {"timing.loopCount", LoopCount, 1, 1, "", 0, kWordMax},
    {"z.replacedByA", ZReplacedByA, 1, 1, "", 0, 1},
    {"teach.xMode", TeachAxisMode[0], 1, 1, "", 0, kWordMax},
    {"teach.yMode", TeachAxisMode[1], 1, 1, "", 0, kWordMax},
    {"teach.zMode", TeachAxisMode[2], 1, 1, "", 0, kWordMax},
    {"teach.cMode", TeachAxisMode[3], 1, 1, "", 0, kWordMax},
    {"teach.xPulses", TeachPulses[0], 2, 1, "", kPairMin, kPairMax},
    {"teach.yPulses", TeachPulses[1], 2, 1, "", kPairMin, kPairMax},
    {"teach.zPulses", TeachPulses[2], 2, 1, "", kPairMin, kPairMax},
    {"teach.cPulses", TeachPulses[3], 2, 1, "", kPairMin, kPairMax},
    {"teach.xSpeed", TeachSpeed[0], 1, 1, "", 0, kWordMax},
    {"teach.ySpeed", TeachSpeed[1], 1, 1, "", 0, kWordMax},
    {"teach.zSpeed", TeachSpeed[2], 1, 1, "", 0, kWordMax},
    {"teach.cSpeed", TeachSpeed[3], 1, 1, "", 0, kWordMax},
    {"direct4.state", DirectOutputState[3], 1, 1, "", 0, 1},
    {"direct1.state", DirectOutputState[0], 1, 1, "", 0, 1},
    {"direct2.state", DirectOutputState[1], 1, 1, "", 0, 1},
    {"direct3.state", DirectOutputState[2], 1, 1, "", 0, 1},
    {"cond1.outputState", CondOutputState[0], 1, 1, "", 0, 1},
    {"cond2.outputState", CondOutputState[1], 1, 1, "", 0, 1},
    {"cond3.outputState", CondOutputState[2], 1, 1, "", 0, 1},
    {"x.absolute", NormalAbsolute[X], 1, 1, "", 0, 1},
    {"y.absolute", NormalAbsolute[Y], 1, 1, "", 0, 1},
    {"z.absolute", NormalAbsolute[Z], 1, 1, "", 0, 1, nullptr, true},
    {"c.startInput", NormalStartInput[C], 1, 1, "", 0, 13, "1-13"},
    {"c.startStop", NormalStartStop[C], 1, 1, "", 0, 1},
    {"c.runMode", NormalRunMode[C], 1, 1, "", 0, 3},
    {"c.direction", NormalDirection[C], 1, 1, "", 0, 1},
    {"c.distance", NormalDistance[C], 2, mm, "mm", kPairMin, kPairMax},
    {"c.absolute", NormalAbsolute[C], 1, 1, "", 0, 1},
    {"arc.speed", ArcSpeed, 1, 1, "RPM", 50, 1000},
    {"line.speed", LineSpeed, 1, 1, "RPM", 0, kWordMax},
    {"c.speed", NormalSpeed[C], 1, 1, "RPM", 0, kWordMax},
    {"cond1.inputState", CondInputState[0], 1, 1, "", 0, 1},
    {"cond2.inputState", CondInputState[1], 1, 1, "", 0, 1},
    {"cond3.inputState", CondInputState[2], 1, 1, "", 0, 1},
    {"arc.centreX", ArcCentreX, 2, mm, "mm", kPairMin, kPairMax},
    {"arc.centreY", ArcCentreY, 2, mm, "mm", kPairMin, kPairMax},
    {"arc.endX", ArcEndX, 2, mm, "mm", kPairMin, kPairMax},
    {"arc.endY", ArcEndY, 2, mm, "mm", kPairMin, kPairMax},
    {"line.endX", LineEndX, 2, mm, "mm", kPairMin, kPairMax},
    {"line.endY", LineEndY, 2, mm, "mm", kPairMin, kPairMax},
    {"arc.direction", ArcDirection, 1, 1, "", 0, kWordMax},
    {"hub.arc", ArcFlag, 1, 1, "", 0, kWordMax},
    {"hub.line", LineFlag, 1, 1, "", 0, kWordMax},
    {"hub.normalMode", NormalMode, 1, 1, "", 0, kWordMax},
}};

constexpr std::array<Banked, 4> kProject = {{
    {"project.stepCount", StepCount, 1, 1, "", 0, 50},
    {"project.loops", ProjectLoops, 1, 1, "", 0, 1},
    {"project.speedOverride", SpeedOverride, 1, 1, "%", 0, 100},
    {"project.next", NextProject, 1, 1, "", 0, 10, "1-10"},
}};

// The table holds what the controller banks, and nothing twice.
constexpr bool consistent() {
  for (const Banked& r : kStep) {
    if (!stepBanked(r.address) || (r.count == 2 && !stepBanked(static_cast<std::uint16_t>(r.address + 1)))) return false;
    for (const Banked& o : kStep)
      if (&o != &r && (o.address == r.address || (o.count == 2 && o.address + 1 == r.address))) return false;
  }
  for (const Banked& r : kProject)
    if (!projectBanked(r.address)) return false;
  for (const auto& table : {std::span<const Banked>(kStep), std::span<const Banked>(kProject)})
    for (const Banked& r : table)
      if (r.min > r.max || r.min < (r.count == 2 ? kPairMin : 0) || r.max > (r.count == 2 ? kPairMax : kWordMax)) return false;
  return true;
}
static_assert(consistent());

}  // namespace

std::span<const Banked> stepRegisters() { return kStep; }
std::span<const Banked> projectRegisters() { return kProject; }

const Banked* bankedAt(std::uint16_t address) {
  for (const auto& table : {stepRegisters(), projectRegisters()})
    for (const Banked& r : table)
      if (r.address == address) return &r;
  return nullptr;
}

const Banked* bankedNamed(const QString& name) {
  for (const auto& table : {stepRegisters(), projectRegisters()})
    for (const Banked& r : table)
      if (name == QLatin1String(r.name)) return &r;
  return nullptr;
}

bool zaSharedAt(std::uint16_t address) {
  for (const Banked& r : kStep)
    if (r.zaShared && (address == r.address || (r.count == 2 && address == r.address + 1))) return true;
  return false;
}

QString rangeText(const Banked& r) {
  return r.rangeText ? QString::fromLatin1(r.rangeText) : QStringLiteral("%1-%2").arg(r.min).arg(r.max);
}

Range rangeOf(std::uint16_t address) {
  const Banked* r = bankedAt(address);
  Q_ASSERT(r);
  if (!r) return Range{};
  return Range{double(r->min), double(r->max), rangeMessage(rangeText(*r))};
}

bool inRange(const Banked& r, std::int64_t raw) { return raw >= r.min && raw <= r.max; }

double shownValue(const Banked& r, std::int64_t raw) { return double(raw) / r.scale; }

bool rawValue(const Banked& r, double shown, std::int64_t* raw) {
  if (!std::isfinite(shown)) return false;
  const double v = std::round(shown * r.scale);
  if (std::abs(v - shown * r.scale) > 1e-6 * std::max(1.0, std::abs(v))) return false;
  const double lo = r.count == 2 ? double(std::numeric_limits<std::int32_t>::min()) : 0.0;
  const double hi = r.count == 2 ? double(std::numeric_limits<std::int32_t>::max()) : 65535.0;
  if (v < lo || v > hi) return false;
  *raw = static_cast<std::int64_t>(v);
  return true;
}

}  // namespace lorvane::reg
