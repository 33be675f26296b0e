#pragma once
// A project run in time: the start delay, the move and the end delay of each step, as the step
// interpreter (sim/runner.h) says what a step does and which step comes next. It moves the axes,
// sets the outputs and reports the run in the status registers (0x1058, 0x1059, 0x105A, 0x1024)
// and the production count (0x10DE).
#include <functional>

#include "sim/event.h"
#include "sim/motion.h"
#include "sim/register_file.h"
#include "sim/runner.h"

namespace lorvane::sim {

class ProjectRun {
 public:
  using InputFn = std::function<bool(int input)>;
  using OutputFn = std::function<void(int output, bool on)>;
  using EventFn = std::function<void(const Event&)>;

  ProjectRun(RegisterFile& regs, Positions& positions, const int& stepMs, InputFn input, OutputFn output, EventFn event)
      : regs_(regs), pos_(positions), stepMs_(stepMs), input_(std::move(input)), output_(std::move(output)), event_(std::move(event)) {}

  bool active() const { return active_; }
  // Runs the current project from its first step; false when it has no steps (or one runs).
  bool start();
  void stop(const Event& why);
  void reset() { active_ = false; }  // no run, nothing reported (a restart)
  void tick();  // one millisecond
  bool moving(int axis) const { return active_ && phase_ == Phase::Move && move_.moves[static_cast<size_t>(axis)]; }
  int completed() const { return completed_; }

 private:
  enum class Phase { StartDelay, Move, EndDelay };
  void beginStep();
  void beginMove();
  void finishStep();
  runner::Store store() const;

  RegisterFile& regs_;
  Positions& pos_;
  const int& stepMs_;  // travel of one step (its start and end delays come on top)
  InputFn input_;
  OutputFn output_;
  EventFn event_;
  bool active_ = false;
  runner::Sequence seq_{1};
  Phase phase_ = Phase::StartDelay;
  int left_ = 0;  // ms left in this phase
  int moveMs_ = 0;
  int moveDone_ = 0;
  runner::Move move_;
  int completed_ = 0;
};

}  // namespace lorvane::sim
