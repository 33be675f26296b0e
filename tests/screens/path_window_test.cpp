// The path window "路径预览": opened from the project screen and from the system control screen,
// where it draws the positions the read cycle shows over the planned path without asking the
// controller for anything more.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include "frames/registers.h"
#include "projects/backup_file.h"
#include "projects/plot.h"
#include "screen_env.h"
#include "screens/project/path_window.h"
#include "screens/run/system_control.h"

using namespace lorvane;
using lorvane::test::ScreenEnv;

namespace {

// The demonstration project, its last step leaving X where the arc ended, kept by the
// controller and backed up to a file.
class PathWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    using R = sim::ControllerModel::Result;
    env.model.loadDemo();
    ASSERT_EQ(env.model.writeRegister(reg::CurrentStep, 4), R::Ok);
    ASSERT_EQ(env.model.writeRegister(reg::NormalRunMode[reg::X], 0), R::Ok);
    ASSERT_EQ(env.model.writeRegister(reg::CurrentStep, 1), R::Ok);
    ASSERT_EQ(env.model.writeCoil(coil::SaveProject, true), R::Ok);
    env.model.advance(2500);
    ASSERT_TRUE(dir.isValid());
    QString error;
    ASSERT_TRUE(env.model.save(dir.filePath("state.json"), &error));
    QFile state(dir.filePath("state.json"));
    ASSERT_TRUE(state.open(QIODevice::ReadOnly));
    const auto backup = projects::fromSimState(state.readAll(), &error);
    ASSERT_TRUE(backup) << error.toStdString();
    file = dir.filePath("projects.json");
    ASSERT_TRUE(projects::save(*backup, file, &error));
    env.start();
    env.click("Okcmd");
  }
  screens::PathWindow* windowOf(QWidget* screen) { return screen->findChild<screens::PathWindow*>("Pathfrm"); }
  // The project screen, its values read.
  ui::Screen* projectScreen() {
    env.click("Efcmd");
    ui::Screen* s = env.currentScreen();
    env.drive(s);
    env.ticks(8);
    return s;
  }

  ScreenEnv env;
  QTemporaryDir dir;
  QString file;
};

TEST_F(PathWindowTest, ProjectScreenOpensItForTheProjectShown) {
  ui::Screen* s = projectScreen();
  ASSERT_EQ(s->objectName(), "Mainfrm12");
  ASSERT_EQ(env.text("PRtxt"), "1");
  env.click("LJcmd");
  screens::PathWindow* w = windowOf(s);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->windowTitle(), "路径预览");
  EXPECT_EQ(w->findChild<QSpinBox*>("PRspin")->value(), 1);
  EXPECT_EQ(w->canvas()->drawing().plan.moves.size(), 4u) << "read from the controller as it opened";
  QString error;
  ASSERT_TRUE(w->openFile(file, &error)) << error.toStdString();
  EXPECT_EQ(w->canvas()->drawing().plan.moves.size(), 4u);
  EXPECT_FALSE(w->openFile(dir.filePath("state.json"), &error)) << "a state file is not a backup";
  EXPECT_EQ(w->canvas()->drawing().plan.moves.size(), 4u) << "the drawing shown stays";
  w->setProject(2);
  EXPECT_TRUE(w->canvas()->drawing().plan.moves.empty());
}

// Read from the controller through the screen's engine, the project draws what its backup draws,
// on a good line and on one that loses a tenth of the replies. The controller is left on the
// project and step it had selected, and the screen's read cycle goes on.
class PathRead : public PathWindowTest, public ::testing::WithParamInterface<double> {
 protected:
  void SetUp() override {
    const double drop = GetParam();
    env.onOpen = [drop](test::SimPort& p) { p.setDropFraction(drop); };
    PathWindowTest::SetUp();
  }
};

TEST_P(PathRead, DrawsWhatTheBackupDrawsAndLeavesTheSelection) {
  ui::Screen* s = projectScreen();
  ASSERT_EQ(s->objectName(), "Mainfrm12");
  ASSERT_EQ(env.model.writeRegister(reg::CurrentStep, 3), sim::ControllerModel::Result::Ok);
  env.takeSent();
  env.click("LJcmd");
  screens::PathWindow* w = windowOf(s);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->findChild<QLabel*>("Filelel")->text().startsWith("控制器")) << w->findChild<QLabel*>("Filelel")->text().toStdString();
  QString error;
  const auto backup = projects::load(file, &error);
  ASSERT_TRUE(backup) << error.toStdString();
  const path::Drawing expected = projects::drawingOf(*backup, 1);
  const path::Drawing& got = w->canvas()->drawing();
  ASSERT_EQ(got.plan.moves.size(), expected.plan.moves.size());
  for (size_t i = 0; i < got.plan.moves.size(); ++i) {
    EXPECT_EQ(got.plan.moves[i].to, expected.plan.moves[i].to) << "move " << i;
    EXPECT_EQ(got.plan.moves[i].arc, expected.plan.moves[i].arc) << "move " << i;
    EXPECT_DOUBLE_EQ(got.plan.moves[i].sweep, expected.plan.moves[i].sweep) << "move " << i;
  }
  EXPECT_EQ(env.model.currentProject(), 1);
  EXPECT_EQ(env.model.currentStep(), 3);
  env.takeSent();
  env.ticks(10);
  EXPECT_FALSE(env.takeSent().isEmpty()) << "the screen reads again after";
}

INSTANTIATE_TEST_SUITE_P(Lines, PathRead, ::testing::Values(0.0, 0.1),
                         [](const auto& info) { return info.param > 0 ? std::string("Losing10Percent") : std::string("Good"); });

// Cancelled part way: nothing is drawn from a half-read project (the window shows what it showed,
// a project read earlier in the program's run or nothing), it says so, and the controller is left
// on the project and step it had selected.
TEST_F(PathWindowTest, CancelledReadDrawsNothingAndLeavesTheSelection) {
  ui::Screen* s = projectScreen();
  const bool readBefore = screens::PathWindow::wasRead(1);
  ASSERT_EQ(env.model.writeRegister(reg::CurrentStep, 2), sim::ControllerModel::Result::Ok);
  QTimer cancel;
  QObject::connect(&cancel, &QTimer::timeout, [&] {
    QProgressDialog* progress = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == "Readprogress") progress = qobject_cast<QProgressDialog*>(w);
    if (progress && progress->value() > 0) progress->findChild<QPushButton*>()->click();  // "取消"
  });
  // A second read asked for while the first waits (a click that got through) is not started.
  int secondStarted = -1;
  QObject::connect(&cancel, &QTimer::timeout, [&] {
    if (auto* w = windowOf(s); w && secondStarted < 0) secondStarted = w->readFromController();
  });
  cancel.start(1);
  env.click("LJcmd");
  cancel.stop();
  EXPECT_EQ(secondStarted, 0);
  screens::PathWindow* w = windowOf(s);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->findChild<QLabel*>("Filelel")->text(), "已取消读取");
  EXPECT_EQ(w->canvas()->drawing().plan.moves.empty(), !readBefore);
  EXPECT_EQ(env.model.currentStep(), 2);
}

// The adapter pulled while the window reads: the read ends, the window says the port is gone,
// and nothing is left half done on the operator's screen (no crash when the screen goes with it).
TEST_F(PathWindowTest, PortPulledWhileReadingEndsTheReadAndSaysSo) {
  ui::Screen* s = projectScreen();
  QPointer<QWidget> screen(s);
  QTimer pull;
  QObject::connect(&pull, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == "Readprogress" && qobject_cast<QProgressDialog*>(w)->value() > 0 && env.port())
        env.port()->unplug();
  });
  pull.start(1);
  env.click("LJcmd");
  pull.stop();
  ASSERT_TRUE(ScreenEnv::until([&] { return !env.boxes.isEmpty(); }));
  if (screen) {
    screens::PathWindow* w = windowOf(s);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->findChild<QLabel*>("Filelel")->text(), "读取失败：串口已断开");
    EXPECT_TRUE(w->canvas()->drawing().plan.moves.empty());
  }
}

// While a project runs its steps are not selected to be read: the window says so and keeps what
// it shows.
TEST_F(PathWindowTest, NotReadWhileAProjectRuns) {
  env.click("Xkcmd");
  ui::Screen* s = env.currentScreen();
  env.drive(s);
  env.ticks(22);
  env.click("Qdcmd");
  ASSERT_TRUE(env.tickUntil([&] { return env.model.running(); }));
  env.click("LJcmd");
  screens::PathWindow* w = windowOf(s);
  ASSERT_NE(w, nullptr);
  const auto steps = w->canvas()->drawing().plan.moves.size();
  EXPECT_FALSE(w->readFromController());
  EXPECT_EQ(w->findChild<QLabel*>("Filelel")->text(), "项目运行中，不能读取");
  EXPECT_EQ(w->canvas()->drawing().plan.moves.size(), steps);
  EXPECT_TRUE(env.model.running()) << "the run went on";
}

// The requests of a run of the demonstration project, with the window closed and then open, and
// the trail the open window drew.
TEST_F(PathWindowTest, TrailFollowsTheRunToThePlannedEndWithNoRequestAdded) {
  env.click("Xkcmd");
  auto* s = qobject_cast<screens::SystemControl*>(env.currentScreen());
  ASSERT_NE(s, nullptr);
  env.drive(s);
  QList<double> perTick;  // requests per tick of each run
  const auto run = [&] {
    env.ticks(22);
    env.takeSent();
    env.click("Qdcmd");
    QList<QByteArray> sent;
    int ticks = 0;
    for (; ticks < 2000 && (ticks < 5 || env.model.running()); ++ticks) {
      env.ticks(1);
      sent << env.takeSent();
    }
    env.ticks(22);  // the positions where the run ended
    sent << env.takeSent();
    perTick << double(sent.size()) / (ticks + 22);
    return sent;
  };
  const QList<QByteArray> closed = run();
  ASSERT_FALSE(env.model.running());
  for (int a = 0; a < reg::AxisCount; ++a) env.model.setPosition(a, 0);
  env.ticks(22);

  env.click("LJcmd");
  screens::PathWindow* w = s->pathWindow();
  ASSERT_NE(w, nullptr);
  QString error;
  ASSERT_TRUE(w->openFile(file, &error)) << error.toStdString();
  const QList<QByteArray> open = run();

  ASSERT_EQ(perTick.size(), 2);
  EXPECT_NEAR(perTick[1], perTick[0], 0.005) << closed.size() << " requests closed, " << open.size() << " open";
  QList<QByteArray> kindsClosed = closed, kindsOpen = open;
  std::sort(kindsClosed.begin(), kindsClosed.end());
  kindsClosed.erase(std::unique(kindsClosed.begin(), kindsClosed.end()), kindsClosed.end());
  std::sort(kindsOpen.begin(), kindsOpen.end());
  kindsOpen.erase(std::unique(kindsOpen.begin(), kindsOpen.end()), kindsOpen.end());
  EXPECT_EQ(kindsOpen, kindsClosed) << "the same requests, none added";

  const path::Drawing& d = w->canvas()->drawing();
  ASSERT_EQ(d.plan.moves.size(), 4u);
  ASSERT_GE(d.trail.size(), 4u);
  for (int a = 0; a < reg::AxisCount; ++a)
    EXPECT_NEAR(d.trail.back()[static_cast<size_t>(a)], d.plan.end()[static_cast<size_t>(a)], 1) << "axis " << a;
  EXPECT_EQ(d.plan.end()[reg::X], 9000);

  // The window of the demonstration's run, for the README.
  if (qEnvironmentVariableIsSet("LORVANE_UPDATE_DRAWINGS")) {
    w->resize(960, 720);
    w->grab().save(QStringLiteral(LORVANE_SOURCE_DIR "/docs/screens/path_window.png"));
  }
}

}  // namespace
