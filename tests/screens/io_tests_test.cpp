// The wiring tests against the simulated controller: the input test shows the inputs set on the
// machine while its button is held, the output test switches the chosen output.
#include <gtest/gtest.h>

#include <QLineEdit>

#include "frames/frames.h"
#include "frames/registers.h"
#include "screen_env.h"
#include "ui/widgets.h"

using namespace lorvane;
using lorvane::test::ScreenEnv;

namespace {

QString indicator(int n) { return QStringLiteral("YN%1txt").arg(n); }

QStringList indicators(ScreenEnv& env) {
  QStringList shown;
  for (int n = 1; n <= 13; ++n) shown << env.text(indicator(n));
  return shown;
}

TEST(InputTest, HoldingTheTestButtonShowsEachInputAsTheMachineHasIt) {
  ScreenEnv env;
  ASSERT_EQ(env.openTestPage("inputcmd")->objectName(), "Mainfrm9");
  const QList<int> active = {1, 5, 13};
  for (int n : active) env.model.setInput(n, true);
  QStringList expected;
  for (int n = 1; n <= 13; ++n) expected << (active.contains(n) ? "ON" : "OF");

  env.ticks(20);
  EXPECT_EQ(indicators(env), QStringList(13, "A")) << "no test running";
  env.press("SDcmd");
  EXPECT_TRUE(env.isRed("SDcmd"));
  EXPECT_TRUE(env.tickUntil([&] { return indicators(env) == expected; }, 60));
  env.model.setInput(5, false);
  EXPECT_TRUE(env.tickUntil([&] { return env.text(indicator(5)) == "OF"; }, 30));

  env.release("SDcmd");
  EXPECT_FALSE(env.isRed("SDcmd"));
  EXPECT_TRUE(env.tickUntil([&] { return indicators(env) == QStringList(13, "A"); }, 60));
  const QList<QByteArray> sent = env.takeSent();
  EXPECT_EQ(sent.count("01050837FF00"), 1);
  EXPECT_EQ(sent.count("010508370000"), 1);
}

// A state the screen has no text for blanks the indicator instead of leaving the old reading.
TEST(InputTest, AStateWithoutATextBlanksTheIndicator) {
  ScreenEnv env;
  env.openTestPage("inputcmd");
  env.model.setInput(2, true);
  env.press("SDcmd");
  ASSERT_TRUE(env.tickUntil([&] { return env.text(indicator(2)) == "ON"; }, 60));
  // Input 2 is the next one read: the controller's answer to that read is a 3.
  Exchange& ex = env.currentScreen()->exchange();
  ASSERT_TRUE(env.tickUntil([&] { return ex.readIndex() == 1 && !ex.busy(); }, 30));
  env.port()->setSilent(true);
  env.ticks(1);
  ASSERT_TRUE(env.port()->sent().last().startsWith(":010310C90001"));
  env.port()->inject(buildFrame("0103020003"));
  ASSERT_TRUE(ScreenEnv::until([&] { return env.text(indicator(2)) != "ON"; }, 1000));
  EXPECT_EQ(env.text(indicator(2)), QString());
}

TEST(OutputTest, TestButtonSwitchesTheChosenOutput) {
  struct Case { const char* number; const char* setting; int output; bool on; const char* shown; };
  const Case cases[] = {
      {"12", "0", 12, true, "ON"},
      {"3", "0", 3, true, "ON"},
      {"12", "1", 12, false, "OF"},
      {"1", "0", 1, true, "ON"},
  };
  ScreenEnv env;
  ASSERT_EQ(env.openTestPage("outputcmd")->objectName(), "Mainfrm10");
  for (const Case& c : cases) {
    env.takeSent();
    env.type("SCtxt", c.number);
    env.type("DMtxt", c.setting);
    env.click("SDcmd");
    EXPECT_TRUE(env.isRed("SDcmd"));
    ASSERT_TRUE(env.tickUntil([&] { return !env.isRed("SDcmd"); }, 30)) << c.number;
    EXPECT_EQ(env.model.output(c.output), c.on) << c.number << " " << c.setting;
    const QList<QByteArray> sent = env.takeSent();
    const qsizetype number = sent.indexOf(writeWordBody(reg::OutputTestNumber, hex4(static_cast<std::uint16_t>(c.output))));
    const qsizetype setting = sent.indexOf(writeWordBody(reg::OutputTestSetting, hex4(c.on ? 0 : 1)));
    const qsizetype test = sent.indexOf("01050838FF00");
    ASSERT_GE(number, 0);
    EXPECT_LT(number, setting);
    EXPECT_LT(setting, test);
    EXPECT_TRUE(env.tickUntil([&] { return env.text("YNtxt") == c.shown; }, 10));
  }
  EXPECT_TRUE(env.model.output(3));
  EXPECT_FALSE(env.model.output(12));
  EXPECT_EQ(env.currentScreen()->exchange().interval(), 80);
}

TEST(OutputTest, OutOfRangeNumberOrSettingSendsNothing) {
  struct Case { const char* number; const char* setting; QString message; };
  const Case cases[] = {
      {"0", "0", "输入的信号范围不在1-12内"},
      {"13", "0", "输入的信号范围不在1-12内"},
      {"12", "2", "输入的信号范围不在0-1内"},
  };
  ScreenEnv env;
  env.openTestPage("outputcmd");
  env.ticks(6);
  for (const Case& c : cases) {
    env.boxes.clear();
    env.takeSent();
    env.type("SCtxt", c.number);
    env.type("DMtxt", c.setting);
    env.click("SDcmd");
    env.ticks(10);
    EXPECT_EQ(env.boxes, QStringList{c.message}) << c.number << " " << c.setting;
    for (const QByteArray& b : env.takeSent()) EXPECT_TRUE(b.startsWith("0103")) << b.constData();
    EXPECT_TRUE(env.isRed("SDcmd"));
    EXPECT_EQ(env.text("SCtxt"), c.number) << "the typed text stays";
  }
  for (int n = 1; n <= 12; ++n) EXPECT_FALSE(env.model.output(n));
}

TEST(OutputTest, ASettingWithoutATextBlanksItsIndicator) {
  ScreenEnv env;
  env.openTestPage("outputcmd");
  ASSERT_TRUE(env.tickUntil([&] { return env.text("DMtxt") == "0"; }, 10));
  EXPECT_EQ(env.text("YNtxt"), "ON");
  env.model.writeRegister(reg::OutputTestSetting, 1);
  ASSERT_TRUE(env.tickUntil([&] { return env.text("YNtxt") == "OF"; }, 10));
  env.model.writeRegister(reg::OutputTestSetting, 7);
  ASSERT_TRUE(env.tickUntil([&] { return env.text("DMtxt") == "7"; }, 10));
  EXPECT_EQ(env.text("YNtxt"), QString());
}

}  // namespace

// Quick hands on the hold-to-run test button: presses and releases within one tick, and a leave
// with the button still down. Whatever the order, the test coil ends OFF in the controller.
TEST(InputTest, QuickPressesAndALeaveWhileHeldEndWithTheCoilOff) {
  struct Case { const char* name; QStringList actions; };
  const Case cases[] = {
      {"press release press, leave", {"press", "tick", "release", "press", "leave"}},
      {"press release press, the OFF and the ON answered, leave", {"press", "tick", "release", "press", "tick", "tick", "tick", "leave"}},
      {"press release press release", {"press", "tick", "release", "press", "release"}},
      {"all in one tick, leave", {"press", "release", "press", "leave"}},
      {"press, leave", {"press", "tick", "leave"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::ScreenEnv env;
    env.openTestPage("inputcmd");
    env.ticks(3);
    for (const QString& a : c.actions) {
      if (a == "press") env.press("SDcmd");
      else if (a == "release") env.release("SDcmd");
      else if (a == "tick") env.ticks(1);
      else if (a == "leave") env.click("BAcmd");
    }
    if (env.currentScreen() && env.currentScreen()->objectName() == "Mainfrm9") env.ticks(20);
    test::ScreenEnv::until([] { return false; }, 300);
    EXPECT_FALSE(env.model.coil(coil::InputTest));
  }
}

// A release and a new press before the release's OFF is answered: the OFF's answer must not make
// the program forget that the new press switched the coil on again. The port lost afterwards,
// with the button still held, is then told as an axis that may still run.
TEST(InputTest, APressRightAfterAReleaseStillCountsTheCoilOnWhenThePortIsLost) {
  test::ScreenEnv env;
  env.openTestPage("inputcmd");
  env.ticks(3);
  env.press("SDcmd");
  env.ticks(2);
  env.release("SDcmd");
  env.press("SDcmd");
  env.ticks(4);  // the OFF, then the new ON, both answered
  ASSERT_TRUE(env.model.coil(coil::InputTest));
  env.port()->unplug();
  test::ScreenEnv::until([&] { return !env.boxes.isEmpty(); });
  EXPECT_TRUE(env.boxes.contains(QStringLiteral("串口通讯中断，轴可能仍在运行，请立即检查设备！"))) << env.boxes.join(" | ").toStdString();
}
