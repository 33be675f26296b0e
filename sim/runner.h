#pragma once
// The step interpreter of a project run: what one step of a project does from where the axes
// stand (arc, line, teach point, per-axis moves, the Z/A switch, delays, outputs), in which order
// the steps run (loops, the end of the project, the project's repeat, chaining to the next
// project), and the whole planned path of a project computed at once, without running time.
//
// The simulator runs its projects through it, and the program draws a project's path with it,
// so the drawing and the run cannot disagree. It reads the project through a Store: the
// simulator's banks, or a backup file. Positions are hundredths of a millimetre, axes X Y Z C A.
// No Qt here.
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <utility>
#include <vector>

namespace lorvane::runner {

inline constexpr int kAxes = 5;
inline constexpr int kProjects = 10;
inline constexpr int kSteps = 50;
inline constexpr int kInputs = 13;
inline constexpr int kOutputs = 12;

using Point = std::array<double, kAxes>;

// Where a project's values are read from.
struct Store {
  // A register of a step (1-based project and step), the Z/A settings as the step's 0x1055
  // selects them. Also used for the project-wide registers.
  std::function<std::uint16_t(int project, int step, std::uint16_t address)> step;
  // An axis parameter (pulses per turn, travel per turn), for the taught points.
  std::function<std::uint16_t(std::uint16_t address)> parameter;
  // An input's state (1..13). Left empty for a plan: every start condition is then taken as
  // met, and the steps that have one say so.
  std::function<bool(int input)> input;

  std::uint16_t project(int p, std::uint16_t address) const { return step(p, 1, address); }
  std::int32_t pair(int p, int s, std::uint16_t first) const;
  // Steps the project runs (its step count, at most 50).
  int stepCount(int p) const;
};

enum class Kind { Arc, Line, Teach, Axes };

// What one step does.
struct Move {
  int project = 1;
  int step = 1;
  Kind kind = Kind::Axes;
  Point from{}, to{};
  std::array<bool, kAxes> moves{};  // axes that travel
  // X and Y on an arc (the other axes straight): centre, radius, start angle and the signed sweep
  // in radians (negative clockwise, as seen with X to the right and Y up).
  bool arc = false;
  double cx = 0, cy = 0, radius = 0, a0 = 0, sweep = 0;
  int drawing = 3;  // what 0x105A shows: 1 arc, 2 line, 3 other
  int startDelayMs = 0;
  int endDelayMs = 0;
  // Inputs that decide whether a part of the step moves (taken as met in a plan).
  std::vector<int> conditions;
  // Outputs the step sets (number, on): the direct ones, and those whose input condition holds.
  std::vector<std::pair<int, bool>> outputs;

  // Where the axes are a fraction t (0..1) of the way through the move.
  Point at(double t) const;
};

Move interpret(const Store& store, int project, int step, const Point& from);

// The order in which a run goes through the steps.
class Sequence {
 public:
  enum class Next {
    Step,     // the next step of the project
    LoopPass, // back to the first step of a loop for another pass
    Repeat,   // the project ended and runs again from step 1 (its loop setting)
    Chain,    // the project ended and the next project starts
    Done,     // the project ended and the run with it
  };
  explicit Sequence(int project) : project_(project) {}
  int project() const { return project_; }
  int step() const { return step_; }
  // After the current step has run: moves on and says how.
  Next advance(const Store& store);

 private:
  int project_;
  int step_ = 1;
  std::map<int, int> loopsDone_;  // step that closes a loop -> passes made
};

// The whole path of a project, run from a start point with every start condition met.
struct Plan {
  enum class MarkKind { LoopPassEnd, Repeat, Chain, ChainAgain, Cut };
  struct Mark {
    MarkKind kind;
    int after;  // index of the move it follows
    int value;  // the pass (LoopPassEnd), the next project (Chain, ChainAgain)
  };
  std::vector<Move> moves;  // in run order
  std::vector<Mark> marks;
  Point end() const { return moves.empty() ? Point{} : moves.back().to; }
};

// A project that repeats itself is planned once (marked Repeat); a chain into a project already
// planned stops there (marked ChainAgain); more than maxMoves moves are cut (marked Cut).
Plan plan(const Store& store, int project, const Point& start = {}, int maxMoves = 5000);

}  // namespace lorvane::runner
