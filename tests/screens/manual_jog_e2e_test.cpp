// Hold-to-run over a real serial port: the manual jog screen on the pseudo-terminal of a
// lorvane-sim process that loses three replies in ten. Held, the axis runs; released, it stops.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "screen_env.h"
#include "ui/session.h"

using namespace lorvane;
using lorvane::test::ScreenEnv;

namespace {

struct AxisState {
  bool known = false;
  double mm = 0;
  bool moving = false;
  int dropped = 0;  // replies the simulator has lost so far
};

// X as the simulator's "state" command reports it ("axes mm: X 12.5*  Y 0 ...", * while moving).
AxisState xState(QProcess& sim) {
  sim.readAllStandardOutput();
  sim.write("state\n");
  static const QRegularExpression axes(QStringLiteral("axes mm: X (-?[0-9.]+)(\\*?)"));
  static const QRegularExpression faults(QStringLiteral("so far dropped ([0-9]+)"));
  QString out;
  AxisState s;
  ScreenEnv::until([&] {
    out += QString::fromLocal8Bit(sim.readAllStandardOutput());
    const QRegularExpressionMatch m = axes.match(out);
    const QRegularExpressionMatch f = faults.match(out);
    if (!m.hasMatch() || !f.hasMatch()) return false;
    s = AxisState{true, m.captured(1).toDouble(), !m.captured(2).isEmpty(), f.captured(1).toInt()};
    return true;
  }, 3000);
  return s;
}

TEST(ManualJogEndToEnd, ReleasedOnALossyLineTheAxisStops) {
  QTemporaryDir ports;
  ASSERT_TRUE(ports.isValid());
  qputenv("LORVANE_PORTS", ports.path().toLocal8Bit());
  QProcess sim;
  sim.start(LORVANE_SIM_PATH, {"--port", "1", "--latency-ms", "5", "--empty", "--drop-percent", "30", "--seed", "7"});
  ASSERT_TRUE(sim.waitForStarted(5000));
  const QString link = QDir(ports.path()).filePath("com1");
  ASSERT_TRUE(ScreenEnv::until([&] { return QFileInfo(link).isSymLink(); }, 5000));

  {
    ScreenEnv env;
    env.driveScreens = false;
    ui::session().openPort = ui::openRealPort;
    env.map().start();
    env.click("Okcmd");
    env.click("Tstcmd");
    env.click("Sdcmd");
    ASSERT_EQ(env.map().current()->objectName(), "Mainfrm11");

    env.press("XZcmd");
    EXPECT_TRUE(ScreenEnv::until([&] { return xState(sim).moving; }, 8000)) << "the held button runs X";
    QTest::qWait(300);
    const int droppedBefore = xState(sim).dropped;
    sim.write("drop 2\n");  // the answers to the first OFFs are lost for certain
    QTest::qWait(50);
    env.release("XZcmd");
    Exchange& ex = env.currentScreen()->exchange();
    EXPECT_TRUE(ScreenEnv::until([&] { return !ex.hasSafetyWork(); }, 10000)) << "the OFF is acknowledged";
    const AxisState stopped = xState(sim);
    ASSERT_TRUE(stopped.known);
    EXPECT_FALSE(stopped.moving);
    EXPECT_GT(stopped.mm, 0);
    EXPECT_GE(stopped.dropped - droppedBefore, 2);
    QTest::qWait(300);
    EXPECT_EQ(xState(sim).mm, stopped.mm) << "X stays where it stopped";
  }

  sim.terminate();
  EXPECT_TRUE(sim.waitForFinished(5000));
  qunsetenv("LORVANE_PORTS");
}

}  // namespace
