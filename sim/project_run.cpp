#include "sim/project_run.h"

#include <algorithm>

namespace lorvane::sim {

bool ProjectRun::start() {
  if (active_) return false;
  const int project = regs_.currentProject();
  if (std::clamp<int>(regs_.working(project).regs[RegisterFile::index(reg::StepCount)], 0, kSteps) == 0) {
    event_({Event::Kind::NoSteps, project});
    return false;
  }
  active_ = true;
  seq_ = runner::Sequence(project);
  phase_ = Phase::StartDelay;
  left_ = moveMs_ = moveDone_ = 0;
  move_ = runner::Move{};
  event_({Event::Kind::RunStarted, project});
  beginStep();
  return true;
}

void ProjectRun::stop(const Event& why) {
  active_ = false;
  regs_.single(reg::RunStatus) = 0;
  regs_.single(reg::DrawingMode) = 0;
  event_(why);
}

void ProjectRun::beginStep() {
  const int s = seq_.step();
  const std::uint16_t startDelay = regs_.at(seq_.project(), s, reg::StepStartDelay);
  regs_.single(reg::RunStatus) = static_cast<std::uint16_t>(s);
  regs_.single(reg::StartDelay) = startDelay;
  regs_.single(reg::EndDelay) = regs_.at(seq_.project(), s, reg::StepEndDelay);
  phase_ = Phase::StartDelay;
  left_ = startDelay;
  move_.moves.fill(false);
  if (left_ <= 0) beginMove();
}

// The runner reads the projects as they are now (working values) and the inputs as they stand.
runner::Store ProjectRun::store() const {
  return runner::Store{[this](int project, int step, std::uint16_t address) { return regs_.at(project, step, address); },
                       [this](std::uint16_t address) { return regs_.single(address); },
                       [this](int n) { return input_(n); }};
}

void ProjectRun::beginMove() {
  phase_ = Phase::Move;
  moveMs_ = left_ = std::max(1, stepMs_);
  moveDone_ = 0;
  move_ = runner::interpret(store(), seq_.project(), seq_.step(), pos_);
  regs_.single(reg::DrawingMode) = static_cast<std::uint16_t>(move_.drawing);
  for (const auto& [n, on] : move_.outputs) output_(n, on);
}

void ProjectRun::tick() {
  if (!active_) return;
  switch (phase_) {
    case Phase::StartDelay:
      if (--left_ <= 0) beginMove();
      return;
    case Phase::Move: {
      ++moveDone_;
      pos_ = move_.at(std::min(1.0, double(moveDone_) / moveMs_));
      if (moveDone_ >= moveMs_) {
        phase_ = Phase::EndDelay;
        move_.moves.fill(false);
        left_ = regs_.single(reg::EndDelay);
        if (left_ <= 0) finishStep();
      }
      return;
    }
    case Phase::EndDelay:
      if (--left_ <= 0) finishStep();
      return;
  }
}

void ProjectRun::finishStep() {
  const int p = seq_.project();
  const runner::Sequence::Next next = seq_.advance(store());
  if (next == runner::Sequence::Next::Step || next == runner::Sequence::Next::LoopPass) return beginStep();
  std::uint16_t& count = regs_.single(reg::ProductionCount);
  ++count;
  ++completed_;
  event_({Event::Kind::ProjectDone, p, count});
  if (next == runner::Sequence::Next::Repeat) return beginStep();
  if (next == runner::Sequence::Next::Chain) {
    regs_.selectProject(seq_.project());
    event_({Event::Kind::RunStarted, seq_.project()});
    return beginStep();
  }
  stop({Event::Kind::RunDone});
}

}  // namespace lorvane::sim
