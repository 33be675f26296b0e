#include "sim/motion.h"

#include <algorithm>
#include <cmath>

namespace lorvane::sim {

namespace {
// A homing move that has found no signal after this much travel gives up (hundredths of a mm).
constexpr double kHomingTravelLimit = 200000;
}  // namespace

std::int32_t clampToLong(double v) {
  if (v > 2147483647.0) return 2147483647;
  if (v < -2147483648.0) return -2147483647 - 1;
  return static_cast<std::int32_t>(std::lround(v));
}

void ManualMotion::jog(int a) {
  const double dist = regs_.at(reg::JogDistance[a]);
  if (dist == 0) return;
  const int dir = regs_.at(reg::JogDirection[a]) == 0 ? 1 : -1;
  axes_[a].manual = Manual::Jog;
  axes_[a].target = pos_[a] + dir * dist;
  event_({Event::Kind::Jog, a, 0, dir * dist / 100.0});
}

void ManualMotion::home(int a) {
  axes_[a].manual = Manual::Home;
  axes_[a].travelled = 0;
  event_({Event::Kind::Home, a});
}

void ManualMotion::stop() {
  for (auto& ax : axes_) ax.manual = Manual::None;
}

void ManualMotion::tick() {
  for (int a = 0; a < kAxes; ++a) move(a);
}

int ManualMotion::holdDirection(int a) const {
  bool fwd = coil_(coil::Forward[a]);
  bool rev = coil_(coil::Reverse[a]);
  if (a < 4) {  // the teach page jogs X, Y, Z and C
    fwd = fwd || coil_(coil::TeachForward[static_cast<size_t>(a)]);
    rev = rev || coil_(coil::TeachReverse[static_cast<size_t>(a)]);
  }
  return fwd == rev ? 0 : (fwd ? 1 : -1);
}

double ManualMotion::rate(int a) const {
  // Debug speed (turns per minute) times the lead (micrometres per turn), in hundredths per ms.
  const double rate =
      regs_.at(reg::AxisParamReg[reg::DebugSpeed][a]) * double(regs_.at(reg::AxisParamReg[reg::LeadMicrons][a])) / 600000.0;
  return std::max(rate, 0.1);
}

bool ManualMotion::limitHit(int a, int direction) const {
  const int n = regs_.at(reg::AxisParamReg[direction > 0 ? reg::ForwardLimit : reg::ReverseLimit][a]);
  return in(n, 1, kInputs) && input_(n);
}

bool ManualMotion::moving(int a) const {
  if (const int hold = holdDirection(a); hold != 0) return !limitHit(a, hold);
  return axes_[a].manual != Manual::None;
}

void ManualMotion::move(int a) {
  Axis& ax = axes_[a];
  double& pos = pos_[a];
  const double r = rate(a);
  if (const int hold = holdDirection(a); hold != 0) {
    ax.manual = Manual::None;  // holding a drive button overrides a jog or homing move
    if (!limitHit(a, hold)) pos += hold * r;
    return;
  }
  if (ax.manual == Manual::Jog) {
    const double left = ax.target - pos;
    const int dir = left >= 0 ? 1 : -1;
    if (limitHit(a, dir)) {
      ax.manual = Manual::None;
      event_({Event::Kind::JogAtLimit, a});
    } else if (std::abs(left) <= r) {
      pos = ax.target;
      ax.manual = Manual::None;
    } else {
      pos += dir * r;
    }
  } else if (ax.manual == Manual::Home) {
    const int n = regs_.at(reg::AxisParamReg[reg::ZeroInput][a]);
    if (!in(n, 1, kInputs)) {
      // No zero signal wired: the axis goes back to coordinate 0.
      if (std::abs(pos) <= r) {
        pos = 0;
        ax.manual = Manual::None;
        event_({Event::Kind::AtZero, a});
      } else {
        pos -= (pos > 0 ? 1 : -1) * r;
      }
      return;
    }
    if (input_(n)) {
      // The zero signal is the machine's zero: the coordinate starts from there.
      pos = 0;
      ax.manual = Manual::None;
      event_({Event::Kind::Homed, a, n});
      return;
    }
    const int dir = pos > 0 ? -1 : (pos < 0 ? 1 : -1);
    if (limitHit(a, dir) || ax.travelled > kHomingTravelLimit) {
      ax.manual = Manual::None;
      event_({Event::Kind::HomeGaveUp, a, n});
      return;
    }
    pos += dir * r;
    ax.travelled += r;
  }
}

// ---- Teaching

std::int32_t ManualMotion::pulses(int a, double hundredths) const {
  const double ppr = regs_.at(reg::AxisParamReg[reg::PulsesPerRev][a]);
  const double lead = regs_.at(reg::AxisParamReg[reg::LeadMicrons][a]);
  if (ppr == 0 || lead == 0) return clampToLong(hundredths);
  return clampToLong(hundredths * 10.0 * ppr / lead);
}

void ManualMotion::storeTeachPoint() {
  for (size_t i = 0; i < 4; ++i) {
    if (regs_.at(reg::TeachAxisMode[i]) != 0) continue;
    const std::int32_t p = pulses(static_cast<int>(i), pos_[i]);
    regs_.at(reg::TeachPulses[i]) = lowWord(p);
    regs_.at(static_cast<std::uint16_t>(reg::TeachPulses[i] + 1)) = highWord(p);
  }
  event_({Event::Kind::TeachPointStored, regs_.currentStep()});
}

void ManualMotion::matchTeachSpeeds() {
  // The axis with the longest way keeps the highest speed; the others are slowed in proportion
  // so that all teach axes arrive together.
  double far = 0;
  double base = 0;
  for (size_t i = 0; i < 4; ++i) {
    if (regs_.at(reg::TeachAxisMode[i]) != 0) continue;
    far = std::max(far, std::abs(double(regs_.pair(reg::TeachPulses[i]))));
    base = std::max(base, double(regs_.at(reg::TeachSpeed[i])));
  }
  if (far == 0) return;
  if (base == 0) base = 100;
  for (size_t i = 0; i < 4; ++i) {
    if (regs_.at(reg::TeachAxisMode[i]) != 0) continue;
    const double way = std::abs(double(regs_.pair(reg::TeachPulses[i])));
    regs_.at(reg::TeachSpeed[i]) = static_cast<std::uint16_t>(way == 0 ? 0 : std::max(1.0, std::round(base * way / far)));
  }
  event_({Event::Kind::TeachSpeedsMatched, regs_.currentStep()});
}

void ManualMotion::toggleTeach(int axis) {
  std::uint16_t& mode = regs_.at(reg::TeachAxisMode[static_cast<size_t>(axis)]);
  mode = mode == 0 ? 1 : 0;
}

}  // namespace lorvane::sim
