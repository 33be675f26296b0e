// The program's screens over a real serial port: QSerialPort on the pseudo-terminal of a
// lorvane-sim process, linked as port 1, at 9600 baud.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include "screen_env.h"
#include "ui/session.h"

using namespace lorvane;
using lorvane::test::ScreenEnv;

TEST(EndToEnd, MainScreenTalksToTheSimulatorOverAPty) {
  QTemporaryDir ports;
  ASSERT_TRUE(ports.isValid());
  qputenv("LORVANE_PORTS", ports.path().toLocal8Bit());
  QProcess sim;
  sim.start(LORVANE_SIM_PATH, {"--port", "1", "--latency-ms", "5", "--empty"});
  ASSERT_TRUE(sim.waitForStarted(5000));
  const QString link = QDir(ports.path()).filePath("com1");
  ASSERT_TRUE(ScreenEnv::until([&] { return QFileInfo(link).isSymLink(); }, 5000));

  ScreenEnv env;
  env.driveScreens = false;
  ui::session().openPort = ui::openRealPort;  // the real port, not the in-process one
  env.map().start();
  sim.write("set 10DE 4321\n");
  auto* count = env.map().current()->control<QLineEdit>("LCtxt");
  env.click("Okcmd");
  EXPECT_TRUE(ScreenEnv::until([&] { return count->text() == "4321"; }, 5000)) << count->text().toStdString();

  // To the test menu and back: the main screen opens the port again by itself and polls.
  env.click("Tstcmd");
  env.click("BAcmd");
  sim.write("set 10DE 99\n");
  count = env.map().current()->control<QLineEdit>("LCtxt");
  EXPECT_TRUE(ScreenEnv::until([&] { return count->text() == "99"; }, 5000)) << count->text().toStdString();

  // The link goes away while no screen holds the port: the next screen cannot open the port
  // "确定" chose, and no other device (/dev/ttyS0) is tried in its place.
  env.click("Tstcmd");
  sim.write("unplug\n");
  ASSERT_TRUE(ScreenEnv::until([&] { return !QFileInfo(link).isSymLink(); }, 5000));
  env.click("inputcmd");
  EXPECT_TRUE(ScreenEnv::until([&] { return !env.boxes.isEmpty(); }, 5000));
  EXPECT_EQ(env.boxes.value(0), "串口1打开失败，请检查串口后在主界面重新打开");
  EXPECT_EQ(env.map().current()->objectName(), "Mainfrm1");
  env.boxes.clear();
  sim.write("plug\n");
  ASSERT_TRUE(ScreenEnv::until([&] { return QFileInfo(link).isSymLink(); }, 5000));
  sim.write("set 10DE 77\n");
  count = env.map().current()->control<QLineEdit>("LCtxt");
  env.click("Okcmd");
  EXPECT_TRUE(ScreenEnv::until([&] { return count->text() == "77"; }, 5000)) << count->text().toStdString();

  // The adapter is pulled: a message, and the main screen with the port closed.
  sim.write("unplug\n");
  EXPECT_TRUE(ScreenEnv::until([&] { return !env.boxes.isEmpty(); }, 5000));
  EXPECT_EQ(env.boxes.value(0), "串口通讯中断，请检查串口连接");
  ScreenEnv::until([&] { return env.map().current() && env.map().current()->objectName() == "Mainfrm1"; }, 2000);
  EXPECT_FALSE(env.map().current()->control<QPushButton>("Refcmd")->isEnabled());

  sim.terminate();
  EXPECT_TRUE(sim.waitForFinished(5000));
  EXPECT_FALSE(QFileInfo::exists(link)) << "the simulator removes its link on exit";
  qunsetenv("LORVANE_PORTS");
}
