// The simulated controller's behaviour that the screens rely on: per-step storage, motion,
// inputs and outputs, runs, and the project store.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

#include "sim/model.h"

namespace lorvane::sim {
namespace {

using R = ControllerModel::Result;

class Model : public ::testing::Test {
 protected:
  void select(int project, int step) {
    ASSERT_EQ(model.writeRegister(reg::CurrentProject, static_cast<std::uint16_t>(project)), R::Ok);
    ASSERT_EQ(model.writeRegister(reg::CurrentStep, static_cast<std::uint16_t>(step)), R::Ok);
  }
  void pulse(std::uint16_t c) { ASSERT_EQ(model.writeCoil(c, true), R::Ok); }
  void set(std::uint16_t a, std::uint16_t v) { ASSERT_EQ(model.writeRegister(a, v), R::Ok); }
  void setLong(std::uint16_t a, std::int32_t v) { ASSERT_EQ(model.writeLong(a, v), R::Ok); }

  ControllerModel model;
};

// ---- Per-step and per-project storage

enum class Kept { PerStep, PerProject, Single };
struct Storage {
  std::uint16_t address;
  Kept kept;
};

const Storage kStorage[] = {
    // Step pages: hub, arc, line, teach, axis pages, outputs, conditions, timing.
    Storage{reg::StepStartDelay, Kept::PerStep}, Storage{reg::TeachOrArcSize, Kept::PerStep},
    Storage{reg::NormalMode, Kept::PerStep}, Storage{reg::ArcCentreX, Kept::PerStep},
    Storage{reg::ArcSpeed, Kept::PerStep}, Storage{reg::LineEndY, Kept::PerStep},
    Storage{reg::LineSpeed, Kept::PerStep}, Storage{0x1070, Kept::PerStep}, Storage{0x107F, Kept::PerStep},
    Storage{0x1028, Kept::PerStep}, Storage{0x1033, Kept::PerStep}, Storage{0x1041, Kept::PerStep},
    Storage{reg::ZReplacedByA, Kept::PerStep}, Storage{0x10AB, Kept::PerStep}, Storage{0x10B1, Kept::PerStep},
    Storage{0x10BF, Kept::PerStep}, Storage{0x103E, Kept::PerStep}, Storage{0x1095, Kept::PerStep},
    Storage{0x109B, Kept::PerStep}, Storage{0x10E3, Kept::PerStep}, Storage{0x10E5, Kept::PerStep},
    Storage{reg::LoopCount, Kept::PerStep}, Storage{reg::StepEndDelay, Kept::PerStep},
    // Project-wide settings.
    Storage{reg::StepCount, Kept::PerProject}, Storage{reg::ProjectLoops, Kept::PerProject},
    Storage{reg::SpeedOverride, Kept::PerProject}, Storage{reg::NextProject, Kept::PerProject},
    // Machine settings and counters.
    Storage{reg::ProductionCount, Kept::Single}, Storage{0x1001, Kept::Single}, Storage{0x10E2, Kept::Single},
    Storage{0x10DB, Kept::Single}, Storage{reg::JogDistance[reg::C], Kept::Single},
    Storage{reg::StartSwitch, Kept::Single}, Storage{reg::OutputTestNumber, Kept::Single},
};

TEST_F(Model, EachStepAndProjectShowsItsOwnValues) {
  for (const auto& [a, kept] : kStorage) {
    SCOPED_TRACE(QStringLiteral("register %1").arg(a, 4, 16).toStdString());
    select(2, 1);
    const std::uint16_t otherProject = model.reg(a);  // what project 2 holds before any write
    select(1, 1);
    set(a, 11);
    select(1, 2);
    EXPECT_EQ(model.reg(a), kept == Kept::PerStep ? 0 : 11) << "after a step change";
    set(a, 12);
    select(2, 1);
    EXPECT_EQ(model.reg(a), kept == Kept::Single ? 12 : otherProject) << "after a project change";
    select(1, 1);
    EXPECT_EQ(model.reg(a), kept == Kept::PerStep ? 11 : 12) << "back on project 1 step 1";
    select(1, 2);
    EXPECT_EQ(model.reg(a), 12);
  }
}

TEST_F(Model, RefusesProjectsAndStepsItDoesNotHave) {
  for (int p : {0, 11, 0xFFFF}) EXPECT_EQ(model.writeRegister(reg::CurrentProject, static_cast<std::uint16_t>(p)), R::IllegalValue);
  for (int s : {0, 51}) EXPECT_EQ(model.writeRegister(reg::CurrentStep, static_cast<std::uint16_t>(s)), R::IllegalValue);
  EXPECT_EQ(model.currentProject(), 1);
  EXPECT_EQ(model.currentStep(), 1);
  select(10, 50);
  EXPECT_EQ(model.reg(reg::CurrentProject), 10);
  EXPECT_EQ(model.reg(reg::CurrentStep), 50);
}

TEST_F(Model, StepCoilsMoveTheCurrentStepWithinOneToFifty) {
  pulse(coil::PrevStep);
  EXPECT_EQ(model.currentStep(), 1);
  pulse(coil::NextStep);
  pulse(coil::NextStep);
  EXPECT_EQ(model.reg(reg::CurrentStep), 3);
  select(1, 50);
  pulse(coil::NextStep);
  EXPECT_EQ(model.currentStep(), 50);
}

// Once the project's step count is set, the step stops at it; without one, at 50.
TEST_F(Model, StepCoilsStopAtOneAndAtTheProjectsStepCount) {
  struct Case {
    int count;
    int from;
    std::uint16_t coil;
    int to;
  };
  const Case cases[] = {
      {12, 1, coil::PrevStep, 1},  {12, 11, coil::NextStep, 12}, {12, 12, coil::NextStep, 12},
      {12, 12, coil::PrevStep, 11}, {0, 1, coil::NextStep, 2},   {3, 7, coil::NextStep, 7},
      {3, 7, coil::PrevStep, 6},   {50, 50, coil::NextStep, 50},
  };
  for (const Case& c : cases) {
    select(2, c.from);
    set(reg::StepCount, static_cast<std::uint16_t>(c.count));
    pulse(c.coil);
    EXPECT_EQ(model.currentStep(), c.to) << c.count << " steps, from " << c.from << (c.coil == coil::NextStep ? " next" : " previous");
    EXPECT_EQ(model.reg(reg::CurrentStep), c.to);
  }
}

TEST_F(Model, FunctionChoiceSetsTheFlagsTheHubShows) {
  struct Choice {
    std::uint16_t coil;
    std::array<std::uint16_t, 4> teachArcLineNormal;
  };
  const Choice choices[] = {{coil::ChooseTeach, {1, 0, 0, 3}},
                            {coil::ChooseArc, {0, 1, 0, 0}},
                            {coil::ChooseLine, {0, 0, 1, 1}},
                            {coil::ChooseNormal, {0, 0, 0, 2}}};
  for (const Choice& c : choices) {
    pulse(c.coil);
    const std::array<std::uint16_t, 4> got = {model.reg(reg::TeachOrArcSize), model.reg(reg::ArcFlag),
                                              model.reg(reg::LineFlag), model.reg(reg::NormalMode)};
    EXPECT_EQ(got, c.teachArcLineNormal) << std::hex << c.coil;
  }
  // The choice belongs to the step.
  pulse(coil::NextStep);
  EXPECT_EQ(model.reg(reg::NormalMode), 0);
  pulse(coil::ArcCounterClockwise);
  EXPECT_EQ(model.reg(reg::ArcDirection), 1);
  pulse(coil::ArcClockwise);
  EXPECT_EQ(model.reg(reg::ArcDirection), 0);
}

// ---- Motion by hand

TEST_F(Model, JogMovesOnlyItsAxisByTheDistanceInTheDirectionThenStops) {
  for (int axis = 0; axis < kAxes; ++axis) {
    for (int direction : {0, 1}) {
      for (int a = 0; a < kAxes; ++a) model.setPosition(a, 0);
      set(reg::JogDistance[axis], 1234);
      set(reg::JogDirection[axis], static_cast<std::uint16_t>(direction));
      pulse(coil::Jog[axis]);
      model.advance(20);
      EXPECT_TRUE(model.axisMoving(axis));
      EXPECT_EQ(model.reg(static_cast<std::uint16_t>(reg::SignalJA + axis)), 1);
      model.advance(5000);
      const std::int32_t want = direction == 0 ? 1234 : -1234;
      EXPECT_EQ(model.position(axis), want) << "axis " << axis;
      EXPECT_EQ(model.regLong(reg::Position[axis]), want) << "axis " << axis;
      EXPECT_FALSE(model.axisMoving(axis));
      for (int other = 0; other < kAxes; ++other) {
        if (other != axis) {
          EXPECT_EQ(model.position(other), 0) << "axis " << other << " moved with " << axis;
        }
      }
    }
  }
}

TEST_F(Model, HoldToRunMovesWhileTheCoilIsOnAndStopsWhenOff) {
  for (int axis = 0; axis < kAxes; ++axis) {
    for (bool forward : {true, false}) {
      model.setPosition(axis, 0);
      const std::uint16_t c = forward ? coil::Forward[axis] : coil::Reverse[axis];
      ASSERT_EQ(model.writeCoil(c, true), R::Ok);
      EXPECT_TRUE(model.axisMoving(axis));
      model.advance(200);
      const std::int32_t held = model.position(axis);
      EXPECT_TRUE(forward ? held > 0 : held < 0) << "axis " << axis << " held at " << held;
      ASSERT_EQ(model.writeCoil(c, false), R::Ok);
      model.advance(200);
      EXPECT_FALSE(model.axisMoving(axis));
      EXPECT_EQ(model.position(axis), held) << "axis " << axis << " kept going after OFF";
    }
  }
}

TEST_F(Model, TeachPageJogsDriveXYZCWhileHeld) {
  for (int axis = 0; axis < 4; ++axis) {
    ASSERT_EQ(model.writeCoil(coil::TeachReverse[static_cast<size_t>(axis)], true), R::Ok);
    model.advance(100);
    ASSERT_EQ(model.writeCoil(coil::TeachReverse[static_cast<size_t>(axis)], false), R::Ok);
    model.advance(100);
    EXPECT_LT(model.position(axis), 0) << "axis " << axis;
    EXPECT_FALSE(model.axisMoving(axis));
  }
  EXPECT_EQ(model.position(reg::A), 0);
}

TEST_F(Model, LimitInputsStopDrivingTowardThem) {
  set(reg::AxisParamReg[reg::ForwardLimit][reg::X], 4);
  set(reg::AxisParamReg[reg::ReverseLimit][reg::X], 5);
  ASSERT_EQ(model.writeCoil(coil::Forward[reg::X], true), R::Ok);
  model.advance(50);
  model.setInput(4, true);
  const std::int32_t atLimit = model.position(reg::X);
  model.advance(200);
  EXPECT_EQ(model.position(reg::X), atLimit);
  EXPECT_FALSE(model.axisMoving(reg::X));
  ASSERT_EQ(model.writeCoil(coil::Forward[reg::X], false), R::Ok);
  // Away from the limit is allowed.
  ASSERT_EQ(model.writeCoil(coil::Reverse[reg::X], true), R::Ok);
  model.advance(50);
  EXPECT_LT(model.position(reg::X), atLimit);
}

TEST_F(Model, HomeStopsWhenTheHomingInputComesAndTakesThatAsZero) {
  set(reg::AxisParamReg[reg::ZeroInput][reg::Z], 3);
  model.setPosition(reg::Z, 5000);
  pulse(coil::Home[reg::Z]);
  model.advance(100);
  EXPECT_TRUE(model.axisMoving(reg::Z));
  const std::int32_t underway = model.position(reg::Z);
  EXPECT_LT(underway, 5000);
  EXPECT_GT(underway, 0);
  model.setInput(3, true);
  model.advance(1);
  EXPECT_FALSE(model.axisMoving(reg::Z));
  EXPECT_EQ(model.position(reg::Z), 0);
  model.advance(500);
  EXPECT_EQ(model.position(reg::Z), 0);
}

TEST_F(Model, HomeWithoutAHomingInputStopsAtZeroFromEitherSide) {
  for (std::int32_t start : {4000, -2500}) {
    model.setPosition(reg::C, start);
    pulse(coil::Home[reg::C]);
    model.advance(50);
    EXPECT_TRUE(model.axisMoving(reg::C));
    model.advance(5000);
    EXPECT_FALSE(model.axisMoving(reg::C));
    EXPECT_EQ(model.position(reg::C), 0) << "from " << start;
  }
}

// ---- Inputs and outputs

TEST_F(Model, InputsReadIdleOutsideTheTestAndOnOrOffDuringIt) {
  model.setInput(3, true);
  model.setInput(13, true);
  for (int n = 1; n <= kInputs; ++n) EXPECT_EQ(model.reg(static_cast<std::uint16_t>(reg::InputTestState + n - 1)), 0);
  ASSERT_EQ(model.writeCoil(coil::InputTest, true), R::Ok);
  for (int n = 1; n <= kInputs; ++n)
    EXPECT_EQ(model.reg(static_cast<std::uint16_t>(reg::InputTestState + n - 1)), (n == 3 || n == 13) ? 1 : 2) << "L" << n;
  model.setInput(3, false);
  EXPECT_EQ(model.reg(0x10CA), 2);
  ASSERT_EQ(model.writeCoil(coil::InputTest, false), R::Ok);
  EXPECT_EQ(model.reg(0x10D4), 0);
  EXPECT_TRUE(model.input(13));
  EXPECT_FALSE(model.input(3));
}

TEST_F(Model, OutputsFollowTheOutputTest) {
  struct Test {
    int number, setting;
    std::array<bool, 4> y1to4;
    bool y12;
  };
  const Test tests[] = {{2, 0, {false, true, false, false}, false},  // 0 switches on
                        {12, 0, {false, true, false, false}, true},
                        {2, 1, {false, false, false, false}, true},  // 1 switches off
                        {13, 0, {false, false, false, false}, true},  // no Y13: nothing changes
                        {4, 2, {false, false, false, false}, true},   // no setting 2
                        {0, 0, {false, false, false, false}, true}};
  for (const Test& t : tests) {
    set(reg::OutputTestNumber, static_cast<std::uint16_t>(t.number));
    set(reg::OutputTestSetting, static_cast<std::uint16_t>(t.setting));
    pulse(coil::OutputTest);
    for (int n = 1; n <= 4; ++n) {
      EXPECT_EQ(model.output(n), t.y1to4[static_cast<size_t>(n - 1)]) << "Y" << n << " after Y" << t.number << "/" << t.setting;
      EXPECT_EQ(model.reg(static_cast<std::uint16_t>(reg::OutputY1 + n - 1)), t.y1to4[static_cast<size_t>(n - 1)] ? 1 : 0);
    }
    EXPECT_EQ(model.output(12), t.y12);
  }
}

// ---- Running a project

// Project 2: three steps of 100 ms. 1: X +10 mm (normal), Y1 on. 2: a line to (+5, -5).
// 3: X back to zero, Y1 off.
class Running : public Model {
 protected:
  void SetUp() override {
    model.timing().stepMs = 100;
    select(2, 1);
    set(reg::StepCount, 3);
    pulse(coil::ChooseNormal);
    set(reg::NormalRunMode[reg::X], 2);
    setLong(reg::NormalDistance[reg::X], 1000);
    set(reg::DirectOutput[0], 1);
    select(2, 2);
    pulse(coil::ChooseLine);
    setLong(reg::LineEndX, 500);
    setLong(reg::LineEndY, -500);
    select(2, 3);
    pulse(coil::ChooseNormal);
    set(reg::NormalRunMode[reg::X], 1);
    set(reg::DirectOutput[0], 1);
    set(reg::DirectOutputState[0], 1);
    select(2, 1);
  }
  // The run status and drawing mode each millisecond until standby or the limit.
  QList<std::pair<int, int>> watch(int limitMs) {
    QList<std::pair<int, int>> seen;
    for (int t = 0; t < limitMs; ++t) {
      const std::pair<int, int> now = {model.reg(reg::RunStatus), model.reg(reg::DrawingMode)};
      if (seen.isEmpty() || seen.last() != now) seen.append(now);
      if (now.first == 0) break;
      model.advance(1);
    }
    return seen;
  }
};

TEST_F(Running, StartRunsEveryStepAndCountsTheProduct) {
  set(reg::ProductionCount, 41);
  pulse(coil::Start);
  EXPECT_TRUE(model.running());
  model.advance(50);
  EXPECT_GT(model.position(reg::X), 0);
  EXPECT_LT(model.position(reg::X), 1000);
  EXPECT_TRUE(model.axisMoving(reg::X));
  EXPECT_EQ(model.reg(reg::SignalJA), 1);
  EXPECT_TRUE(model.output(1));
  EXPECT_EQ(model.reg(reg::OutputY1), 1);
  model.advance(50);
  EXPECT_EQ(model.regLong(reg::Position[reg::X]), 1000);
  const QList<std::pair<int, int>> seen = watch(1000);
  // Step 2 draws a line (2), step 3 is normal (3), then standby with no drawing.
  const QList<std::pair<int, int>> want = {{2, 2}, {3, 3}, {0, 0}};
  EXPECT_EQ(seen, want);
  EXPECT_FALSE(model.running());
  EXPECT_EQ(model.position(reg::X), 0);
  EXPECT_EQ(model.position(reg::Y), -500);
  EXPECT_FALSE(model.output(1));
  EXPECT_EQ(model.reg(reg::ProductionCount), 42);
}

TEST_F(Running, StopHaltsTheRunWhereItIs) {
  pulse(coil::Start);
  model.advance(40);
  pulse(coil::Stop);
  const std::int32_t x = model.position(reg::X);
  EXPECT_FALSE(model.running());
  EXPECT_EQ(model.reg(reg::RunStatus), 0);
  model.advance(1000);
  EXPECT_EQ(model.position(reg::X), x);
  EXPECT_FALSE(model.axisMoving(reg::X));
  EXPECT_EQ(model.reg(reg::ProductionCount), 0);
}

TEST_F(Running, StepDelaysAreShownAndHonoured) {
  set(reg::StepStartDelay, 30);
  set(reg::StepEndDelay, 20);
  pulse(coil::Start);
  EXPECT_EQ(model.reg(reg::StartDelay), 30);
  EXPECT_EQ(model.reg(reg::EndDelay), 20);
  model.advance(29);
  EXPECT_EQ(model.position(reg::X), 0);
  model.advance(100 + 1);
  EXPECT_EQ(model.position(reg::X), 1000);
  EXPECT_EQ(model.reg(reg::RunStatus), 1);
  model.advance(20);
  EXPECT_EQ(model.reg(reg::RunStatus), 2);
}

TEST_F(Running, LoopRunsTheStepsAgainThenGoesOn) {
  // After step 2, run steps 1..2 again twice.
  select(2, 2);
  set(reg::LoopFrom, 1);
  set(reg::LoopTo, 2);
  set(reg::LoopCount, 2);
  pulse(coil::Start);
  QList<int> steps;
  for (const auto& [status, drawing] : watch(5000)) steps.append(status);
  EXPECT_EQ(steps, (QList<int>{1, 2, 1, 2, 1, 2, 3, 0}));
  EXPECT_EQ(model.reg(reg::ProductionCount), 1);
}

TEST_F(Running, ChainedProjectRunsNextAndBothCount) {
  set(reg::NextProject, 3);
  select(3, 1);
  set(reg::StepCount, 1);
  select(2, 1);
  pulse(coil::Start);
  model.advance(300);
  EXPECT_TRUE(model.running());
  EXPECT_EQ(model.currentProject(), 3);
  model.advance(100);
  EXPECT_FALSE(model.running());
  EXPECT_EQ(model.reg(reg::ProductionCount), 2);
}

TEST_F(Running, NothingRunsWithoutSteps) {
  select(4, 1);
  pulse(coil::Start);
  EXPECT_FALSE(model.running());
  EXPECT_EQ(model.reg(reg::RunStatus), 0);
}

TEST_F(Running, StartSwitchInputStartsAndStopSwitchInputStops) {
  set(reg::StartSwitch, 6);
  set(reg::StopSwitch, 7);
  model.setInput(6, true);
  EXPECT_TRUE(model.running());
  model.advance(10);
  model.setInput(7, true);
  EXPECT_FALSE(model.running());
}

TEST_F(Model, ArcStepFollowsTheCircleToItsEndPointInItsDirection) {
  // From (0,0) around (20,0) to (20,-20), starting at X 5 mm: counter-clockwise is the quarter
  // below the X axis, clockwise the three quarters over the top.
  model.timing().stepMs = 200;
  set(reg::StepCount, 1);
  pulse(coil::ChooseArc);
  setLong(reg::ArcCentreX, 2000);
  setLong(reg::ArcEndX, 2000);
  setLong(reg::ArcEndY, -2000);
  for (std::uint16_t direction : {coil::ArcCounterClockwise, coil::ArcClockwise}) {
    pulse(direction);
    model.setPosition(reg::X, 500);
    model.setPosition(reg::Y, 0);
    pulse(coil::Start);
    EXPECT_EQ(model.reg(reg::DrawingMode), 1);
    std::int32_t highest = 0;
    for (int t = 1; t <= 200; ++t) {
      model.advance(1);
      const double dx = model.position(reg::X) - 2500.0, dy = model.position(reg::Y);
      EXPECT_NEAR(std::hypot(dx, dy), 2000, 2) << "at " << t << " ms";
      highest = std::max(highest, model.position(reg::Y));
    }
    EXPECT_EQ(model.position(reg::X), 2500);
    EXPECT_EQ(model.position(reg::Y), -2000);
    if (direction == coil::ArcCounterClockwise) {
      EXPECT_EQ(highest, 0);
    } else {
      EXPECT_NEAR(highest, 2000, 2);
    }
    EXPECT_FALSE(model.running());
  }
}

TEST_F(Model, TeachPointAndSpeedMatching) {
  pulse(coil::ChooseTeach);
  pulse(coil::TeachToggle[2]);  // Z and C left to the normal pages
  pulse(coil::TeachToggle[3]);
  EXPECT_EQ(model.reg(0x1072), 1);
  EXPECT_EQ(model.reg(0x1070), 0);
  model.setPosition(reg::X, 1000);  // 10 mm at 1600 pulses per 5 mm turn
  model.setPosition(reg::Y, -500);
  model.setPosition(reg::Z, 700);
  pulse(coil::TeachStore);
  EXPECT_EQ(model.regLong(reg::TeachPulses[0]), 3200);
  EXPECT_EQ(model.regLong(reg::TeachPulses[1]), -1600);
  EXPECT_EQ(model.regLong(reg::TeachPulses[2]), 0);  // not a teach axis
  set(reg::TeachSpeed[0], 300);
  pulse(coil::TeachMatchSpeeds);
  EXPECT_EQ(model.reg(reg::TeachSpeed[0]), 300);
  EXPECT_EQ(model.reg(reg::TeachSpeed[1]), 150);
  // A teach step drives its teach axes to the taught point.
  set(reg::StepCount, 1);
  model.setPosition(reg::X, 0);
  model.setPosition(reg::Y, 0);
  pulse(coil::Start);
  model.advance(model.timing().stepMs);
  EXPECT_EQ(model.position(reg::X), 1000);
  EXPECT_EQ(model.position(reg::Y), -500);
}

// ---- Project store and state file

TEST_F(Model, ReadReportsWhatTheSaveKeptAndClearRemovesIt) {
  select(5, 7);
  set(0x1028, 2);
  setLong(0x102A, 1234);
  const auto report = [&] {
    pulse(coil::ReadProject);
    ASSERT_EQ(model.writeCoil(coil::ReadProject, false), R::Ok);
    model.advance(model.timing().readMs);
  };
  report();
  EXPECT_EQ(model.reg(reg::HasParameters), 0) << "nothing kept yet";
  EXPECT_EQ(model.reg(reg::ParameterCheck), 0);
  pulse(coil::SaveProject);
  report();  // queued behind the save: reports once the save is done
  model.advance(model.timing().saveMs);
  EXPECT_EQ(model.reg(reg::HasParameters), 1);
  EXPECT_EQ(model.reg(reg::ParameterCheck), 2);
  pulse(coil::ClearProject);
  model.advance(model.timing().clearMs);
  EXPECT_EQ(model.reg(0x1028), 0);
  EXPECT_EQ(model.reg(reg::HasParameters), 1) << "the flag changes only when read again";
  report();
  EXPECT_EQ(model.reg(reg::HasParameters), 0);
  EXPECT_EQ(model.reg(reg::ParameterCheck), 0);
}

TEST_F(Model, ProjectCommandsTakeSecondsLikeAController) {
  select(2, 5);
  set(reg::LineFlag, 1);
  pulse(coil::SaveProject);
  pulse(coil::ReadProject);
  ASSERT_EQ(model.writeCoil(coil::ReadProject, false), R::Ok);
  model.advance(1000);
  EXPECT_EQ(model.reg(reg::HasParameters), 0) << "still keeping the project";
  model.advance(model.timing().saveMs + model.timing().readMs - 1000);
  EXPECT_EQ(model.reg(reg::HasParameters), 1);
  EXPECT_GE(model.timing().saveMs + model.timing().readMs, 3000);
  EXPECT_GE(model.timing().clearMs, 1000);
}

TEST_F(Model, StateFileKeepsSavedParametersAndProjectsOnly) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath("controller.json");
  model.setStateFile(path);
  set(reg::AxisParamReg[reg::Microstep][reg::Y], 16);
  set(reg::ProductionCount, 77);
  pulse(coil::SaveParameters);
  model.advance(model.timing().saveMs);
  ASSERT_TRUE(QFile::exists(path));
  select(3, 4);
  set(reg::StepCount, 9);
  set(reg::StepStartDelay, 250);
  pulse(coil::SaveProject);
  model.advance(model.timing().saveMs);
  set(reg::StepStartDelay, 999);                       // changed after the save: not kept
  set(reg::AxisParamReg[reg::Microstep][reg::Y], 32);  // likewise
  model.setPosition(reg::X, 1500);                     // live state is never kept
  model.advance(model.timing().saveMs);

  ControllerModel restarted;
  QString error;
  ASSERT_TRUE(restarted.load(path, &error)) << error.toStdString();
  EXPECT_EQ(restarted.reg(reg::AxisParamReg[reg::Microstep][reg::Y]), 16);
  EXPECT_EQ(restarted.reg(reg::ProductionCount), 77);
  EXPECT_EQ(restarted.stepRegister(3, 4, reg::StepStartDelay), 250);
  EXPECT_EQ(restarted.stepRegister(3, 4, reg::StepCount), 9);
  EXPECT_EQ(restarted.position(reg::X), 0);
  EXPECT_EQ(restarted.currentStep(), 1);
  EXPECT_EQ(restarted.currentProject(), 3) << "the project kept last is the current one again";
}

TEST_F(Model, LoadRefusesAFileThatIsNotAState) {
  QTemporaryDir dir;
  const QString path = dir.filePath("other.json");
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("{\"hello\": 1}");
  f.close();
  set(reg::ProductionCount, 5);
  QString error;
  EXPECT_FALSE(model.load(path, &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(model.load(dir.filePath("missing.json")));
  EXPECT_EQ(model.reg(reg::ProductionCount), 5);
}

// A state file that is damaged is refused whole, with the place named, and the model keeps what
// it had: a value no register holds, an address kept elsewhere, a step or project that does not
// exist.
TEST_F(Model, LoadRefusesADamagedStateAndSaysWhere) {
  QTemporaryDir dir;
  const QString path = dir.filePath("state.json");
  ASSERT_TRUE(model.save(path));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QJsonObject good = QJsonDocument::fromJson(f.readAll()).object();
  f.close();
  // Puts `value` at key in the object under `place` of the state ("parameters", or "projects"
  // then an entry of project 1).
  const auto damaged = [&](const char* place, const QString& key, const QJsonValue& value) {
    QJsonObject root = good;
    if (QLatin1String(place) == QLatin1String("parameters")) {
      QJsonObject params = root["parameters"].toObject();
      params.insert(key, value);
      root["parameters"] = params;
    } else {
      QJsonArray projects = root["projects"].toArray();
      QJsonObject first = projects[0].toObject();
      if (QLatin1String(place) == QLatin1String("project")) {
        first.insert(key, value);
      } else {
        QJsonObject inner = first[place].toObject();
        inner.insert(key, value);
        first[place] = inner;
      }
      projects[0] = first;
      root["projects"] = projects;
    }
    return QJsonDocument(root).toJson();
  };
  struct Case {
    QByteArray file;
    const char* says;
  };
  const Case cases[] = {
      {damaged("parameters", "1001", 70000), "parameters: 1001 holds 70000"},
      {damaged("parameters", "1001", -1), "parameters: 1001 holds -1"},
      {damaged("parameters", "1001", 1.5), "parameters: 1001 holds 1.5"},
      {damaged("parameters", "1028", 1), "parameters: 1028 is not a register kept there"},
      {damaged("registers", "1001", 1), "project 1: 1001 is not a register kept there"},
      {damaged("steps", "51", QJsonObject{}), "project 1: step \"51\" is not 1..50"},
      {damaged("a-steps", "1", QJsonObject{{"1028", 1}}), "project 1 (A) step 1: 1028 is not a register kept there"},
      {damaged("project", "project", 2), "project number 2 is not 1..10 or comes twice"},
  };
  set(reg::ProductionCount, 5);
  for (const Case& c : cases) {
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(c.file);
    out.close();
    QString error;
    EXPECT_FALSE(model.load(path, &error)) << c.says;
    EXPECT_TRUE(error.contains(QString::fromUtf8(c.says))) << c.says << ": " << error.toStdString();
    EXPECT_EQ(model.reg(reg::ProductionCount), 5) << c.says;
  }
}

}  // namespace
}  // namespace lorvane::sim
