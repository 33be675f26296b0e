// Backup and restore against the simulated controller in process, through the program's exchange
// engine: a round trip gives back the same projects (also on a line that loses replies), each
// restored project is kept, the controller is left on the project and step it had; a running
// controller is not written; a value the controller does not keep is named; a silent controller
// and an interruption end the run with what was done.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "frames/registers.h"
#include "link/traffic.h"
#include "sim/model.h"
#include "screen_env.h"
#include "frames/frames.h"
#include "projects/operations.h"
#include "sim_port.h"

using namespace lorvane;
using namespace lorvane::projects;

namespace {

// Puts a project into the model as an operator would have set it up: every step register with a
// value of its own, and the Z/A settings of both axes (0x1055 alternating from step to step).
// Returns what the project holds.
ProjectData program(sim::ControllerModel& m, int project, int steps) {
  ProjectData p;
  p.number = project;
  m.writeRegister(reg::CurrentProject, static_cast<std::uint16_t>(project));
  p.registers = {{"project.stepCount", steps}, {"project.loops", project % 2},
                 {"project.speedOverride", 40 + project}, {"project.next", project % 10 + 1}};
  for (const reg::Banked& r : reg::projectRegisters())
    m.writeRegister(r.address, static_cast<std::uint16_t>(p.registers.value(QString::fromLatin1(r.name))));
  const auto put = [&m](const reg::Banked& r, std::int64_t v) {
    if (r.count == 2) m.writeLong(r.address, static_cast<std::int32_t>(v));
    else m.writeRegister(r.address, static_cast<std::uint16_t>(v));
  };
  for (int s = 1; s <= steps; ++s) {
    m.writeRegister(reg::CurrentStep, static_cast<std::uint16_t>(s));
    Values v;
    int k = 0;
    for (const auto& [name, r] : stepNames()) {
      ++k;
      v[name] = r->count == 2 ? (k % 2 ? -1 : 1) * (100000 * project + 1000 * s + k) : (project * 101 + s * 13 + k) % 60000 + 1;
    }
    const int flag = (project + s) % 2;
    v["z.replacedByA"] = flag;
    m.writeRegister(reg::ZReplacedByA, static_cast<std::uint16_t>(1 - flag));
    for (const reg::Banked& r : reg::stepRegisters())
      if (r.zaShared) put(r, v.value(flag == 1 ? QString::fromLatin1(r.name) : aName(r)));
    m.writeRegister(reg::ZReplacedByA, static_cast<std::uint16_t>(flag));
    for (const reg::Banked& r : reg::stepRegisters())
      put(r, v.value(r.zaShared && flag == 1 ? aName(r) : QString::fromLatin1(r.name)));
    p.steps << v;
  }
  return p;
}

// An empty project as a fresh controller has it.
ProjectData emptyProject(int number) {
  return ProjectData{number, {{"project.stepCount", 0}, {"project.loops", 0}, {"project.speedOverride", 100}, {"project.next", 0}}, {}};
}

// The simulated controller on an in-process line, with the tool's transfer on it. Time runs ten
// times the wall clock for the engine, so that reply time-outs and the keeping of a project take
// little real time.
struct Rig {
  sim::ControllerModel model;
  test::SimPort port{&model};
  Transfer transfer{&port};

  explicit Rig(double dropFraction = 0, quint64 seed = 1) {
    auto wall = std::make_shared<QElapsedTimer>();
    wall->start();
    transfer.setClock([wall] { return wall->elapsed() * 10; });
    transfer.setTickMs(1);
    transfer.setSilentMs(3000);
    port.setDropFraction(dropFraction);
    port.setSeed(seed);
  }
  void select(int project, int step) {
    model.writeRegister(reg::CurrentProject, static_cast<std::uint16_t>(project));
    model.writeRegister(reg::CurrentStep, static_cast<std::uint16_t>(step));
  }
};

QList<int> allProjects() { return {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}; }

class RoundTrip : public ::testing::TestWithParam<double> {};

TEST_P(RoundTrip, BackupRestoreBackupGivesTheSameProjects) {
  const double drop = GetParam();
  Rig source(drop, 7);
  QList<ProjectData> expected;
  for (int n = 1; n <= kProjects; ++n) expected << emptyProject(n);
  expected[0] = program(source.model, 1, 3);
  expected[1] = program(source.model, 2, 2);
  expected[4] = program(source.model, 5, 1);
  source.select(4, 7);

  const Backup first = backupProjects(source.transfer);
  EXPECT_EQ(first.projects, expected);
  EXPECT_EQ(source.model.currentProject(), 4);
  EXPECT_EQ(source.model.currentStep(), 7);

  Rig target(drop, 11);
  target.select(6, 3);
  const RestoreReport r = restoreProjects(target.transfer, first, allProjects(), nullptr);
  EXPECT_EQ(r.restored, allProjects());
  EXPECT_TRUE(r.mismatches.isEmpty());
  EXPECT_TRUE(r.error.isEmpty()) << r.error.toStdString();
  EXPECT_EQ(target.model.currentProject(), 6);
  EXPECT_EQ(target.model.currentStep(), 3);

  Backup second = backupProjects(target.transfer);
  second.date = first.date;
  EXPECT_EQ(toJson(second), toJson(first));

  // Every project was kept (coil 0x0807): once the controller has had the time, its state file
  // holds them.
  target.model.advance(kKeepMs * kProjects);
  QTemporaryDir dir;
  ASSERT_TRUE(target.model.save(dir.filePath("state.json")));
  QFile f(dir.filePath("state.json"));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  QString error;
  const auto kept = fromSimState(f.readAll(), &error);
  ASSERT_TRUE(kept) << error.toStdString();
  EXPECT_EQ(kept->projects, expected);

  if (drop > 0) {
    EXPECT_GT(source.transfer.counts().timeouts, 0);
    EXPECT_GT(target.transfer.counts().timeouts, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Line, RoundTrip, ::testing::Values(0.0, 0.1),
                         [](const auto& info) { return info.param > 0 ? "TenPercentOfRepliesLost" : "Clean"; });

// A controller that sends every answer twice: the copies put the line out of step now and then;
// whatever was read then is read again, so the backup holds each register's own value.
TEST(Backup, AControllerThatAnswersTwiceGivesTheSameBackup) {
  Rig clean;
  Rig twice;
  twice.port.setRepeatAfter(1);
  for (Rig* rig : {&clean, &twice}) {
    program(rig->model, 1, 3);
    program(rig->model, 2, 2);
  }
  const Backup expected = backupProjects(clean.transfer);
  Backup got = backupProjects(twice.transfer);
  got.date = expected.date;
  EXPECT_EQ(toJson(got), toJson(expected));
  EXPECT_GT(Traffic::instance().counters().late, 0) << "copies came";
}

TEST(Restore, RefusedWhileTheControllerRunsAProject) {
  Rig rig;
  program(rig.model, 1, 2);
  rig.select(1, 1);
  rig.model.writeCoil(coil::Start, true);
  ASSERT_TRUE(rig.model.running());
  rig.port.clearHistory();
  Backup b;
  b.projects << emptyProject(1);
  const RestoreReport r = restoreProjects(rig.transfer, b, {1}, nullptr);
  EXPECT_TRUE(r.refusedRunning);
  EXPECT_TRUE(r.restored.isEmpty());
  EXPECT_TRUE(r.error.contains("running")) << r.error.toStdString();
  ASSERT_FALSE(rig.port.sent().isEmpty());
  for (const QByteArray& frame : rig.port.sent()) EXPECT_TRUE(frame.startsWith(":0103")) << frame.toStdString();
}

// A controller that does not keep the line's end X: every step's value is named, the project is
// not counted as restored.
TEST(Restore, ReadBackNamesEveryRegisterThatDiffers) {
  Rig source;
  program(source.model, 2, 2);
  const Backup b = backupProjects(source.transfer);
  Rig rig;
  QObject::connect(&rig.port, &test::SimPort::requestSeen, &rig.port, [&rig](const QByteArray& frame) {
    if (frame.startsWith(":011010F8"))  // undone once the write has been taken, before its answer
      QTimer::singleShot(0, &rig.port, [&rig] { rig.model.writeLong(reg::LineEndX, 999); });
  });
  const RestoreReport r = restoreProjects(rig.transfer, b, {2}, nullptr);
  EXPECT_TRUE(r.restored.isEmpty());
  EXPECT_EQ(r.differing, QList<int>{2});
  ASSERT_EQ(r.mismatches.size(), 2);
  for (int s = 1; s <= 2; ++s) {
    const Mismatch& m = r.mismatches[s - 1];
    EXPECT_EQ(m.project, 2);
    EXPECT_EQ(m.step, s);
    EXPECT_EQ(m.name, "line.endX");
    EXPECT_EQ(m.address, reg::LineEndX);
    EXPECT_EQ(m.expected, b.project(2)->steps[s - 1].value("line.endX"));
    EXPECT_EQ(m.read, 999);
  }
}

TEST(Backup, SilentControllerIsToldAfterTheTimeout) {
  Rig rig;
  rig.port.setSilent(true);
  try {
    backupProjects(rig.transfer);
    FAIL() << "a backup from a silent controller";
  } catch (const TransferError& e) {
    EXPECT_EQ(e.kind, TransferError::Kind::Silent);
    EXPECT_TRUE(e.message.contains("does not answer")) << e.message.toStdString();
  }
}

// The operator says no to project 2 and interrupts in the middle of a step of project 5: project 1
// is restored, the summary knows which one was under way, the rest of that step is not written,
// and the controller is back on its project and step.
TEST(Restore, InterruptedRunSaysWhatWasDone) {
  Rig source;
  for (int n : {1, 2, 5}) program(source.model, n, 2);
  const Backup b = backupProjects(source.transfer);
  Rig rig;
  rig.select(8, 4);
  qsizetype interruptedAt = -1;
  QObject::connect(&rig.port, &test::SimPort::requestSeen, &rig.port, [&](const QByteArray& frame) {
    if (interruptedAt < 0 && rig.model.currentProject() == 5 && frame.startsWith(":011010F8")) {
      interruptedAt = rig.port.sent().size();
      rig.transfer.interrupt();
    }
  });
  const auto confirm = [](const ProjectData& p) { return p.number != 2; };
  const RestoreReport r = restoreProjects(rig.transfer, b, {1, 2, 5}, confirm);
  EXPECT_EQ(r.restored, QList<int>{1});
  EXPECT_EQ(r.skipped, QList<int>{2});
  EXPECT_EQ(r.unfinished, 5);
  EXPECT_EQ(r.error, "interrupted");
  EXPECT_EQ(rig.model.projectRegister(2, reg::StepCount), 0);
  // At most the request the engine had already put on the line when the interruption was seen;
  // then only the project and step set back.
  ASSERT_GT(interruptedAt, 0);
  int more = 0;
  for (qsizetype i = interruptedAt; i < rig.port.sent().size(); ++i) {
    const QByteArray& frame = rig.port.sent()[i];
    if (!frame.startsWith(":01101025") && !frame.startsWith(":01101027")) ++more;
  }
  EXPECT_LE(more, 1);
  EXPECT_TRUE(rig.port.sent().last().startsWith(":01101027")) << rig.port.sent().last().toStdString();
  EXPECT_EQ(rig.model.currentProject(), 8);
  EXPECT_EQ(rig.model.currentStep(), 4);
}

}  // namespace

namespace {

// The operator's way: a project backed up, cleared on the controller (coil 0x0809), restored from
// the backup alone: its steps are back, and kept.
TEST(Restore, ClearedProjectComesBackFromTheBackup) {
  Rig rig;
  const ProjectData programmed = program(rig.model, 3, 4);
  const Backup b = backupProjects(rig.transfer);
  rig.select(3, 1);
  rig.model.writeCoil(coil::ClearProject, true);
  rig.model.advance(rig.model.timing().clearMs + 1);
  ASSERT_EQ(rig.model.stepRegister(3, 2, reg::LineEndX), 0);
  const RestoreReport r = restoreProjects(rig.transfer, b, {3}, nullptr);
  EXPECT_EQ(r.restored, QList<int>{3});
  const Backup after = backupProjects(rig.transfer);
  EXPECT_EQ(*after.project(3), programmed);
  EXPECT_EQ(rig.model.coilWrites().count(sim::CoilWrite{coil::SaveProject, true}), 1);
}

// What a teacher does at the rig: a backup, "工程参数清零" on the project screen, a restore, and the
// step page shows the step's values again.
TEST(Restore, AProjectClearedOnTheScreenIsBackOnItsStepPage) {
  test::ScreenEnv env;
  program(env.model, 1, 3);
  test::SimPort toolPort{&env.model};
  Transfer transfer{&toolPort};
  transfer.setTickMs(1);
  const Backup b = backupProjects(transfer);
  const qint64 endX = b.project(1)->steps[1].value("line.endX");
  ASSERT_NE(endX, 0);

  env.openDirect("Mainfrm12");
  env.ticks(20);  // the project number is read
  env.click("QLcmd");
  ASSERT_TRUE(env.tickUntil([&] { return env.boxes.contains(QStringLiteral("数据清0成功！")); }, 2000));
  // The controller takes a while over the clear.
  ASSERT_TRUE(env.tickUntil([&] { return env.model.stepRegister(1, 2, reg::LineEndX) == 0 && env.model.stepRegister(1, 2, reg::LineEndX + 1) == 0; }, 2000));
  env.click("SYcmd");  // back to the main screen: the program sends nothing while the tool works

  const RestoreReport r = restoreProjects(transfer, b, {1}, nullptr);
  ASSERT_EQ(r.restored, QList<int>{1});

  env.model.writeRegister(reg::CurrentStep, 2);
  env.openDirect("Mainfrm15");
  ASSERT_EQ(env.model.regLong(reg::LineEndX), endX) << env.model.currentProject() << " " << env.model.currentStep();
  // The page opens showing "0.00", until its read of the end point is answered.
  EXPECT_TRUE(env.tickUntil([&] { return env.shown("ZGtxt") == scaledText(endX, 100); })) << env.shown("ZGtxt").toStdString();
}

}  // namespace
