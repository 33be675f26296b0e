#include "sim/model.h"

#include "sim/state.h"

namespace lorvane::sim {

ControllerModel::ControllerModel(QObject* parent)
    : QObject(parent),
      motion_(regs_, positions_, [this](int n) { return input(n); }, [this](std::uint16_t c) { return coil(c); },
              [this](const Event& e) { report(e); }),
      run_(regs_, positions_, timing_.stepMs, [this](int n) { return input(n); },
           [this](int n, bool on) { setOutput(n, on); }, [this](const Event& e) { report(e); }),
      commands_(commands()) {
  reset();
}

void ControllerModel::reset() {
  regs_.reset();
  positions_.fill(0);
  coils_.fill(false);
  inputs_.fill(false);
  outputs_.fill(false);
  inputTest_ = false;
  motion_.stop();
  run_.reset();
  jobs_.clear();
  syncStatus();
}

void ControllerModel::loadDemo() {
  regs_.loadDemo();
  syncStatus();
}

// ---- Register access

std::uint16_t ControllerModel::stepRegister(int project, int step, std::uint16_t address) const {
  if (!in(project, 1, kProjects) || !in(step, 1, kSteps) || !hasRegister(address)) return 0;
  return regs_.at(project, step, address);
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
    ++writeCounts_[a];
    if (a == reg::CurrentProject) {
      regs_.selectProject(values[i]);
    } else if (a == reg::CurrentStep) {
      regs_.selectStep(values[i]);
    } else {
      regs_.at(a) = values[i];
      // A position written is where the axis stands from now on.
      for (int axis = 0; axis < kAxes; ++axis)
        if (const std::uint16_t p = reg::Position[axis]; a == p || a == p + 1) positions_[axis] = regs_.pair(p);
    }
  }
  syncStatus();
  return Result::Ok;
}

ControllerModel::Result ControllerModel::writeCoil(std::uint16_t c, bool on) {
  if (!hasCoil(c)) return Result::IllegalAddress;
  coils_[c - coil::kFirst] = on;
  coilWrites_.append({c, on});
  if (coilWrites_.size() > 4096) coilWrites_.remove(0, 1024);  // a long-running simulator keeps the recent ones
  if (const auto handler = commands_.constFind(c); handler != commands_.constEnd()) (*handler)(on);
  syncStatus();
  return Result::Ok;
}

// ---- Commands: what each command coil does. Most act on ON; the hold-to-run coils have no
// handler, the axes read them as they stand.

QHash<std::uint16_t, ControllerModel::Handler> ControllerModel::commands() {
  QHash<std::uint16_t, Handler> table;
  const auto onOn = [&table](std::uint16_t c, std::function<void()> act) {
    table.insert(c, [act = std::move(act)](bool on) {
      if (on) act();
    });
  };
  using K = Event::Kind;
  for (int a = 0; a < kAxes; ++a) {
    onOn(coil::Jog[a], [this, a] { run_.active() ? report({K::JogIgnored, a}) : motion_.jog(a); });
    onOn(coil::Home[a], [this, a] { run_.active() ? report({K::HomeIgnored, a}) : motion_.home(a); });
  }
  onOn(coil::Start, [this] { startRun(); });
  onOn(coil::Stop, [this] {
    motion_.stop();
    if (run_.active()) run_.stop({K::RunStopped});
  });
  table.insert(coil::InputTest, [this](bool on) { inputTest_ = on; });
  onOn(coil::OutputTest, [this] { outputTest(); });
  onOn(coil::SaveParameters, [this] {
    queueJob(timing_.parametersMs, {K::ParametersKept}, [this] {
      regs_.keepParameters();
      persist();
    });
  });
  onOn(coil::SaveProject, [this] {
    const int p = regs_.currentProject();
    queueJob(timing_.saveMs, {K::ProjectKept, p}, [this, p] {
      regs_.keepProject(p);
      persist();
    });
  });
  onOn(coil::ReadProject, [this] {
    const int p = regs_.currentProject();
    queueJob(timing_.readMs, {K::ProjectReported, p}, [this, p] { regs_.reportKept(p); });
  });
  onOn(coil::ClearProject, [this] {
    const int p = regs_.currentProject();
    queueJob(timing_.clearMs, {K::ProjectCleared, p}, [this, p] {
      regs_.clearProject(p);
      persist();
    });
  });
  onOn(coil::PrevStep, [this] { regs_.stepBy(-1); });
  onOn(coil::NextStep, [this] { regs_.stepBy(+1); });
  // The choice of a step's function sets all four flags; the normal mode names the axes left to
  // the axis pages.
  const std::pair<std::uint16_t, std::array<std::uint16_t, 4>> choices[] = {
      {coil::ChooseTeach, {1, 0, 0, 3}}, {coil::ChooseArc, {0, 1, 0, 0}}, {coil::ChooseLine, {0, 0, 1, 1}}, {coil::ChooseNormal, {0, 0, 0, 2}}};
  for (const auto& [c, flags] : choices) {
    onOn(c, [this, flags] {
      const std::uint16_t regs[] = {reg::TeachOrArcSize, reg::ArcFlag, reg::LineFlag, reg::NormalMode};
      for (size_t i = 0; i < 4; ++i) regs_.at(regs[i]) = flags[i];
    });
  }
  onOn(coil::ArcClockwise, [this] { regs_.at(reg::ArcDirection) = 0; });
  onOn(coil::ArcCounterClockwise, [this] { regs_.at(reg::ArcDirection) = 1; });
  onOn(coil::TeachStore, [this] { motion_.storeTeachPoint(); });
  onOn(coil::TeachMatchSpeeds, [this] { motion_.matchTeachSpeeds(); });
  for (int i = 0; i < 4; ++i) onOn(coil::TeachToggle[static_cast<size_t>(i)], [this, i] { motion_.toggleTeach(i); });
  return table;
}

void ControllerModel::startRun() {
  if (run_.start()) motion_.stop();
}

void ControllerModel::outputTest() {
  const int n = regs_.at(reg::OutputTestNumber);
  const int setting = regs_.at(reg::OutputTestSetting);
  if (!in(n, 1, kOutputs) || !in(setting, 0, 1)) return report({Event::Kind::OutputTestRefused, n, setting});
  setOutput(n, setting == 0);
  report({Event::Kind::OutputTest, n, setting == 0 ? 1 : 0});
}

void ControllerModel::queueJob(int ms, Event done, std::function<void()> work) {
  jobs_.append(Job{std::max(1, ms), std::move(work), std::move(done)});
}

std::optional<Event> ControllerModel::busyWith() const {
  return jobs_.isEmpty() ? std::nullopt : std::optional<Event>(jobs_.first().done);
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
    report(job.done);
  }
  if (run_.active()) run_.tick();
  else motion_.tick();
  syncStatus();
}

// ---- The machine

bool ControllerModel::axisMoving(int a) const {
  if (!in(a, 0, kAxes - 1)) return false;
  return run_.active() ? run_.moving(a) : motion_.moving(a);
}

void ControllerModel::setPosition(int a, std::int32_t hundredths) {
  if (!in(a, 0, kAxes - 1)) return;
  positions_[a] = hundredths;
  syncStatus();
}

void ControllerModel::setInput(int n, bool active) {
  if (!in(n, 1, kInputs)) return;
  const bool rising = active && !inputs_[static_cast<size_t>(n - 1)];
  inputs_[static_cast<size_t>(n - 1)] = active;
  // The start and stop switches are inputs the operator assigned (0x106E, 0x106F).
  if (rising && regs_.single(reg::StopSwitch) == n && run_.active()) run_.stop({Event::Kind::RunStoppedBySwitch, n});
  else if (rising && regs_.single(reg::StartSwitch) == n) startRun();
  syncStatus();
}

void ControllerModel::setOutput(int n, bool on) {
  if (in(n, 1, kOutputs)) outputs_[static_cast<size_t>(n - 1)] = on;
}

// ---- Keeping

void ControllerModel::persist() {
  if (stateFile_.isEmpty()) return;
  QString error;
  if (!save(stateFile_, &error)) report({Event::Kind::StateNotWritten, 0, 0, 0, error});
}

bool ControllerModel::save(const QString& path, QString* error) const { return writeStateFile(keptState(regs_), path, error); }

bool ControllerModel::load(const QString& path, QString* error) {
  const std::optional<state::File> file = readStateFile(path, error);
  if (!file) return false;
  reset();
  restoreKept(regs_, *file);
  syncStatus();
  return true;
}

// ---- Status registers

void ControllerModel::syncStatus() {
  for (int a = 0; a < kAxes; ++a) {
    const std::int32_t p = clampToLong(positions_[a]);
    regs_.single(reg::Position[a]) = lowWord(p);
    regs_.single(static_cast<std::uint16_t>(reg::Position[a] + 1)) = highWord(p);
    // JA..JE light while X, Y, Z, C, A are driving.
    regs_.single(static_cast<std::uint16_t>(reg::SignalJA + a)) = axisMoving(a) ? 1 : 0;
  }
  for (int n = 1; n <= 4; ++n) regs_.single(static_cast<std::uint16_t>(reg::OutputY1 + n - 1)) = output(n) ? 1 : 0;
  for (int n = 1; n <= kInputs; ++n)
    regs_.single(static_cast<std::uint16_t>(reg::InputTestState + n - 1)) = inputTest_ ? (input(n) ? 1 : 2) : 0;
}

void ControllerModel::clearCounters() {
  writeCounts_.clear();
  coilWrites_.clear();
}

}  // namespace lorvane::sim
