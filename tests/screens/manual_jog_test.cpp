// The manual jog screen against the simulated controller: ten hold-to-run buttons, each running
// its axis only while held, whose OFF reaches the controller on a quick tap, on a change of
// button within one tick and on a line that loses replies.
#include <gtest/gtest.h>

#include "frames/frames.h"
#include "frames/registers.h"
#include "screen_env.h"
#include "ui/widgets.h"

using namespace lorvane;
using lorvane::test::ScreenEnv;
using lorvane::test::SimPort;

namespace {

struct Drive {
  const char* button;
  reg::Axis axis;
  std::uint16_t coil;
  int sign;  // +1 forward, -1 reverse
};

const Drive kDrives[] = {
    {"XZcmd", reg::X, coil::Forward[reg::X], +1}, {"XFcmd", reg::X, coil::Reverse[reg::X], -1},
    {"YZcmd", reg::Y, coil::Forward[reg::Y], +1}, {"YFcmd", reg::Y, coil::Reverse[reg::Y], -1},
    {"ZZcmd", reg::Z, coil::Forward[reg::Z], +1}, {"ZFcmd", reg::Z, coil::Reverse[reg::Z], -1},
    {"CZcmd", reg::C, coil::Forward[reg::C], +1}, {"CFcmd", reg::C, coil::Reverse[reg::C], -1},
    {"AZcmd", reg::A, coil::Forward[reg::A], +1}, {"AFcmd", reg::A, coil::Reverse[reg::A], -1},
};

ui::Screen* openJog(ScreenEnv& env) {
  env.start();
  env.click("Okcmd");
  env.click("Tstcmd");
  env.click("Sdcmd");
  return env.currentScreen();
}

std::uint32_t colour(ScreenEnv& env, const char* button) {
  return env.map().current()->control<ui::CmdButton>(button)->shownColour();
}

bool tickUntil(ScreenEnv& env, const std::function<bool()>& done, int most = 200) {
  for (int i = 0; i < most; ++i) {
    if (done()) return true;
    env.ticks(1);
  }
  return done();
}

bool offDelivered(ScreenEnv& env) { return !env.currentScreen()->exchange().hasSafetyWork(); }

TEST(ManualJog, EachButtonRunsItsAxisOnlyWhileHeld) {
  ScreenEnv env;
  ASSERT_EQ(openJog(env)->objectName(), "Mainfrm11");
  for (const Drive& d : kDrives) {
    env.takeSent();
    const std::int32_t from = env.model.position(d.axis);
    env.press(d.button);
    EXPECT_EQ(colour(env, d.button), ui::Red) << d.button;
    env.ticks(10);
    EXPECT_TRUE(env.model.axisMoving(d.axis)) << d.button;
    EXPECT_GT(d.sign * (env.model.position(d.axis) - from), 0) << d.button;
    env.release(d.button);
    EXPECT_EQ(colour(env, d.button), ui::Green) << d.button;
    ASSERT_TRUE(tickUntil(env, [&] { return offDelivered(env); }, 5)) << d.button;
    EXPECT_FALSE(env.model.coil(d.coil)) << d.button;
    EXPECT_FALSE(env.model.axisMoving(d.axis)) << d.button;
    env.ticks(5);
    EXPECT_EQ(env.takeSent(), (QList<QByteArray>{coilBody(d.coil, true), coilBody(d.coil, false)}))
        << d.button << ": one ON while held, one OFF on release, nothing else";
  }
}

TEST(ManualJog, QuickTapSendsTheOffAndNoOn) {
  ScreenEnv env;
  openJog(env);
  env.model.clearCounters();
  env.press("ZZcmd");
  env.release("ZZcmd");  // both before the next tick
  env.ticks(6);
  EXPECT_EQ(env.takeSent(), QList<QByteArray>{"010508360000"});
  EXPECT_EQ(env.model.coilWrites(), (QList<sim::CoilWrite>{{coil::Forward[reg::Z], false}}));
}

TEST(ManualJog, ReleasingOneAndPressingAnotherWithinATickSendsTheFirstOffFirst) {
  ScreenEnv env;
  openJog(env);
  env.press("XZcmd");
  ASSERT_TRUE(tickUntil(env, [&] { return env.model.coil(coil::Forward[reg::X]); }, 3));
  env.ticks(2);
  env.takeSent();
  env.release("XZcmd");
  env.press("YFcmd");
  env.ticks(4);
  EXPECT_EQ(env.takeSent(), (QList<QByteArray>{"010508340000", "0105083DFF00"}));
  EXPECT_FALSE(env.model.axisMoving(reg::X));
  EXPECT_TRUE(env.model.axisMoving(reg::Y));
  env.release("YFcmd");
  ASSERT_TRUE(tickUntil(env, [&] { return offDelivered(env); }, 3));
  EXPECT_FALSE(env.model.axisMoving(reg::Y));
}

// Every button held and released in turn on a line that loses three replies in ten: after each
// release nothing but that OFF goes out until it is acknowledged, and no axis is left running.
TEST(ManualJog, EveryReleaseEndsWithTheCoilOffOnALossyLine) {
  for (quint64 seed : {1, 2, 3}) {
    ScreenEnv env;
    env.onOpen = [seed](SimPort& p) {
      p.setSeed(seed);
      p.setDropFraction(0.3);
    };
    openJog(env);
    for (const Drive& d : kDrives) {
      env.press(d.button);
      ASSERT_TRUE(tickUntil(env, [&] { return env.model.coil(d.coil); }, 100)) << d.button << " seed " << seed;
      env.ticks(3);
      env.takeSent();
      env.release(d.button);
      QList<QByteArray> untilAcknowledged;
      for (int t = 0; t < 400 && !offDelivered(env); ++t) {
        env.ticks(1);
        untilAcknowledged << env.takeSent();
      }
      ASSERT_TRUE(offDelivered(env)) << d.button << " seed " << seed;
      for (const QByteArray& b : untilAcknowledged) EXPECT_EQ(b, coilBody(d.coil, false)) << d.button << " seed " << seed;
      EXPECT_FALSE(env.model.coil(d.coil)) << d.button << " seed " << seed;
    }
    env.ticks(2);
    for (int a = 0; a < reg::AxisCount; ++a) EXPECT_FALSE(env.model.axisMoving(a)) << "axis " << a << " seed " << seed;
    EXPECT_GT(env.port()->faults().dropped(), 0) << "the line did lose replies";
  }
}

TEST(ManualJog, LostPortWhileACoilMayBeOnWarnsThatTheAxisMayStillRun) {
  struct Case { bool releasedFirst; QString message; };
  const Case cases[] = {
      {false, "串口通讯中断，轴可能仍在运行，请立即检查设备！"},
      {true, "串口通讯中断，请检查串口连接"},
  };
  for (const Case& c : cases) {
    ScreenEnv env;
    openJog(env);
    env.press("CFcmd");
    ASSERT_TRUE(tickUntil(env, [&] { return env.model.coil(coil::Reverse[reg::C]); }, 3));
    if (c.releasedFirst) {
      env.release("CFcmd");
      ASSERT_TRUE(tickUntil(env, [&] { return offDelivered(env); }, 3));
    }
    env.boxes.clear();
    env.port()->unplug();
    ASSERT_TRUE(ScreenEnv::until([&] { return !env.boxes.isEmpty(); })) << c.releasedFirst;
    EXPECT_EQ(env.boxes, QStringList{c.message});
    ScreenEnv::until([&] { return env.map().current() && env.map().current()->objectName() == "Mainfrm1"; });
    EXPECT_EQ(env.map().current()->objectName(), "Mainfrm1");
  }
}

}  // namespace

// A jog held while the adapter is pulled, or let go just before with its OFF not yet echoed: the
// OFF the program knows it owes belongs to the port. Once the adapter is back and the operator
// opens the port with "确定", it is the first frame sent, and the operator is told when it got
// through.
TEST(ManualJog, AnOffOwedWhenThePortWasLostIsTheFirstFrameWhenItIsOpenAgain) {
  for (const bool letGo : {false, true}) {
    SCOPED_TRACE(letGo ? "let go, the OFF not yet echoed" : "held");
    ScreenEnv env;
    openJog(env);
    env.press("CFcmd");
    ASSERT_TRUE(tickUntil(env, [&] { return env.model.coil(coil::Reverse[reg::C]); }, 3));
    env.port()->setSilent(letGo);  // the OFF goes out and is lost with the line
    if (letGo) {
      env.release("CFcmd");
      env.ticks(1);
      ASSERT_TRUE(env.takeSent().contains(coilBody(coil::Reverse[reg::C], false)));
    }
    env.boxes.clear();
    env.port()->unplug();
    ASSERT_TRUE(ScreenEnv::until([&] { return !env.boxes.isEmpty(); }));
    EXPECT_EQ(env.boxes, QStringList{"串口通讯中断，轴可能仍在运行，请立即检查设备！"});
    ASSERT_TRUE(ScreenEnv::until([&] { return env.map().current()->objectName() == "Mainfrm1"; }));
    EXPECT_TRUE(env.model.coil(coil::Reverse[reg::C])) << "the axis still runs while the port is away";
    env.boxes.clear();
    env.click("Okcmd");
    env.drive(env.currentScreen());
    env.ticks(3);
    const QList<QByteArray> sent = env.takeSent();
    ASSERT_FALSE(sent.isEmpty());
    EXPECT_EQ(sent.first(), coilBody(coil::Reverse[reg::C], false));
    EXPECT_FALSE(env.model.coil(coil::Reverse[reg::C]));
    EXPECT_TRUE(ScreenEnv::until([&] { return env.boxes.contains(ui::stopDeliveredText()); }))
        << env.boxes.join(", ").toStdString();
  }
}
