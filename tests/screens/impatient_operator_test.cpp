// An operator who does not wait: clicks, presses and closes while a screen change waits for an
// OFF that the controller does not answer, and a line that fails while a message box is open.
// Nothing may crash, no axis may be left running untold, and only one screen may hold the port.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "frames/frames.h"
#include "frames/registers.h"
#include "screen_env.h"
#include "ui/widgets.h"

using namespace lorvane;
using lorvane::test::ScreenEnv;

namespace {

const QString kAxisMayRun = QStringLiteral("串口通讯中断，轴可能仍在运行，请立即检查设备！");
const QByteArray kXForwardOn = coilBody(coil::Forward[reg::X], true);

QString current(ScreenEnv& env) { return env.map().current() ? env.map().current()->objectName() : QString(); }

// Manual jog, X forward held and running, then the controller stops answering and the button is
// released: its OFF repeats unanswered.
void holdThenLoseTheController(ScreenEnv& env) {
  env.start();
  env.click("Okcmd");
  env.click("Tstcmd");
  env.click("Sdcmd");
  env.press("XZcmd");
  ASSERT_TRUE(env.tickUntil([&] { return env.model.coil(coil::Forward[reg::X]); }, 5));
  env.ticks(2);
  env.port()->setSilent(true);
  env.release("XZcmd");
  env.ticks(2);
  env.takeSent();
}

// Something the operator or the line does while the screen change waits.
void meanwhile(int ms, std::function<void()> what) { QTimer::singleShot(ms, std::move(what)); }

TEST(ImpatientOperator, PressDuringTheLeaveWaitIsNotTakenAndTheAxisStops) {
  ScreenEnv env;
  holdThenLoseTheController(env);
  meanwhile(150, [&] { env.press("XZcmd"); });  // and keeps it down
  meanwhile(300, [&] { env.port()->setSilent(false); });
  env.click("BA3cmd");
  EXPECT_EQ(current(env), "Mainfrm4");
  EXPECT_FALSE(env.model.coil(coil::Forward[reg::X])) << "the OFF got through, no new ON followed";
  EXPECT_FALSE(env.model.axisMoving(reg::X));
  EXPECT_FALSE(env.port() && env.port()->sent().contains(":" + kXForwardOn));
  EXPECT_TRUE(env.boxes.isEmpty()) << env.boxes.join('|').toStdString();
}

TEST(ImpatientOperator, ActionsDuringTheLeaveWaitJoinTheChange) {
  struct Case {
    const char* what;
    std::function<void(ScreenEnv&)> act;
    bool controllerBack;  // the controller answers again during the wait
    QString arrive;       // "" : the program ends
    QStringList boxes;
  };
  const auto clickAgain = [](ScreenEnv& env) {
    for (const char* b : {"BA3cmd", "SY5cmd"}) QTest::mouseClick(env.map().current()->findChild<QPushButton*>(b), Qt::LeftButton);
  };
  const auto closeWindow = [](ScreenEnv& env) { env.map().current()->close(); };
  const auto unplug = [](ScreenEnv& env) { env.port()->unplug(); };
  const Case cases[] = {
      {"second navigation, controller silent", clickAgain, false, "Mainfrm4", {kAxisMayRun}},
      {"second navigation, controller back", clickAgain, true, "Mainfrm4", {}},
      {"window closed, controller silent", closeWindow, false, "", {kAxisMayRun}},
      {"window closed, controller back", closeWindow, true, "", {}},
      {"port lost", unplug, false, "Mainfrm1", {kAxisMayRun}},
  };
  for (const Case& c : cases) {
    ScreenEnv env;
    bool ended = false;
    QObject::connect(&env.map(), &shell::ScreenMap::programEnds, [&] { ended = true; });
    holdThenLoseTheController(env);
    meanwhile(100, [&] { c.act(env); });
    if (c.controllerBack) meanwhile(300, [&] { if (env.port()) env.port()->setSilent(false); });
    env.click("BA3cmd");
    ScreenEnv::until([&] { return ended || current(env) == c.arrive; }, 3000);
    ScreenEnv::until([] { return false; }, 50);  // let deferred deletions run
    EXPECT_EQ(env.boxes, c.boxes) << c.what;
    if (c.arrive.isEmpty()) {
      EXPECT_TRUE(ended) << c.what;
    } else {
      EXPECT_FALSE(ended) << c.what;
      EXPECT_EQ(current(env), c.arrive) << c.what;
      EXPECT_EQ(env.map().loadedForms().size(), 1) << c.what;
    }
    EXPECT_EQ(env.openAtOnce, 1) << c.what;
    if (c.controllerBack) {
      EXPECT_FALSE(env.model.coil(coil::Forward[reg::X])) << c.what;
    }
  }
}

// A range message is open when the line fails: the screen goes, its box with it, no crash.
TEST(ImpatientOperator, PortLostWhileAMessageBoxIsOpen) {
  struct Case { const char* what; std::function<void(ScreenEnv&)> open; };
  const Case cases[] = {
      {"axis debugging", [](ScreenEnv& env) {
         env.click("Tstcmd");
         env.click("Xcmd");
         env.ticks(8);
         env.type("FXtxt", "5");
         env.click("SX1cmd");
       }},
      {"main screen", [](ScreenEnv& env) {
         env.type("LCtxt", "70000");
         env.click("lccmd");
       }},
  };
  for (const Case& c : cases) {
    ScreenEnv env;
    env.start();
    env.click("Okcmd");
    env.drive(env.currentScreen());
    env.whileBoxOpen = [&](const QString&) { env.port()->unplug(); };
    c.open(env);
    ScreenEnv::until([&] { return current(env) == "Mainfrm1" && env.boxes.size() >= 2; }, 3000);
    ScreenEnv::until([] { return false; }, 50);
    ASSERT_EQ(env.boxes.size(), 2) << c.what << ": " << env.boxes.join('|').toStdString();
    EXPECT_EQ(env.boxes[1], "串口通讯中断，请检查串口连接") << c.what;
    EXPECT_EQ(current(env), "Mainfrm1") << c.what;
    EXPECT_FALSE(env.currentScreen()->portOpen()) << c.what;
    EXPECT_EQ(env.map().loadedForms().size(), 1) << c.what;
  }
}

// On the screen itself an OFF that is not getting through is told once, and keeps going out.
TEST(ImpatientOperator, UndeliveredOffIsToldOnceAndKeepsRepeating) {
  ScreenEnv env;
  holdThenLoseTheController(env);
  env.ticks(40);  // two seconds
  ScreenEnv::until([&] { return !env.boxes.isEmpty(); }, 500);
  env.ticks(20);
  ScreenEnv::until([] { return false; }, 50);
  EXPECT_EQ(env.boxes, QStringList{kAxisMayRun});
  const QList<QByteArray> sent = env.takeSent();
  EXPECT_GT(sent.size(), 5);
  for (const QByteArray& b : sent) EXPECT_EQ(b, coilBody(coil::Forward[reg::X], false));
  env.port()->setSilent(false);
  ASSERT_TRUE(env.tickUntil([&] { return !env.currentScreen()->exchange().hasSafetyWork(); }, 20));
  EXPECT_FALSE(env.model.axisMoving(reg::X));
}

// An ON that the controller did not hear goes out again for as long as the button is held, on a
// controller that loses every second request; and any mouse button holds a jog button.
TEST(ImpatientOperator, HeldOnIsRepeatedUntilHeardWithAnyMouseButton) {
  for (Qt::MouseButton mouse : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
    ScreenEnv env;
    env.onOpen = [](test::SimPort& p) { p.dropEvery(2); };
    env.start();
    env.click("Okcmd");
    env.click("Tstcmd");
    env.click("Sdcmd");
    auto* button = env.map().current()->findChild<QPushButton*>("YZcmd");
    for (int hold = 0; hold < 6; ++hold) {
      QTest::mousePress(button, mouse);
      env.ticks(20);  // one second
      EXPECT_TRUE(env.model.axisMoving(reg::Y)) << "hold " << hold << " button " << mouse;
      QTest::mouseRelease(button, mouse);
      ASSERT_TRUE(env.tickUntil([&] { return !env.currentScreen()->exchange().hasSafetyWork(); }, 40));
      EXPECT_FALSE(env.model.coil(coil::Forward[reg::Y]));
    }
  }
}

}  // namespace
