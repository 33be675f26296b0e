#include "sim/runner.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>

#include "frames/registers.h"

namespace lorvane::runner {

namespace {

constexpr bool in(int a, int lo, int hi) { return a >= lo && a <= hi; }

// An input condition: 0 (or no such input) is none; else the step waits for the input active
// (runOrStop 0) or inactive (1). A plan takes it as met and notes the input.
bool conditionMet(const Store& store, int input, int runOrStop, Move& move) {
  if (!in(input, 1, kInputs)) return true;
  if (std::find(move.conditions.begin(), move.conditions.end(), input) == move.conditions.end()) move.conditions.push_back(input);
  if (!store.input) return true;
  const bool active = store.input(input);
  return runOrStop == 0 ? active : !active;
}

double pulsesToHundredths(const Store& store, int axis, std::int32_t pulses) {
  const double ppr = store.parameter(reg::AxisParamReg[reg::PulsesPerRev][static_cast<size_t>(axis)]);
  const double lead = store.parameter(reg::AxisParamReg[reg::LeadMicrons][static_cast<size_t>(axis)]);
  if (ppr == 0 || lead == 0) return pulses;
  return pulses * lead / (ppr * 10.0);
}

}  // namespace

std::int32_t Store::pair(int p, int s, std::uint16_t first) const {
  const std::uint32_t lo = step(p, s, first);
  const std::uint32_t hi = step(p, s, static_cast<std::uint16_t>(first + 1));
  return static_cast<std::int32_t>((hi << 16) | lo);
}

int Store::stepCount(int p) const { return std::clamp<int>(project(p, reg::StepCount), 0, kSteps); }

Point Move::at(double t) const {
  Point p{};
  for (size_t a = 0; a < kAxes; ++a) p[a] = from[a] + (to[a] - from[a]) * t;
  if (arc && t < 1.0) {
    const double angle = a0 + sweep * t;
    p[reg::X] = cx + radius * std::cos(angle);
    p[reg::Y] = cy + radius * std::sin(angle);
  }
  return p;
}

Move interpret(const Store& store, int p, int s, const Point& from) {
  const auto r = [&](std::uint16_t a) { return store.step(p, s, a); };
  const auto pair = [&](std::uint16_t a) { return double(store.pair(p, s, a)); };
  Move m;
  m.project = p;
  m.step = s;
  m.from = m.to = from;
  m.startDelayMs = r(reg::StepStartDelay);
  m.endDelayMs = r(reg::StepEndDelay);

  // Which axes the per-axis pages drive: the arc leaves Z and A to them, the line Z, C and A.
  const int zaAxis = r(reg::ZReplacedByA) == 1 ? reg::A : reg::Z;
  std::array<bool, kAxes> normal{};
  normal[static_cast<size_t>(zaAxis)] = true;
  if (r(reg::ArcFlag) == 1) {
    m.kind = Kind::Arc;
    m.drawing = 1;
    if (conditionMet(store, r(reg::ArcStartInput), r(reg::ArcStartStop), m)) {
      const double cx = pair(reg::ArcCentreX), cy = pair(reg::ArcCentreY);
      const double ex = pair(reg::ArcEndX), ey = pair(reg::ArcEndY);
      const double a0 = std::atan2(-cy, -cx);
      double sweep = std::atan2(ey - cy, ex - cx) - a0;
      const double turn = 2 * std::numbers::pi;
      const bool clockwise = r(reg::ArcDirection) == 0;  // as seen with X to the right, Y up
      if (clockwise) { while (sweep >= 0) sweep -= turn; } else { while (sweep <= 0) sweep += turn; }
      if (r(reg::TeachOrArcSize) == 1) sweep += clockwise ? -turn : turn;  // more than a full turn
      m.arc = true;
      m.cx = from[reg::X] + cx;
      m.cy = from[reg::Y] + cy;
      m.radius = std::hypot(cx, cy);
      m.a0 = a0;
      m.sweep = sweep;
      m.to[reg::X] = from[reg::X] + ex;
      m.to[reg::Y] = from[reg::Y] + ey;
      m.moves[reg::X] = m.moves[reg::Y] = m.radius > 0;
    }
  } else if (r(reg::LineFlag) == 1) {
    m.kind = Kind::Line;
    m.drawing = 2;
    normal[reg::C] = true;
    if (conditionMet(store, r(reg::LineStartInput), r(reg::LineStartStop), m)) {
      m.to[reg::X] = from[reg::X] + pair(reg::LineEndX);
      m.to[reg::Y] = from[reg::Y] + pair(reg::LineEndY);
    }
  } else if (r(reg::NormalMode) == 3) {
    // Teach step: teach axes go to their taught point, the others follow their pages; the Z/A
    // page drives A when it is switched to A, else Z unless Z is a teach axis.
    m.kind = Kind::Teach;
    std::array<bool, 4> teach{};
    for (size_t i = 0; i < 4; ++i) {
      teach[i] = r(reg::TeachAxisMode[i]) == 0;
      if (teach[i]) m.to[i] = pulsesToHundredths(store, static_cast<int>(i), store.pair(p, s, reg::TeachPulses[i]));
    }
    normal[reg::X] = !teach[reg::X];
    normal[reg::Y] = !teach[reg::Y];
    normal[reg::C] = !teach[reg::C];
    normal[reg::Z] = zaAxis == reg::Z && !teach[reg::Z];
  } else {
    const int mode = r(reg::NormalMode);
    if (mode >= 1 && mode <= 2) normal[reg::C] = true;
    if (mode == 2) normal[reg::X] = normal[reg::Y] = true;
    if (mode > 2) normal.fill(false);  // 3 belongs to the teach step; other values drive nothing
  }
  for (int a = 0; a < kAxes; ++a) {
    const auto i = static_cast<size_t>(a);
    if (!normal[i] || (a == reg::Z && zaAxis != reg::Z) || (a == reg::A && zaAxis != reg::A)) continue;
    const int runMode = r(reg::NormalRunMode[i]);
    const double dist = pair(reg::NormalDistance[i]);
    const bool absolute = r(reg::NormalAbsolute[i]) == 1;
    const double sign = r(reg::NormalDirection[i]) == 1 ? -1 : 1;
    const bool go = runMode == 2 || (runMode == 3 && conditionMet(store, r(reg::NormalStartInput[i]), r(reg::NormalStartStop[i]), m));
    if (runMode == 1) m.to[i] = 0;
    else if (go) m.to[i] = absolute ? dist : from[i] + sign * dist;
  }
  for (size_t a = 0; a < kAxes; ++a)
    if (!m.arc || (a != reg::X && a != reg::Y)) m.moves[a] = m.to[a] != m.from[a];

  // Outputs the step sets directly, then those conditioned on an input.
  for (size_t g = 0; g < reg::DirectOutput.size(); ++g) {
    const int n = r(reg::DirectOutput[g]);
    if (in(n, 1, kOutputs)) m.outputs.emplace_back(n, r(reg::DirectOutputState[g]) == 0);
  }
  if (store.input) {
    for (size_t g = 0; g < reg::CondInput.size(); ++g) {
      const int l = r(reg::CondInput[g]);
      const int y = r(reg::CondOutput[g]);
      if (in(l, 1, kInputs) && in(y, 1, kOutputs) && store.input(l) == (r(reg::CondInputState[g]) == 1))
        m.outputs.emplace_back(y, r(reg::CondOutputState[g]) == 0);
    }
  }
  return m;
}

Sequence::Next Sequence::advance(const Store& store) {
  const int s = step_;
  // Loop: after step B (this one), run steps A..B again, C times.
  const int from = store.step(project_, s, reg::LoopFrom);
  const int to = store.step(project_, s, reg::LoopTo);
  const int times = store.step(project_, s, reg::LoopCount);
  if (times > 0 && to == s && in(from, 1, s)) {
    int& done = loopsDone_[s];
    if (done < times) {
      ++done;
      step_ = from;
      return Next::LoopPass;
    }
    done = 0;
  }
  if (s + 1 <= store.stepCount(project_)) {
    step_ = s + 1;
    return Next::Step;
  }
  loopsDone_.clear();
  step_ = 1;
  if (store.project(project_, reg::ProjectLoops) == 1) return Next::Repeat;
  const int next = store.project(project_, reg::NextProject);
  if (in(next, 1, kProjects) && store.project(next, reg::StepCount) > 0) {
    project_ = next;
    return Next::Chain;
  }
  return Next::Done;
}

Plan plan(const Store& store, int project, const Point& start, int maxMoves) {
  Plan out;
  if (!in(project, 1, kProjects) || store.stepCount(project) == 0) return out;
  Sequence seq(project);
  std::set<int> planned{project};
  std::map<int, int> passes;  // step that closes a loop -> passes drawn
  Point at = start;
  for (;;) {
    if (static_cast<int>(out.moves.size()) >= maxMoves) {
      out.marks.push_back({Plan::MarkKind::Cut, static_cast<int>(out.moves.size()) - 1, 0});
      return out;
    }
    out.moves.push_back(interpret(store, seq.project(), seq.step(), at));
    at = out.moves.back().to;
    const int last = static_cast<int>(out.moves.size()) - 1;
    const int closing = seq.step();
    switch (seq.advance(store)) {
      case Sequence::Next::Step:
        break;
      case Sequence::Next::LoopPass:
        out.marks.push_back({Plan::MarkKind::LoopPassEnd, last, ++passes[closing]});
        break;
      case Sequence::Next::Repeat:
        out.marks.push_back({Plan::MarkKind::Repeat, last, seq.project()});
        return out;
      case Sequence::Next::Chain:
        if (!planned.insert(seq.project()).second) {
          out.marks.push_back({Plan::MarkKind::ChainAgain, last, seq.project()});
          return out;
        }
        passes.clear();
        out.marks.push_back({Plan::MarkKind::Chain, last, seq.project()});
        break;
      case Sequence::Next::Done:
        return out;
    }
  }
}

}  // namespace lorvane::runner
