#include "sim/model.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace lorvane::sim {

namespace {

constexpr int idx(std::uint16_t address) { return address - 0x1000; }
constexpr bool in(int a, int lo, int hi) { return a >= lo && a <= hi; }

const char* const kAxisNames[kAxes] = {"X", "Y", "Z", "C", "A"};

// A homing move that has found no signal after this much travel gives up (hundredths of a mm).
constexpr double kHomingTravelLimit = 200000;

// Registers that report the machine's live state; they are neither kept nor restored.
bool isVolatile(std::uint16_t a) {
  return a == 0x1024 || a == reg::CurrentStep || in(a, 0x1058, 0x106B) || in(a, 0x10A0, 0x10A1) ||
         a == reg::HasParameters || a == reg::ParameterCheck || in(a, 0x10C8, 0x10D4);
}

QString hexKey(std::uint16_t address) { return QString::number(address, 16).toUpper(); }

std::uint16_t low(std::int32_t v) { return static_cast<std::uint16_t>(static_cast<std::uint32_t>(v) & 0xFFFF); }
std::uint16_t high(std::int32_t v) { return static_cast<std::uint16_t>(static_cast<std::uint32_t>(v) >> 16); }

std::int32_t clampToLong(double v) {
  if (v > 2147483647.0) return 2147483647;
  if (v < -2147483648.0) return -2147483647 - 1;
  return static_cast<std::int32_t>(std::lround(v));
}

}  // namespace

ControllerModel::ControllerModel(QObject* parent) : QObject(parent) { setDefaults(); }

bool ControllerModel::isStepRegister(std::uint16_t a) { return reg::stepBanked(a); }

bool ControllerModel::isProjectRegister(std::uint16_t a) { return reg::projectBanked(a); }

void ControllerModel::setDefaults() {
  regs_.fill(0);
  for (int a = 0; a < kAxes; ++a) {
    const auto set = [&](reg::AxisParam p, std::uint16_t v) { regs_[idx(reg::AxisParamReg[p][a])] = v; };
    set(reg::Microstep, 8);
    set(reg::DebugSpeed, 300);
    set(reg::StepAngle, 180);  // 1.8 degrees
    set(reg::StartFreq, 50);
    set(reg::AccelFreq, 50);
    set(reg::PulsesPerRev, 1600);
    set(reg::LeadMicrons, 5000);  // 5 mm per turn
    regs_[idx(reg::JogDistance[a])] = 1000;  // 10 mm
  }
  regs_[idx(reg::CurrentProject)] = 1;
  regs_[idx(reg::CurrentStep)] = 1;
  current_ = Selection{};
  for (auto& p : projects_) {
    p = Project{};
    p.regs[idx(reg::SpeedOverride)] = 100;
  }
  keptRegs_ = regs_;
  keptProjects_ = projects_;
  coils_.fill(false);
  axes_.fill(Axis{});
  inputs_.fill(false);
  outputs_.fill(false);
  inputTest_ = false;
  run_ = Run{};
  jobs_.clear();
  syncStatus();
}

void ControllerModel::loadDemo() {
  Project& p = proj(1);
  p.regs[idx(reg::StepCount)] = 4;
  const auto set = [&](int step, std::uint16_t a, std::uint16_t v) { p.steps[static_cast<size_t>(step - 1)][idx(a)] = v; };
  const auto setLong = [&](int step, std::uint16_t a, std::int32_t v) {
    set(step, a, low(v));
    set(step, static_cast<std::uint16_t>(a + 1), high(v));
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
  keptProjects_[0] = p;
  syncStatus();
}

// ---- Register access

std::uint16_t& ControllerModel::cell(std::uint16_t address) {
  if (const int a = aSlot(current_.project, current_.step, address); a >= 0)
    return proj(current_.project).a[static_cast<size_t>(current_.step - 1)][static_cast<size_t>(a)];
  if (isStepRegister(address)) return proj(current_.project).steps[static_cast<size_t>(current_.step - 1)][idx(address)];
  if (isProjectRegister(address)) return proj(current_.project).regs[idx(address)];
  return regs_[idx(address)];
}

std::uint16_t ControllerModel::cellAt(int project, int step, std::uint16_t address) const {
  if (const int a = aSlot(project, step, address); a >= 0)
    return proj(project).a[static_cast<size_t>(step - 1)][static_cast<size_t>(a)];
  if (isStepRegister(address)) return proj(project).steps[static_cast<size_t>(step - 1)][idx(address)];
  if (isProjectRegister(address)) return proj(project).regs[idx(address)];
  return regs_[idx(address)];
}

int ControllerModel::aSlot(int project, int step, std::uint16_t address) const {
  const auto* at = std::find(kZaRegisters.begin(), kZaRegisters.end(), address);
  if (at == kZaRegisters.end()) return -1;
  if (proj(project).steps[static_cast<size_t>(step - 1)][idx(reg::ZReplacedByA)] != 1) return -1;
  return static_cast<int>(at - kZaRegisters.begin());
}

// A's settings in the state file: {"step": {"register": value}}, only what is not 0.
QJsonObject ControllerModel::aSettingsJson(const Project& p) {
  QJsonObject steps;
  for (int s = 1; s <= kSteps; ++s) {
    QJsonObject values;
    for (size_t i = 0; i < kZaRegisters.size(); ++i)
      if (const std::uint16_t v = p.a[static_cast<size_t>(s - 1)][i]; v != 0) values.insert(hexKey(kZaRegisters[i]), v);
    if (!values.isEmpty()) steps.insert(QString::number(s), values);
  }
  return steps;
}

void ControllerModel::loadASettings(Project& p, const QJsonObject& steps) {
  for (auto it = steps.begin(); it != steps.end(); ++it) {
    const int s = it.key().toInt();
    if (!in(s, 1, kSteps)) continue;
    const QJsonObject values = it.value().toObject();
    for (size_t i = 0; i < kZaRegisters.size(); ++i)
      p.a[static_cast<size_t>(s - 1)][i] = static_cast<std::uint16_t>(values.value(hexKey(kZaRegisters[i])).toInt());
  }
}

std::int32_t ControllerModel::longAt(int project, int step, std::uint16_t first) const {
  const std::uint32_t lo = cellAt(project, step, first);
  const std::uint32_t hi = cellAt(project, step, static_cast<std::uint16_t>(first + 1));
  return static_cast<std::int32_t>((hi << 16) | lo);
}

std::uint16_t ControllerModel::reg(std::uint16_t address) const {
  if (!hasRegister(address)) return 0;
  return cellAt(current_.project, current_.step, address);
}

std::int32_t ControllerModel::regLong(std::uint16_t first) const { return longAt(current_.project, current_.step, first); }

std::uint16_t ControllerModel::stepRegister(int project, int step, std::uint16_t address) const {
  if (!in(project, 1, kProjects) || !in(step, 1, kSteps) || !hasRegister(address)) return 0;
  return cellAt(project, step, address);
}

std::uint16_t ControllerModel::projectRegister(int project, std::uint16_t address) const {
  return stepRegister(project, 1, address);
}

namespace {

const char* const kNormalAxes[] = {"ZA", "ZCA", "XYZCA"};

// The function a step runs, as the hub shows it.
QString functionOf(const std::function<std::uint16_t(std::uint16_t)>& at, bool empty) {
  if (at(reg::ArcFlag) == 1) return QStringLiteral("arc");
  if (at(reg::LineFlag) == 1) return QStringLiteral("line");
  const std::uint16_t normal = at(reg::NormalMode);
  if (normal == 3) return QStringLiteral("teach");
  if (empty) return QStringLiteral("not set");
  return normal <= 2 ? QStringLiteral("normal %1").arg(QLatin1String(kNormalAxes[normal])) : QStringLiteral("normal ?");
}

}  // namespace

QString ControllerModel::projectText(int project) const {
  if (!in(project, 1, kProjects)) return QStringLiteral("no project %1 (1..%2)").arg(project).arg(kProjects);
  const Project& p = proj(project);
  const Project& kept = keptProjects_[static_cast<size_t>(project - 1)];
  const bool same = p.regs == kept.regs && p.steps == kept.steps;
  QStringList lines;
  lines << QStringLiteral("project %1%2: %3 steps, loops %4, speed %5%, next project %6 (%7)")
               .arg(project)
               .arg(project == current_.project ? QStringLiteral(" (current)") : QString())
               .arg(p.regs[idx(reg::StepCount)])
               .arg(p.regs[idx(reg::ProjectLoops)])
               .arg(p.regs[idx(reg::SpeedOverride)])
               .arg(p.regs[idx(reg::NextProject)])
               .arg(same ? QStringLiteral("as kept") : QStringLiteral("changed since kept"));
  for (int s = 1; s <= kSteps; ++s) {
    const Bank& b = p.steps[static_cast<size_t>(s - 1)];
    const bool empty = std::all_of(b.begin(), b.end(), [](std::uint16_t v) { return v == 0; });
    if (empty) continue;
    lines << QStringLiteral("  step %1: %2").arg(s).arg(functionOf([&](std::uint16_t a) { return b[idx(a)]; }, false));
  }
  return lines.join('\n');
}

QString ControllerModel::stepText(int project, int step) const {
  if (!in(project, 1, kProjects) || !in(step, 1, kSteps))
    return QStringLiteral("no step %1 of project %2 (steps 1..%3, projects 1..%4)").arg(step).arg(project).arg(kSteps).arg(kProjects);
  const Bank& b = proj(project).steps[static_cast<size_t>(step - 1)];
  const Bank& kept = keptProjects_[static_cast<size_t>(project - 1)].steps[static_cast<size_t>(step - 1)];
  QStringList values;
  for (int a = reg::kFirst; a <= reg::kLast; ++a) {
    const auto u = static_cast<std::uint16_t>(a);
    if (isStepRegister(u) && b[idx(u)] != 0) values << QStringLiteral("%1=%2").arg(hexKey(u)).arg(b[idx(u)]);
  }
  return QStringLiteral("project %1 step %2: %3, start delay %4 ms (%5)\n  %6")
      .arg(project)
      .arg(step)
      .arg(functionOf([&](std::uint16_t a) { return b[idx(a)]; }, values.isEmpty()))
      .arg(b[idx(reg::StepStartDelay)])
      .arg(b == kept ? QStringLiteral("as kept") : QStringLiteral("changed since kept"))
      .arg(values.isEmpty() ? QStringLiteral("all registers 0") : values.join(' '));
}

ControllerModel::Result ControllerModel::writeRegisters(std::uint16_t first, const QList<std::uint16_t>& values) {
  if (values.isEmpty() || !hasRegister(first) || !hasRegister(first + static_cast<int>(values.size()) - 1))
    return Result::IllegalAddress;
  // The project and step selectors only take numbers that exist; a controller refuses the rest.
  for (qsizetype i = 0; i < values.size(); ++i) {
    const int a = first + static_cast<int>(i);
    if (a == reg::CurrentProject && !in(values[i], 1, kProjects)) return Result::IllegalValue;
    if (a == reg::CurrentStep && !in(values[i], 1, kSteps)) return Result::IllegalValue;
  }
  for (qsizetype i = 0; i < values.size(); ++i) {
    const auto a = static_cast<std::uint16_t>(first + i);
    cell(a) = values[i];
    ++writeCounts_[a];
    applyRegisterWrite(a);
  }
  syncStatus();
  return Result::Ok;
}

ControllerModel::Result ControllerModel::writeLong(std::uint16_t first, std::int32_t value) {
  return writeRegisters(first, {low(value), high(value)});
}

void ControllerModel::applyRegisterWrite(std::uint16_t a) {
  if (a == reg::CurrentProject) {
    current_.project = regs_[idx(a)];
  } else if (a == reg::CurrentStep) {
    current_.step = regs_[idx(a)];
  } else {
    for (int axis = 0; axis < kAxes; ++axis) {
      const std::uint16_t p = reg::Position[axis];
      if (a == p || a == p + 1) axes_[axis].pos = longAt(current_.project, current_.step, p);
    }
  }
}

bool ControllerModel::coil(std::uint16_t c) const { return hasCoil(c) && coils_[c - coil::kFirst]; }

ControllerModel::Result ControllerModel::writeCoil(std::uint16_t c, bool on) {
  if (!hasCoil(c)) return Result::IllegalAddress;
  coils_[c - coil::kFirst] = on;
  coilWrites_.append({c, on});
  if (coilWrites_.size() > 4096) coilWrites_.remove(0, 1024);  // a long-running simulator keeps the recent ones
  command(c, on);
  syncStatus();
  return Result::Ok;
}

// ---- Commands

void ControllerModel::command(std::uint16_t c, bool on) {
  for (int a = 0; a < kAxes; ++a) {
    if (c == coil::Jog[a] && on) {
      if (run_.active) {
        emit note(QStringLiteral("jog %1 ignored: a project is running").arg(kAxisNames[a]));
        return;
      }
      const double dist = reg(reg::JogDistance[a]);
      if (dist == 0) return;
      const int dir = reg(reg::JogDirection[a]) == 0 ? 1 : -1;
      axes_[a].manual = Manual::Jog;
      axes_[a].target = axes_[a].pos + dir * dist;
      emit note(QStringLiteral("jog %1 by %2 mm").arg(kAxisNames[a]).arg(dir * dist / 100.0));
      return;
    }
    if (c == coil::Home[a] && on) {
      if (run_.active) {
        emit note(QStringLiteral("home %1 ignored: a project is running").arg(kAxisNames[a]));
        return;
      }
      axes_[a].manual = Manual::Home;
      axes_[a].travelled = 0;
      emit note(QStringLiteral("home %1").arg(kAxisNames[a]));
      return;
    }
  }
  if (!on) {
    if (c == coil::InputTest) inputTest_ = false;
    return;  // every other command acts on ON; hold-to-run coils are read as they stand
  }
  const int project = current_.project;
  switch (c) {
    case coil::Start:
      return startRun();
    case coil::Stop:
      for (auto& ax : axes_) ax.manual = Manual::None;
      if (run_.active) stopRun(QStringLiteral("stopped"));
      return;
    case coil::SaveParameters:
      return queueJob(timing_.parametersMs, QStringLiteral("parameters kept"), [this] { keepParameters(); });
    case coil::SaveProject:
      return queueJob(timing_.saveMs, QStringLiteral("project %1 kept").arg(project), [this, project] { keepProject(project); });
    case coil::ReadProject:
      return queueJob(timing_.readMs, QStringLiteral("project %1 reported").arg(project), [this, project] {
        // What the project holds as kept: the screen's "has parameters" follows a save or a clear.
        int count = 0;
        for (const Bank& step : keptProjects_[static_cast<size_t>(project - 1)].steps)
          for (int a = reg::kFirst; a <= reg::kLast; ++a)
            if (isStepRegister(static_cast<std::uint16_t>(a)) && step[idx(static_cast<std::uint16_t>(a))] != 0) ++count;
        regs_[idx(reg::HasParameters)] = count > 0 ? 1 : 0;
        regs_[idx(reg::ParameterCheck)] = static_cast<std::uint16_t>(std::min(count, 65535));
      });
    case coil::ClearProject:
      return queueJob(timing_.clearMs, QStringLiteral("project %1 cleared").arg(project), [this, project] { clearProject(project); });
    case coil::InputTest:
      inputTest_ = true;
      return;
    case coil::OutputTest: {
      const int n = reg(reg::OutputTestNumber);
      const int setting = reg(reg::OutputTestSetting);
      if (!in(n, 1, kOutputs) || !in(setting, 0, 1)) {
        emit note(QStringLiteral("output test refused: Y%1 setting %2").arg(n).arg(setting));
        return;
      }
      setOutput(n, setting == 0);
      emit note(QStringLiteral("output test: Y%1 %2").arg(n).arg(setting == 0 ? "ON" : "OFF"));
      return;
    }
    case coil::PrevStep:
    case coil::NextStep: {
      // The step moves within the project's steps: not below 1, not past the step count (a step
      // beyond the count, set through 0x1027, only moves down). A project whose count is not set
      // yet has all fifty.
      const int set = proj(project).regs[idx(reg::StepCount)];
      const int count = set == 0 ? kSteps : std::min(set, kSteps);
      int step = current_.step;
      if (c == coil::NextStep && step < count) ++step;
      if (c == coil::PrevStep && step > 1) --step;
      current_.step = step;
      regs_[idx(reg::CurrentStep)] = static_cast<std::uint16_t>(step);
      return;
    }
    case coil::ChooseTeach:
    case coil::ChooseArc:
    case coil::ChooseLine:
    case coil::ChooseNormal: {
      // The choice sets all four flags; the normal mode names the axes left to the axis pages.
      cell(reg::TeachOrArcSize) = c == coil::ChooseTeach ? 1 : 0;
      cell(reg::ArcFlag) = c == coil::ChooseArc ? 1 : 0;
      cell(reg::LineFlag) = c == coil::ChooseLine ? 1 : 0;
      cell(reg::NormalMode) = c == coil::ChooseTeach ? 3 : c == coil::ChooseArc ? 0 : c == coil::ChooseLine ? 1 : 2;
      return;
    }
    case coil::ArcClockwise:
      cell(reg::ArcDirection) = 0;
      return;
    case coil::ArcCounterClockwise:
      cell(reg::ArcDirection) = 1;
      return;
    case coil::TeachStore:
      return storeTeachPoint();
    case coil::TeachMatchSpeeds:
      return matchTeachSpeeds();
    default:
      break;
  }
  for (int i = 0; i < 4; ++i) {
    if (c == coil::TeachToggle[static_cast<size_t>(i)]) {
      std::uint16_t& mode = cell(reg::TeachAxisMode[static_cast<size_t>(i)]);
      mode = mode == 0 ? 1 : 0;
    }
  }
}

void ControllerModel::queueJob(int ms, const QString& what, std::function<void()> work) {
  jobs_.append(Job{std::max(1, ms), std::move(work), what});
}

// ---- Time

void ControllerModel::advance(int ms) {
  for (int i = 0; i < ms; ++i) tick();
}

void ControllerModel::tick() {
  ++now_;
  if (!jobs_.isEmpty() && --jobs_.first().left <= 0) {
    const Job job = jobs_.takeFirst();
    job.work();
    emit note(job.what);
  }
  if (run_.active) {
    tickRun();
  } else {
    for (int a = 0; a < kAxes; ++a) moveManual(a);
  }
  syncStatus();
}

// ---- Manual motion: jog, home, hold-to-run

int ControllerModel::holdDirection(int a) const {
  bool fwd = coil(coil::Forward[a]);
  bool rev = coil(coil::Reverse[a]);
  if (a < 4) {  // the teach page jogs X, Y, Z and C
    fwd = fwd || coil(coil::TeachForward[static_cast<size_t>(a)]);
    rev = rev || coil(coil::TeachReverse[static_cast<size_t>(a)]);
  }
  return fwd == rev ? 0 : (fwd ? 1 : -1);
}

double ControllerModel::manualRate(int a) const {
  // Debug speed (turns per minute) times the lead (micrometres per turn), in hundredths per ms.
  const double rate = reg(reg::AxisParamReg[reg::DebugSpeed][a]) * double(reg(reg::AxisParamReg[reg::LeadMicrons][a])) / 600000.0;
  return std::max(rate, 0.1);
}

std::uint16_t ControllerModel::forwardLimitInput(int a) const { return reg(reg::AxisParamReg[reg::ForwardLimit][a]); }

bool ControllerModel::limitHit(int a, int direction) const {
  const int n = direction > 0 ? forwardLimitInput(a) : reg(reg::AxisParamReg[reg::ReverseLimit][a]);
  return in(n, 1, kInputs) && inputs_[static_cast<size_t>(n - 1)];
}

void ControllerModel::moveManual(int a) {
  Axis& ax = axes_[a];
  const double rate = manualRate(a);
  if (const int hold = holdDirection(a); hold != 0) {
    ax.manual = Manual::None;  // holding a drive button overrides a jog or homing move
    if (!limitHit(a, hold)) ax.pos += hold * rate;
    return;
  }
  if (ax.manual == Manual::Jog) {
    const double left = ax.target - ax.pos;
    const int dir = left >= 0 ? 1 : -1;
    if (limitHit(a, dir)) {
      ax.manual = Manual::None;
      emit note(QStringLiteral("jog %1 stopped at a limit").arg(kAxisNames[a]));
    } else if (std::abs(left) <= rate) {
      ax.pos = ax.target;
      ax.manual = Manual::None;
    } else {
      ax.pos += dir * rate;
    }
  } else if (ax.manual == Manual::Home) {
    const int n = reg(reg::AxisParamReg[reg::ZeroInput][a]);
    if (!in(n, 1, kInputs)) {
      // No zero signal wired: the axis goes back to coordinate 0.
      if (std::abs(ax.pos) <= rate) {
        ax.pos = 0;
        ax.manual = Manual::None;
        emit note(QStringLiteral("%1 at 0").arg(kAxisNames[a]));
      } else {
        ax.pos -= (ax.pos > 0 ? 1 : -1) * rate;
      }
      return;
    }
    if (inputs_[static_cast<size_t>(n - 1)]) {
      // The zero signal is the machine's zero: the coordinate starts from there.
      ax.pos = 0;
      ax.manual = Manual::None;
      emit note(QStringLiteral("%1 homed on L%2").arg(kAxisNames[a]).arg(n));
      return;
    }
    const int dir = ax.pos > 0 ? -1 : (ax.pos < 0 ? 1 : -1);
    if (limitHit(a, dir) || ax.travelled > kHomingTravelLimit) {
      ax.manual = Manual::None;
      emit note(QStringLiteral("home %1 gave up: no signal on L%2").arg(kAxisNames[a]).arg(n));
      return;
    }
    ax.pos += dir * rate;
    ax.travelled += rate;
  }
}

bool ControllerModel::axisMoving(int a) const {
  if (a < 0 || a >= kAxes) return false;
  if (run_.active) return run_.phase == RunPhase::Move && run_.move.moves[static_cast<size_t>(a)];
  if (const int hold = holdDirection(a); hold != 0) return !limitHit(a, hold);
  return axes_[a].manual != Manual::None;
}

std::int32_t ControllerModel::position(int a) const {
  return (a >= 0 && a < kAxes) ? clampToLong(axes_[a].pos) : 0;
}

void ControllerModel::setPosition(int a, std::int32_t hundredths) {
  if (a < 0 || a >= kAxes) return;
  axes_[a].pos = hundredths;
  syncStatus();
}

// ---- Inputs and outputs

bool ControllerModel::input(int n) const { return in(n, 1, kInputs) && inputs_[static_cast<size_t>(n - 1)]; }

void ControllerModel::setInput(int n, bool active) {
  if (!in(n, 1, kInputs)) return;
  const bool rising = active && !inputs_[static_cast<size_t>(n - 1)];
  inputs_[static_cast<size_t>(n - 1)] = active;
  // The start and stop switches are inputs the operator assigned (0x106E, 0x106F).
  if (rising && regs_[idx(reg::StopSwitch)] == n && run_.active) stopRun(QStringLiteral("stop switch L%1").arg(n));
  else if (rising && regs_[idx(reg::StartSwitch)] == n) startRun();
  syncStatus();
}

bool ControllerModel::output(int n) const { return in(n, 1, kOutputs) && outputs_[static_cast<size_t>(n - 1)]; }

void ControllerModel::setOutput(int n, bool on) {
  if (in(n, 1, kOutputs)) outputs_[static_cast<size_t>(n - 1)] = on;
}

// ---- Running a project

void ControllerModel::startRun() {
  if (run_.active) return;
  const int project = current_.project;
  if (std::clamp<int>(proj(project).regs[idx(reg::StepCount)], 0, kSteps) == 0) {
    emit note(QStringLiteral("start: project %1 has no steps").arg(project));
    return;
  }
  for (auto& ax : axes_) ax.manual = Manual::None;
  run_ = Run{};
  run_.active = true;
  run_.seq = runner::Sequence(project);
  emit note(QStringLiteral("run project %1").arg(project));
  beginStep();
}

void ControllerModel::stopRun(const QString& why) {
  run_.active = false;
  regs_[idx(reg::RunStatus)] = 0;
  regs_[idx(reg::DrawingMode)] = 0;
  emit note(QStringLiteral("run ended: %1").arg(why));
}

void ControllerModel::beginStep() {
  const int s = run_.seq.step();
  const std::uint16_t startDelay = cellAt(run_.seq.project(), s, reg::StepStartDelay);
  regs_[idx(reg::RunStatus)] = static_cast<std::uint16_t>(s);
  regs_[idx(reg::StartDelay)] = startDelay;
  regs_[idx(reg::EndDelay)] = cellAt(run_.seq.project(), s, reg::StepEndDelay);
  run_.phase = RunPhase::StartDelay;
  run_.left = startDelay;
  run_.move.moves.fill(false);
  if (run_.left <= 0) beginMove();
}

// The runner reads the projects as they are now (working values) and the inputs as they stand.
runner::Store ControllerModel::store() const {
  return runner::Store{
      [this](int project, int step, std::uint16_t address) { return cellAt(project, step, address); },
      [this](std::uint16_t address) { return regs_[idx(address)]; },
      [this](int n) { return input(n); }};
}

void ControllerModel::beginMove() {
  run_.phase = RunPhase::Move;
  run_.moveMs = run_.left = std::max(1, timing_.stepMs);
  run_.moveDone = 0;
  runner::Point from{};
  for (int a = 0; a < kAxes; ++a) from[static_cast<size_t>(a)] = axes_[a].pos;
  run_.move = runner::interpret(store(), run_.seq.project(), run_.seq.step(), from);
  regs_[idx(reg::DrawingMode)] = static_cast<std::uint16_t>(run_.move.drawing);
  for (const auto& [n, on] : run_.move.outputs) setOutput(n, on);
}

void ControllerModel::tickRun() {
  switch (run_.phase) {
    case RunPhase::StartDelay:
      if (--run_.left <= 0) beginMove();
      return;
    case RunPhase::Move: {
      ++run_.moveDone;
      const runner::Point at = run_.move.at(std::min(1.0, double(run_.moveDone) / run_.moveMs));
      for (int a = 0; a < kAxes; ++a) axes_[a].pos = at[static_cast<size_t>(a)];
      if (run_.moveDone >= run_.moveMs) {
        run_.phase = RunPhase::EndDelay;
        run_.move.moves.fill(false);
        run_.left = regs_[idx(reg::EndDelay)];
        if (run_.left <= 0) finishStep();
      }
      return;
    }
    case RunPhase::EndDelay:
      if (--run_.left <= 0) finishStep();
      return;
  }
}

void ControllerModel::finishStep() {
  const int p = run_.seq.project();
  const runner::Sequence::Next next = run_.seq.advance(store());
  if (next == runner::Sequence::Next::Step || next == runner::Sequence::Next::LoopPass) return beginStep();
  ++regs_[idx(reg::ProductionCount)];
  ++completedRuns_;
  emit note(QStringLiteral("project %1 done, count %2").arg(p).arg(regs_[idx(reg::ProductionCount)]));
  if (next == runner::Sequence::Next::Repeat) return beginStep();
  if (next == runner::Sequence::Next::Chain) {
    current_.project = run_.seq.project();
    regs_[idx(reg::CurrentProject)] = static_cast<std::uint16_t>(current_.project);
    emit note(QStringLiteral("run project %1").arg(current_.project));
    return beginStep();
  }
  stopRun(QStringLiteral("done"));
}

// ---- Teaching

std::int32_t ControllerModel::hundredthsToPulses(int a, double hundredths) const {
  const double ppr = reg(reg::AxisParamReg[reg::PulsesPerRev][a]);
  const double lead = reg(reg::AxisParamReg[reg::LeadMicrons][a]);
  if (ppr == 0 || lead == 0) return clampToLong(hundredths);
  return clampToLong(hundredths * 10.0 * ppr / lead);
}

void ControllerModel::storeTeachPoint() {
  for (int i = 0; i < 4; ++i) {
    const auto u = static_cast<size_t>(i);
    if (cell(reg::TeachAxisMode[u]) != 0) continue;
    const std::int32_t pulses = hundredthsToPulses(i, axes_[static_cast<size_t>(i)].pos);
    cell(reg::TeachPulses[u]) = low(pulses);
    cell(static_cast<std::uint16_t>(reg::TeachPulses[u] + 1)) = high(pulses);
  }
  emit note(QStringLiteral("teach point stored, step %1").arg(current_.step));
}

void ControllerModel::matchTeachSpeeds() {
  // The axis with the longest way keeps the highest speed; the others are slowed in proportion
  // so that all teach axes arrive together.
  double far = 0;
  double base = 0;
  for (int i = 0; i < 4; ++i) {
    const auto u = static_cast<size_t>(i);
    if (cell(reg::TeachAxisMode[u]) != 0) continue;
    far = std::max(far, std::abs(double(regLong(reg::TeachPulses[u]))));
    base = std::max(base, double(cell(reg::TeachSpeed[u])));
  }
  if (far == 0) return;
  if (base == 0) base = 100;
  for (int i = 0; i < 4; ++i) {
    const auto u = static_cast<size_t>(i);
    if (cell(reg::TeachAxisMode[u]) != 0) continue;
    const double way = std::abs(double(regLong(reg::TeachPulses[u])));
    cell(reg::TeachSpeed[u]) = static_cast<std::uint16_t>(way == 0 ? 0 : std::max(1.0, std::round(base * way / far)));
  }
  emit note(QStringLiteral("teach speeds matched, step %1").arg(current_.step));
}

// ---- Keeping

void ControllerModel::keepParameters() {
  keptRegs_ = regs_;
  persist();
}

void ControllerModel::keepProject(int project) {
  keptProjects_[static_cast<size_t>(project - 1)] = proj(project);
  keptRegs_[idx(reg::CurrentProject)] = static_cast<std::uint16_t>(project);  // it is the current one after a restart
  persist();
}

void ControllerModel::clearProject(int project) {
  for (auto* set : {&projects_, &keptProjects_}) {
    Project& p = (*set)[static_cast<size_t>(project - 1)];
    for (Bank& step : p.steps) step.fill(0);
    p.a = {};
    p.regs[idx(reg::ProjectLoops)] = 0;
    p.regs[idx(reg::NextProject)] = 0;
    p.regs[idx(reg::SpeedOverride)] = 100;
  }
  persist();
}

void ControllerModel::persist() {
  if (stateFile_.isEmpty()) return;
  QString error;
  if (!save(stateFile_, &error)) emit note(QStringLiteral("state file not written: %1").arg(error));
}

bool ControllerModel::save(const QString& path, QString* error) const {
  QJsonObject params;
  for (int a = reg::kFirst; a <= reg::kLast; ++a) {
    const auto u = static_cast<std::uint16_t>(a);
    if (isStepRegister(u) || isProjectRegister(u) || isVolatile(u)) continue;
    params.insert(hexKey(u), keptRegs_[idx(u)]);
  }
  QJsonArray projects;
  for (int p = 1; p <= kProjects; ++p) {
    const Project& kept = keptProjects_[static_cast<size_t>(p - 1)];
    QJsonObject regs;
    for (std::uint16_t a : {reg::StepCount, reg::ProjectLoops, reg::SpeedOverride, reg::NextProject})
      regs.insert(hexKey(a), kept.regs[idx(a)]);
    QJsonObject steps;
    for (int s = 1; s <= kSteps; ++s) {
      QJsonObject values;
      for (int a = reg::kFirst; a <= reg::kLast; ++a) {
        const auto u = static_cast<std::uint16_t>(a);
        const std::uint16_t v = kept.steps[static_cast<size_t>(s - 1)][idx(u)];
        if (isStepRegister(u) && v != 0) values.insert(hexKey(u), v);
      }
      if (!values.isEmpty()) steps.insert(QString::number(s), values);
    }
    projects.append(QJsonObject{{"project", p}, {"registers", regs}, {"steps", steps}, {"a-steps", aSettingsJson(kept)}});
  }
  const QJsonObject root{{"format", "lorvane-sim state 1"}, {"parameters", params}, {"projects", projects}};
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    if (error) *error = file.errorString();
    return false;
  }
  file.write(QJsonDocument(root).toJson(QJsonDocument::Indented));
  if (!file.commit()) {
    if (error) *error = file.errorString();
    return false;
  }
  return true;
}

bool ControllerModel::load(const QString& path, QString* error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    if (error) *error = file.errorString();
    return false;
  }
  QJsonParseError parseError{};
  const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
  const QJsonObject root = doc.object();
  if (doc.isNull() || root.value("format").toString() != QLatin1String("lorvane-sim state 1")) {
    if (error) *error = doc.isNull() ? parseError.errorString() : QStringLiteral("not a lorvane-sim state file");
    return false;
  }
  const auto address = [](const QString& key, bool* ok) {
    const uint a = key.toUInt(ok, 16);
    *ok = *ok && hasRegister(static_cast<int>(a));
    return static_cast<std::uint16_t>(a);
  };
  setDefaults();
  const QJsonObject params = root.value("parameters").toObject();
  for (auto it = params.begin(); it != params.end(); ++it) {
    bool ok = false;
    const std::uint16_t a = address(it.key(), &ok);
    if (ok && !isVolatile(a) && !isStepRegister(a) && !isProjectRegister(a))
      regs_[idx(a)] = static_cast<std::uint16_t>(it.value().toInt());
  }
  if (!in(regs_[idx(reg::CurrentProject)], 1, kProjects)) regs_[idx(reg::CurrentProject)] = 1;
  current_.project = regs_[idx(reg::CurrentProject)];
  for (const QJsonValue& pv : root.value("projects").toArray()) {
    const QJsonObject po = pv.toObject();
    const int p = po.value("project").toInt();
    if (!in(p, 1, kProjects)) continue;
    Project& target = proj(p);
    const QJsonObject regs = po.value("registers").toObject();
    for (auto it = regs.begin(); it != regs.end(); ++it) {
      bool ok = false;
      const std::uint16_t a = address(it.key(), &ok);
      if (ok && isProjectRegister(a)) target.regs[idx(a)] = static_cast<std::uint16_t>(it.value().toInt());
    }
    loadASettings(target, po.value("a-steps").toObject());
    const QJsonObject steps = po.value("steps").toObject();
    for (auto it = steps.begin(); it != steps.end(); ++it) {
      const int s = it.key().toInt();
      if (!in(s, 1, kSteps)) continue;
      const QJsonObject values = it.value().toObject();
      for (auto v = values.begin(); v != values.end(); ++v) {
        bool ok = false;
        const std::uint16_t a = address(v.key(), &ok);
        if (ok && isStepRegister(a)) target.steps[static_cast<size_t>(s - 1)][idx(a)] = static_cast<std::uint16_t>(v.value().toInt());
      }
    }
  }
  keptRegs_ = regs_;
  keptProjects_ = projects_;
  syncStatus();
  return true;
}

// ---- Status registers

void ControllerModel::syncStatus() {
  for (int a = 0; a < kAxes; ++a) {
    const std::int32_t p = clampToLong(axes_[a].pos);
    regs_[idx(reg::Position[a])] = low(p);
    regs_[idx(static_cast<std::uint16_t>(reg::Position[a] + 1))] = high(p);
    // JA..JE light while X, Y, Z, C, A are driving.
    regs_[idx(static_cast<std::uint16_t>(reg::SignalJA + a))] = axisMoving(a) ? 1 : 0;
  }
  for (int n = 1; n <= 4; ++n) regs_[idx(static_cast<std::uint16_t>(reg::OutputY1 + n - 1))] = output(n) ? 1 : 0;
  for (int n = 1; n <= kInputs; ++n)
    regs_[idx(static_cast<std::uint16_t>(reg::InputTestState + n - 1))] = inputTest_ ? (input(n) ? 1 : 2) : 0;
}

void ControllerModel::clearCounters() {
  writeCounts_.clear();
  coilWrites_.clear();
}

QString ControllerModel::stateText() const {
  QStringList lines;
  lines << QStringLiteral("project %1 step %2 (of %3), %4, count %5")
               .arg(current_.project)
               .arg(current_.step)
               .arg(reg(reg::StepCount))
               .arg(run_.active ? QStringLiteral("running step %1").arg(run_.seq.step()) : QStringLiteral("standby"))
               .arg(regs_[idx(reg::ProductionCount)]);
  QStringList pos;
  for (int a = 0; a < kAxes; ++a)
    pos << QStringLiteral("%1 %2%3").arg(kAxisNames[a]).arg(position(a) / 100.0).arg(axisMoving(a) ? "*" : "");
  lines << QStringLiteral("axes mm: ") + pos.join(QStringLiteral("  "));
  QString ins, outs;
  for (int n = 1; n <= kInputs; ++n) ins += input(n) ? '1' : '0';
  for (int n = 1; n <= kOutputs; ++n) outs += output(n) ? '1' : '0';
  lines << QStringLiteral("inputs L1-L13 %1  outputs Y1-Y12 %2%3")
               .arg(ins, outs, inputTest_ ? QStringLiteral("  (input test on)") : QString());
  if (!jobs_.isEmpty()) lines << QStringLiteral("busy: %1").arg(jobs_.first().what);
  return lines.join('\n');
}

}  // namespace lorvane::sim
