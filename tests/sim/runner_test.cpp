// The step interpreter's planned paths, as tables of programmed steps and the moves they give,
// and a run of the simulated controller that goes through the same points.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <numbers>
#include <string>
#include <tuple>
#include <vector>

#include "frames/registers.h"
#include "sim/model.h"
#include "sim/runner.h"

namespace lorvane::sim {
namespace {

using runner::Kind;
using runner::Plan;

// Projects held as plain values, as a backup file holds them. Project-wide registers are kept
// once per project; axis parameters are the controller's defaults (1600 pulses, 5 mm a turn).
struct Programs {
  std::map<std::tuple<int, int, std::uint16_t>, std::uint16_t> values;

  void set(int p, int s, std::uint16_t a, std::uint16_t v) { values[{p, reg::projectBanked(a) ? 0 : s, a}] = v; }
  void setLong(int p, int s, std::uint16_t a, std::int32_t v) {
    set(p, s, a, static_cast<std::uint16_t>(v & 0xFFFF));
    set(p, s, static_cast<std::uint16_t>(a + 1), static_cast<std::uint16_t>(static_cast<std::uint32_t>(v) >> 16));
  }
  runner::Store store() const {
    return runner::Store{[this](int p, int s, std::uint16_t a) {
                           const auto it = values.find({p, reg::projectBanked(a) ? 0 : s, a});
                           return it == values.end() ? std::uint16_t{0} : it->second;
                         },
                         [](std::uint16_t a) -> std::uint16_t {
                           for (int axis = 0; axis < reg::AxisCount; ++axis) {
                             if (a == reg::AxisParamReg[reg::PulsesPerRev][axis]) return 1600;
                             if (a == reg::AxisParamReg[reg::LeadMicrons][axis]) return 5000;
                           }
                           return 0;
                         },
                         {}};
  }
};

// The arc page's example: centre (20, 0) and end (20, -20) from the step's start.
void arcExample(Programs& g, int direction, int size) {
  g.set(1, 0, reg::StepCount, 1);
  g.set(1, 1, reg::ArcFlag, 1);
  g.set(1, 1, reg::ArcDirection, static_cast<std::uint16_t>(direction));
  g.set(1, 1, reg::TeachOrArcSize, static_cast<std::uint16_t>(size));
  g.setLong(1, 1, reg::ArcCentreX, 2000);
  g.setLong(1, 1, reg::ArcEndX, 2000);
  g.setLong(1, 1, reg::ArcEndY, -2000);
}

// A normal step that drives the given axes: {axis, run mode, distance, reverse, absolute}.
struct AxisSetting {
  int axis, runMode;
  std::int32_t distance;
  bool reverse = false, absolute = false;
};
void axisStep(Programs& g, int p, int s, int mode, std::vector<AxisSetting> axes) {
  g.set(p, s, reg::NormalMode, static_cast<std::uint16_t>(mode));
  for (const AxisSetting& a : axes) {
    const auto i = static_cast<size_t>(a.axis);
    g.set(p, s, reg::NormalRunMode[i], static_cast<std::uint16_t>(a.runMode));
    g.setLong(p, s, reg::NormalDistance[i], a.distance);
    g.set(p, s, reg::NormalDirection[i], a.reverse ? 1 : 0);
    g.set(p, s, reg::NormalAbsolute[i], a.absolute ? 1 : 0);
  }
}

struct Expected {
  int project, step;
  Kind kind;
  runner::Point to;  // hundredths of a mm
  double sweepDegrees = 0;
};
struct ExpectedMark {
  Plan::MarkKind kind;
  int after, value;
};
struct PathCase {
  std::string name;
  std::function<void(Programs&)> program;
  runner::Point start;
  std::vector<Expected> moves;
  std::vector<ExpectedMark> marks;
  std::vector<int> conditions = {};  // inputs the plan took as met, over all moves
};

const PathCase kPaths[] = {
    {"ArcExampleCounterClockwiseIsTheQuarterBelow", [](Programs& g) { arcExample(g, 1, 0); }, {500, 0},
     {{1, 1, Kind::Arc, {2500, -2000}, 90}}, {}},
    {"ArcExampleClockwiseGoesOverTheTop", [](Programs& g) { arcExample(g, 0, 0); }, {},
     {{1, 1, Kind::Arc, {2000, -2000}, -270}}, {}},
    {"ArcMoreThanATurnClockwise", [](Programs& g) { arcExample(g, 0, 1); }, {},
     {{1, 1, Kind::Arc, {2000, -2000}, -630}}, {}},
    {"ArcMoreThanATurnCounterClockwise", [](Programs& g) { arcExample(g, 1, 1); }, {},
     {{1, 1, Kind::Arc, {2000, -2000}, 450}}, {}},
    {"FullCircleBackToItsStart",
     [](Programs& g) {
       arcExample(g, 1, 0);
       g.setLong(1, 1, reg::ArcEndX, 0);
       g.setLong(1, 1, reg::ArcEndY, 0);
     },
     {}, {{1, 1, Kind::Arc, {0, 0}, 360}}, {}},
    {"LineFromWhereTheAxesStandWithCAlongAndAStartCondition",
     [](Programs& g) {
       g.set(1, 0, reg::StepCount, 1);
       g.set(1, 1, reg::LineFlag, 1);
       g.set(1, 1, reg::NormalMode, 1);
       g.set(1, 1, reg::LineStartInput, 3);
       g.setLong(1, 1, reg::LineEndX, 3000);
       g.setLong(1, 1, reg::LineEndY, -1000);
       axisStep(g, 1, 1, 1, {{reg::C, 2, 500}});
     },
     {1000, 500, 0, 100, 0}, {{1, 1, Kind::Line, {4000, -500, 0, 600, 0}}}, {}, {3}},
    {"RelativeAndAbsoluteAxesToZeroAndReverse",
     [](Programs& g) {
       g.set(1, 0, reg::StepCount, 2);
       axisStep(g, 1, 1, 2, {{reg::X, 2, 1000}, {reg::Y, 2, 700, false, true}, {reg::Z, 2, 200, true}, {reg::C, 1, 999}});
       axisStep(g, 1, 2, 2, {{reg::X, 2, 1000, true, true}, {reg::Y, 0, 5000}});
     },
     {300, 400, 100, 900, 0},
     {{1, 1, Kind::Axes, {1300, 700, -100, 0, 0}}, {1, 2, Kind::Axes, {1000, 700, -100, 0, 0}}}, {}},
    {"TheZaPageDrivesAWhenSwitched",
     [](Programs& g) {
       g.set(1, 0, reg::StepCount, 1);
       axisStep(g, 1, 1, 0, {{reg::Z, 2, 400}, {reg::X, 2, 9999}});
       g.set(1, 1, reg::ZReplacedByA, 1);
     },
     {}, {{1, 1, Kind::Axes, {0, 0, 0, 0, 400}}}, {}},
    {"ConditionedAxisIsDrawnAsMet",
     [](Programs& g) {
       g.set(1, 0, reg::StepCount, 1);
       axisStep(g, 1, 1, 2, {{reg::Y, 3, 800}});
       g.set(1, 1, reg::NormalStartInput[reg::Y], 5);
     },
     {}, {{1, 1, Kind::Axes, {0, 800, 0, 0, 0}}}, {}, {5}},
    {"TeachPointInPulsesOthersFromTheirPages",
     [](Programs& g) {
       g.set(1, 0, reg::StepCount, 1);
       g.set(1, 1, reg::NormalMode, 3);
       g.set(1, 1, reg::TeachAxisMode[1], 1);
       g.set(1, 1, reg::TeachAxisMode[2], 1);
       g.set(1, 1, reg::TeachAxisMode[3], 1);
       g.setLong(1, 1, reg::TeachPulses[0], -3200);  // -10 mm
       g.setLong(1, 1, reg::TeachPulses[1], 9999);    // Y is not a teach axis
       axisStep(g, 1, 1, 3, {{reg::Y, 2, 300}, {reg::Z, 2, 100}});
     },
     {200, 0}, {{1, 1, Kind::Teach, {-1000, 300, 100, 0, 0}}}, {}},
    {"LoopRunsItsStepsAgainAndMarksEachPass",
     [](Programs& g) {
       g.set(1, 0, reg::StepCount, 3);
       for (int s = 1; s <= 3; ++s) axisStep(g, 1, s, 2, {{reg::X, 2, 100 * s}});
       g.set(1, 3, reg::LoopFrom, 2);
       g.set(1, 3, reg::LoopTo, 3);
       g.set(1, 3, reg::LoopCount, 2);
     },
     {},
     {{1, 1, Kind::Axes, {100}}, {1, 2, Kind::Axes, {300}}, {1, 3, Kind::Axes, {600}}, {1, 2, Kind::Axes, {800}},
      {1, 3, Kind::Axes, {1100}}, {1, 2, Kind::Axes, {1300}}, {1, 3, Kind::Axes, {1600}}},
     {{Plan::MarkKind::LoopPassEnd, 2, 1}, {Plan::MarkKind::LoopPassEnd, 4, 2}}},
    {"ChainToTheNextProjectStopsWhereItWouldGoRound",
     [](Programs& g) {
       g.set(1, 0, reg::StepCount, 1);
       g.set(1, 0, reg::NextProject, 4);
       axisStep(g, 1, 1, 2, {{reg::X, 2, 500}});
       g.set(4, 0, reg::StepCount, 1);
       g.set(4, 0, reg::NextProject, 1);
       axisStep(g, 4, 1, 2, {{reg::Y, 2, 500}});
     },
     {}, {{1, 1, Kind::Axes, {500}}, {4, 1, Kind::Axes, {500, 500}}},
     {{Plan::MarkKind::Chain, 0, 4}, {Plan::MarkKind::ChainAgain, 1, 1}}},
    {"ChainToAProjectWithoutStepsEnds",
     [](Programs& g) {
       g.set(1, 0, reg::StepCount, 1);
       g.set(1, 0, reg::NextProject, 2);
       axisStep(g, 1, 1, 2, {{reg::X, 2, 500}});
     },
     {}, {{1, 1, Kind::Axes, {500}}}, {}},
    {"RepeatingProjectIsPlannedOnce",
     [](Programs& g) {
       g.set(1, 0, reg::StepCount, 1);
       g.set(1, 0, reg::ProjectLoops, 1);
       g.set(1, 0, reg::NextProject, 2);
       axisStep(g, 1, 1, 2, {{reg::X, 2, 500}});
     },
     {}, {{1, 1, Kind::Axes, {500}}}, {{Plan::MarkKind::Repeat, 0, 1}}},
};

void PrintTo(const PathCase& c, std::ostream* os) { *os << c.name; }

class PlannedPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(PlannedPath, MovesAndMarksAreTheProgrammedOnes) {
  const PathCase& c = GetParam();
  Programs g;
  c.program(g);
  const Plan plan = runner::plan(g.store(), 1, c.start);
  ASSERT_EQ(plan.moves.size(), c.moves.size());
  runner::Point from = c.start;
  std::vector<int> conditions;
  for (size_t i = 0; i < c.moves.size(); ++i) {
    const runner::Move& m = plan.moves[i];
    const Expected& e = c.moves[i];
    SCOPED_TRACE("move " + std::to_string(i));
    EXPECT_EQ(m.project, e.project);
    EXPECT_EQ(m.step, e.step);
    EXPECT_EQ(m.kind, e.kind);
    for (size_t a = 0; a < runner::kAxes; ++a) {
      EXPECT_DOUBLE_EQ(m.from[a], from[a]) << "axis " << a;
      EXPECT_NEAR(m.to[a], e.to[a], 1e-9) << "axis " << a;
    }
    EXPECT_EQ(m.arc, e.kind == Kind::Arc);
    EXPECT_NEAR(m.sweep * 180 / std::numbers::pi, e.sweepDegrees, 1e-9);
    if (m.arc) {
      // The arc starts where the step starts and ends on its end point.
      const runner::Point a = m.at(0), b = m.at(0.999999);
      EXPECT_NEAR(a[reg::X], from[reg::X], 1e-6);
      EXPECT_NEAR(a[reg::Y], from[reg::Y], 1e-6);
      EXPECT_NEAR(b[reg::X], m.to[reg::X], 0.1);
      EXPECT_NEAR(b[reg::Y], m.to[reg::Y], 0.1);
    }
    conditions.insert(conditions.end(), m.conditions.begin(), m.conditions.end());
    from = m.to;
  }
  ASSERT_EQ(plan.marks.size(), c.marks.size());
  for (size_t i = 0; i < c.marks.size(); ++i) {
    EXPECT_EQ(plan.marks[i].kind, c.marks[i].kind) << "mark " << i;
    EXPECT_EQ(plan.marks[i].after, c.marks[i].after) << "mark " << i;
    EXPECT_EQ(plan.marks[i].value, c.marks[i].value) << "mark " << i;
  }
  EXPECT_EQ(conditions, c.conditions);
}

INSTANTIATE_TEST_SUITE_P(Runner, PlannedPath, ::testing::ValuesIn(kPaths),
                         [](const auto& info) { return info.param.name; });

TEST(PlannedPathLimit, AnEndlessProgramIsCut) {
  Programs g;
  g.set(1, 0, reg::StepCount, 1);
  g.set(1, 1, reg::LoopFrom, 1);
  g.set(1, 1, reg::LoopTo, 1);
  g.set(1, 1, reg::LoopCount, 65535);
  const Plan plan = runner::plan(g.store(), 1, {}, 100);
  EXPECT_EQ(plan.moves.size(), 100u);
  ASSERT_FALSE(plan.marks.empty());
  EXPECT_EQ(plan.marks.back().kind, Plan::MarkKind::Cut);
}

// ---- The simulated controller runs through the planned points

TEST(PlannedPathRun, TheSimulatorStopsAtEachPlannedStepEndAndEndsWhereThePlanEnds) {
  // The demo project, chained to a project with a loop, a clockwise arc of more than a turn, a
  // teach point and the Z/A page on A.
  ControllerModel model;
  model.loadDemo();
  model.timing().stepMs = 40;
  using R = ControllerModel::Result;
  const auto select = [&](int p, int s) {
    ASSERT_EQ(model.writeRegister(reg::CurrentProject, static_cast<std::uint16_t>(p)), R::Ok);
    ASSERT_EQ(model.writeRegister(reg::CurrentStep, static_cast<std::uint16_t>(s)), R::Ok);
  };
  const auto set = [&](std::uint16_t a, std::uint16_t v) { ASSERT_EQ(model.writeRegister(a, v), R::Ok); };
  const auto setLong = [&](std::uint16_t a, std::int32_t v) { ASSERT_EQ(model.writeLong(a, v), R::Ok); };
  select(1, 1);
  set(reg::NextProject, 3);
  select(3, 1);
  set(reg::StepCount, 3);
  ASSERT_EQ(model.writeCoil(coil::ChooseArc, true), R::Ok);
  set(reg::TeachOrArcSize, 1);
  setLong(reg::ArcCentreX, -1000);
  setLong(reg::ArcCentreY, 500);
  setLong(reg::ArcEndX, -500);
  setLong(reg::ArcEndY, 1500);
  select(3, 2);
  ASSERT_EQ(model.writeCoil(coil::ChooseNormal, true), R::Ok);
  set(reg::ZReplacedByA, 1);
  set(reg::NormalRunMode[reg::A], 2);
  setLong(reg::NormalDistance[reg::A], 250);
  set(reg::NormalRunMode[reg::X], 2);
  setLong(reg::NormalDistance[reg::X], 300);
  set(reg::LoopFrom, 1);
  set(reg::LoopTo, 2);
  set(reg::LoopCount, 2);
  select(3, 3);
  ASSERT_EQ(model.writeCoil(coil::ChooseTeach, true), R::Ok);
  setLong(reg::TeachPulses[0], 4800);
  setLong(reg::TeachPulses[1], -1600);
  select(1, 1);

  const runner::Store store{[&](int p, int s, std::uint16_t a) { return model.stepRegister(p, s, a); },
                            [&](std::uint16_t a) { return model.reg(a); }, {}};
  const Plan plan = runner::plan(store, 1);
  ASSERT_EQ(plan.moves.size(), 4u + 7u);  // the demo's four steps, then 1 2 1 2 1 2 3

  ASSERT_EQ(model.writeCoil(coil::Start, true), R::Ok);
  std::vector<std::pair<int, int>> steps;  // (project, step) as the run status shows them
  std::vector<runner::Point> at;           // where the axes were when each step began
  for (int ms = 0; ms < 20000 && model.running(); ++ms) {
    const int status = model.reg(reg::RunStatus);
    if (steps.empty() || status != steps.back().second || model.currentProject() != steps.back().first) {
      steps.emplace_back(model.currentProject(), status);
      runner::Point p{};
      for (int a = 0; a < runner::kAxes; ++a) p[static_cast<size_t>(a)] = model.position(a);
      at.push_back(p);
    }
    model.advance(1);
  }
  ASSERT_FALSE(model.running());
  ASSERT_EQ(steps.size(), plan.moves.size());
  for (size_t i = 0; i < plan.moves.size(); ++i) {
    SCOPED_TRACE("move " + std::to_string(i));
    EXPECT_EQ(steps[i], std::make_pair(plan.moves[i].project, plan.moves[i].step));
    for (int a = 0; a < runner::kAxes; ++a)
      EXPECT_NEAR(at[i][static_cast<size_t>(a)], plan.moves[i].from[static_cast<size_t>(a)], 0.5) << "axis " << a;
  }
  for (int a = 0; a < runner::kAxes; ++a) EXPECT_NEAR(model.position(a), plan.end()[static_cast<size_t>(a)], 0.5) << "axis " << a;
  EXPECT_EQ(model.completedRuns(), 2);
}

}  // namespace
}  // namespace lorvane::sim
