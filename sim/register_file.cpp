#include "sim/register_file.h"

#include <algorithm>

namespace lorvane::sim {

namespace {
constexpr int idx(std::uint16_t address) { return RegisterFile::index(address); }
}  // namespace

void RegisterFile::reset() {
  singles_.fill(0);
  for (int a = 0; a < kAxes; ++a) {
    const auto set = [&](reg::AxisParam p, std::uint16_t v) { singles_[idx(reg::AxisParamReg[p][a])] = v; };
    set(reg::Microstep, 8);
    set(reg::DebugSpeed, 300);
    set(reg::StepAngle, 180);  // 1.8 degrees
    set(reg::StartFreq, 50);
    set(reg::AccelFreq, 50);
    set(reg::PulsesPerRev, 1600);
    set(reg::LeadMicrons, 5000);  // 5 mm per turn
    singles_[idx(reg::JogDistance[a])] = 1000;  // 10 mm
  }
  selectProject(1);
  selectStep(1);
  for (auto& p : projects_) {
    p = Project{};
    p.regs[idx(reg::SpeedOverride)] = 100;
  }
  keepAll();
}

void RegisterFile::loadDemo() {
  Project& p = working(1);
  p.regs[idx(reg::StepCount)] = 4;
  const auto set = [&](int step, std::uint16_t a, std::uint16_t v) { p.steps[static_cast<size_t>(step - 1)][idx(a)] = v; };
  const auto setLong = [&](int step, std::uint16_t a, std::int32_t v) {
    set(step, a, lowWord(v));
    set(step, static_cast<std::uint16_t>(a + 1), highWord(v));
  };
  // 1: X +50 mm and Y +20 mm, Y1 on, after 200 ms.
  set(1, reg::NormalMode, 2);
  set(1, reg::StepStartDelay, 200);
  set(1, reg::NormalRunMode[reg::X], 2);
  setLong(1, reg::NormalDistance[reg::X], 5000);
  set(1, reg::NormalRunMode[reg::Y], 2);
  setLong(1, reg::NormalDistance[reg::Y], 2000);
  set(1, reg::DirectOutput[0], 1);
  // 2: a line to (20, -20) from where step 1 ended, Y2 on.
  set(2, reg::LineFlag, 1);
  set(2, reg::NormalMode, 1);
  setLong(2, reg::LineEndX, 2000);
  setLong(2, reg::LineEndY, -2000);
  set(2, reg::DirectOutput[0], 2);
  // 3: a counter-clockwise quarter arc around (20, 0) to (20, -20).
  set(3, reg::ArcFlag, 1);
  set(3, reg::ArcDirection, 1);
  setLong(3, reg::ArcCentreX, 2000);
  setLong(3, reg::ArcEndX, 2000);
  setLong(3, reg::ArcEndY, -2000);
  // 4: X and Y back to their mechanical zero, Y1 and Y2 off, 300 ms pause after.
  set(4, reg::NormalMode, 2);
  set(4, reg::NormalRunMode[reg::X], 1);
  set(4, reg::NormalRunMode[reg::Y], 1);
  set(4, reg::DirectOutput[0], 1);
  set(4, reg::DirectOutputState[0], 1);
  set(4, reg::DirectOutput[1], 2);
  set(4, reg::DirectOutputState[1], 1);
  set(4, reg::StepEndDelay, 300);
  kept_[0] = p;
}

void RegisterFile::selectProject(int project) {
  project_ = project;
  singles_[idx(reg::CurrentProject)] = static_cast<std::uint16_t>(project);
}

void RegisterFile::selectStep(int step) {
  step_ = step;
  singles_[idx(reg::CurrentStep)] = static_cast<std::uint16_t>(step);
}

void RegisterFile::stepBy(int delta) {
  const int set = working(project_).regs[idx(reg::StepCount)];
  const int count = set == 0 ? kSteps : std::min(set, kSteps);
  int step = step_;
  if (delta > 0 && step < count) ++step;
  if (delta < 0 && step > 1) --step;
  selectStep(step);
}

int RegisterFile::aSlot(int project, int step, std::uint16_t address) const {
  const auto* at = std::find(kZaRegisters.begin(), kZaRegisters.end(), address);
  if (at == kZaRegisters.end()) return -1;
  if (working(project).steps[static_cast<size_t>(step - 1)][idx(reg::ZReplacedByA)] != 1) return -1;
  return static_cast<int>(at - kZaRegisters.begin());
}

// Where an address of a project and step is held: A's copy of a Z/A setting, the step's bank,
// the project's bank, or the single registers.
template <class Self>
auto& RegisterFile::cell(Self& self, int project, int step, std::uint16_t address) {
  auto& p = self.projects_[static_cast<size_t>(project - 1)];
  const auto s = static_cast<size_t>(step - 1);
  if (const int a = self.aSlot(project, step, address); a >= 0) return p.a[s][static_cast<size_t>(a)];
  if (reg::stepBanked(address)) return p.steps[s][idx(address)];
  if (reg::projectBanked(address)) return p.regs[idx(address)];
  return self.singles_[idx(address)];
}

std::uint16_t& RegisterFile::at(std::uint16_t address) { return cell(*this, project_, step_, address); }

std::uint16_t RegisterFile::at(int project, int step, std::uint16_t address) const { return cell(*this, project, step, address); }

std::int32_t RegisterFile::pair(int project, int step, std::uint16_t first) const {
  const std::uint32_t lo = at(project, step, first);
  const std::uint32_t hi = at(project, step, static_cast<std::uint16_t>(first + 1));
  return static_cast<std::int32_t>((hi << 16) | lo);
}

void RegisterFile::keepProject(int project) {
  kept_[static_cast<size_t>(project - 1)] = working(project);
  keptSingles_[idx(reg::CurrentProject)] = static_cast<std::uint16_t>(project);
}

void RegisterFile::clearProject(int project) {
  for (auto* set : {&projects_, &kept_}) {
    Project& p = (*set)[static_cast<size_t>(project - 1)];
    for (Bank& step : p.steps) step.fill(0);
    p.a = {};
    p.regs[idx(reg::ProjectLoops)] = 0;
    p.regs[idx(reg::NextProject)] = 0;
    p.regs[idx(reg::SpeedOverride)] = 100;
  }
}

void RegisterFile::reportKept(int project) {
  // What the project holds as kept: the screen's "has parameters" follows a save or a clear.
  int count = 0;
  for (const Bank& step : kept(project).steps)
    for (int a = reg::kFirst; a <= reg::kLast; ++a)
      if (reg::stepBanked(static_cast<std::uint16_t>(a)) && step[idx(static_cast<std::uint16_t>(a))] != 0) ++count;
  singles_[idx(reg::HasParameters)] = count > 0 ? 1 : 0;
  singles_[idx(reg::ParameterCheck)] = static_cast<std::uint16_t>(std::min(count, 65535));
}

void RegisterFile::keepAll() {
  keptSingles_ = singles_;
  kept_ = projects_;
}

}  // namespace lorvane::sim
