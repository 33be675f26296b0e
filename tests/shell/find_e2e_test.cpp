// "查找控制器" on the main screen as a new user meets it: two simulated controllers on
// pseudo-terminals, the one on port 1 silent, the one on port 2 answering. (The computer's own
// serial ports are not listed under test: only the simulators' links.)
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "link/link.h"
#include "open_here.h"
#include "screen_env.h"
#include "shell/main_screen.h"
#include "ui/session.h"

using namespace lorvane;
using lorvane::test::openHere;
using lorvane::test::ScreenEnv;

namespace {

class FindOnTheMainScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ports.isValid());
    qputenv("LORVANE_PORTS", ports.path().toLocal8Bit());
    start(silent, 1, {"--silent"});
    start(controller, 2, {});
    env.driveScreens = false;
    ui::session().openPort = ui::openRealPort;
    env.start();
  }
  void TearDown() override {
    for (QProcess* p : {&silent, &controller}) {
      p->terminate();
      p->waitForFinished(3000);
    }
    qunsetenv("LORVANE_PORTS");
  }
  void start(QProcess& p, int n, const QStringList& args) {
    p.start(LORVANE_SIM_PATH, QStringList{"--port", QString::number(n), "--latency-ms", "5", "--empty"} + args);
    ASSERT_TRUE(p.waitForStarted(5000));
    ASSERT_TRUE(ScreenEnv::until([&] { return QFileInfo(portDeviceName(n)).isSymLink(); }, 5000));
  }
  QString pts(int n) const { return QFileInfo(portDeviceName(n)).canonicalFilePath(); }
  ui::Form* main() { return env.map().current(); }
  QProgressDialog* progress() { return main()->findChild<QProgressDialog*>("findProgress"); }

  QTemporaryDir ports;
  QProcess silent, controller;
  ScreenEnv env;
};

TEST_F(FindOnTheMainScreen, FindsTheAnsweringControllerAndOkOpensIt) {
  // The operator first opens the wrong port: the areas open, but nothing answers there.
  env.click("Okcmd");
  ASSERT_TRUE(main()->control<QPushButton>("Refcmd")->isEnabled());
  controller.write("set 10DE 4321\n");

  env.click("Findcmd");
  // The port held is closed first; progress shows while the ports are asked.
  EXPECT_FALSE(main()->control<QPushButton>("Refcmd")->isEnabled());
  ASSERT_TRUE(progress());
  EXPECT_TRUE(progress()->isVisible());
  ASSERT_TRUE(ScreenEnv::until([&] { return !env.boxes.isEmpty(); }, 5000));
  EXPECT_EQ(env.boxes.value(0), QStringLiteral("在串口2（%1）上找到控制器，已填入串口号，请按“确定”").arg(pts(2)));
  EXPECT_EQ(main()->control<QLineEdit>("CKtxt")->text(), "2");
  EXPECT_TRUE(ScreenEnv::until([&] { return !progress(); }, 1000));
  EXPECT_EQ(openHere(pts(1)) + openHere(pts(2)), 0);

  // "确定" opens it and the count is read from the controller found.
  auto* count = main()->control<QLineEdit>("LCtxt");
  env.click("Okcmd");
  EXPECT_TRUE(ScreenEnv::until([&] { return count->text() == "4321"; }, 5000)) << count->text().toStdString();
  EXPECT_EQ(shell::MainScreen::rememberedPort(), 2);
}

TEST_F(FindOnTheMainScreen, CancelledFromTheProgressLeavesNoPortOpenAndTheNumberAsItWas) {
  env.click("Findcmd");
  ASSERT_TRUE(progress());
  ASSERT_TRUE(ScreenEnv::until([&] { return openHere(pts(1)) > 0; }, 3000));
  QPushButton* cancel = progress()->findChild<QPushButton*>();
  ASSERT_TRUE(cancel);
  QTest::mouseClick(cancel, Qt::LeftButton);
  EXPECT_EQ(openHere(pts(1)) + openHere(pts(2)), 0);
  QTest::qWait(1000);
  EXPECT_EQ(openHere(pts(1)) + openHere(pts(2)), 0);
  EXPECT_TRUE(env.boxes.isEmpty()) << env.boxes.join("|").toStdString();
  EXPECT_EQ(main()->control<QLineEdit>("CKtxt")->text(), "1");
  EXPECT_FALSE(progress());
}

TEST_F(FindOnTheMainScreen, NoneAnsweringIsToldWithThePortsAsked) {
  controller.write("silent on\n");
  env.click("Findcmd");
  ASSERT_TRUE(ScreenEnv::until([&] { return !env.boxes.isEmpty(); }, 5000));
  EXPECT_EQ(env.boxes.value(0),
            QStringLiteral("未找到控制器。已询问：串口1（%1）、串口2（%2）").arg(pts(1), pts(2)));
  EXPECT_EQ(main()->control<QLineEdit>("CKtxt")->text(), "1");
}

}  // namespace
