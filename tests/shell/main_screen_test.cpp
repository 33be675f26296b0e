// The main screen against the simulated controller, as the operator uses it.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "shell/main_screen.h"
#include "screen_env.h"

using namespace lorvane;
using lorvane::test::ScreenEnv;

namespace {

class MainScreenTest : public ::testing::Test {
 protected:
  void SetUp() override { env.start(); }
  ui::Form* main() { return env.map().current(); }
  QLineEdit* field(const char* n) { return main()->control<QLineEdit>(n); }
  ui::CmdButton* button(const char* n) { return main()->control<ui::CmdButton>(n); }
  void open() {
    env.click("Okcmd");
    env.drive(env.currentScreen());
  }
  ScreenEnv env;
};

TEST_F(MainScreenTest, StartsWithThePortClosed) {
  EXPECT_EQ(main()->objectName(), "Mainfrm1");
  EXPECT_EQ(main()->windowTitle(), "Lorvane");
  EXPECT_EQ(field("CKtxt")->text(), "1");
  // The working areas and the count take no click until the port is open.
  for (const char* name : {"Refcmd", "Tstcmd", "Xkcmd", "Efcmd", "lccmd"}) EXPECT_FALSE(button(name)->isEnabled()) << name;
  EXPECT_FALSE(field("LCtxt")->isEnabled());
  EXPECT_EQ(env.opens, 0);
}

TEST_F(MainScreenTest, OpenPollsWritesAndReadsBackTheCount) {
  env.model.writeRegister(0x10DE, 1234);
  open();
  EXPECT_EQ(button("Okcmd")->shownColour(), ui::Red);
  for (const char* n : {"Refcmd", "Tstcmd", "Xkcmd", "Efcmd", "lccmd"}) EXPECT_TRUE(button(n)->isEnabled()) << n;
  env.ticks(2);
  EXPECT_EQ(field("LCtxt")->text(), "1234");
  EXPECT_EQ(env.takeSent().first(), "010310DE0001");

  // The operator edits: the count is no longer refreshed under the typing.
  env.type("LCtxt", "70000");
  env.model.writeRegister(0x10DE, 5);
  env.ticks(3);
  EXPECT_EQ(field("LCtxt")->text(), "70000");
  env.takeSent();
  env.click("lccmd");
  EXPECT_EQ(env.boxes, QStringList{"输入的信号范围不在0-65535内"});
  env.ticks(3);
  EXPECT_TRUE(env.takeSent().isEmpty()) << "nothing sent for a refused value";
  EXPECT_EQ(button("lccmd")->shownColour(), ui::Red);

  env.type("LCtxt", "40000");
  env.click("lccmd");
  env.ticks(3);
  EXPECT_EQ(env.takeSent().first(), "011010DE0001029C40");
  EXPECT_EQ(env.model.reg(0x10DE), 40000);
  EXPECT_EQ(button("lccmd")->shownColour(), 0xC0FFFFu);
  env.model.writeRegister(0x10DE, 40001);
  env.ticks(2);
  EXPECT_EQ(field("LCtxt")->text(), "40001") << "polling resumes after the write";
}

TEST(MainScreen, PortFailureEndsTheProgramWhateverTheAnswer) {
  for (auto answer : {QMessageBox::Ok, QMessageBox::Cancel}) {
    ScreenEnv local;
    local.start();
    bool ended = false;
    QObject::connect(&local.map(), &shell::ScreenMap::programEnds, [&] { ended = true; });
    local.answers = {answer};
    local.type("CKtxt", "abc");  // reads as 0, which names no port
    local.click("Okcmd");
    EXPECT_TRUE(ended);
    QStringList want{"串口设定出错或您的设备上无串口"};
    if (answer == QMessageBox::Cancel) want << "请仔细检查您的串口一下";
    EXPECT_EQ(local.boxes, want);
    EXPECT_EQ(local.boxTitles.first(), " 串口设定");
    if (answer == QMessageBox::Cancel) {
      EXPECT_EQ(local.boxTitles.last(), "Lorvane");
    }
  }
}

TEST_F(MainScreenTest, OpenAgainReopensWithTheNumberNowTyped) {
  open();
  env.click("Okcmd");
  EXPECT_EQ(env.opens, 2);
  EXPECT_EQ(env.openAtOnce, 1);
  EXPECT_TRUE(env.boxes.isEmpty());
  env.ticks(2);
  EXPECT_FALSE(env.takeSent().isEmpty());
}

}  // namespace
