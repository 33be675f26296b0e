// The axis basic parameter screen Mainfrm5 against the simulated controller, opened
// from the axis parameter menu as the operator opens it.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

#include "screens/axes/axis_parameters.h"
#include "link/exchange.h"
#include "frames/frames.h"
#include "frames/registers.h"
#include "screen_env.h"
#include "scripted_port.h"
#include "link/link.h"

using namespace lorvane;
using lorvane::test::ScreenEnv;
using lorvane::test::SimPort;

namespace {

// The registers of the ten parameters of X, Y, Z, C and A, written out independently of the code.
const char* const kFields[10] = {"WQtxt", "TStxt", "JHtxt", "FXtxt", "ZXtxt",
                                 "DBtxt", "QPtxt", "JPtxt", "MCtxt", "JLtxt"};
const std::uint16_t kRegisters[5][10] = {
    {0x1004, 0x1003, 0x1016, 0x10D7, 0x10E1, 0x1005, 0x1001, 0x1002, 0x1006, 0x1007},  // X
    {0x100B, 0x100A, 0x1017, 0x10D8, 0x10E2, 0x100C, 0x1008, 0x1009, 0x100D, 0x100E},  // Y
    {0x1012, 0x1011, 0x1018, 0x10D9, 0x10E3, 0x1013, 0x100F, 0x1010, 0x1014, 0x1015},  // Z
    {0x10A5, 0x10A3, 0x10A4, 0x10DA, 0x10E4, 0x10A6, 0x10B2, 0x10A2, 0x10A7, 0x10A8},  // C
    {0x1051, 0x104F, 0x1050, 0x10DB, 0x10E5, 0x1052, 0x104D, 0x104E, 0x1053, 0x1054},  // A
};
const char* const kAxisButtons[5] = {"Xcmd", "Ycmd", "Zcmd", "Ccmd", "Acmd"};
const char* const kTitles[5] = {"X轴参数设定", "Y轴参数设定", "Z轴参数设定", "C轴参数设定", "A轴参数设定"};

QByteArray readOf(std::uint16_t r) { return "0103" + hex4(r) + "0001"; }
QByteArray writeOf(std::uint16_t r, const QByteArray& digits) { return "0110" + hex4(r) + "000102" + digits; }

class AxisParametersTest : public ::testing::Test {
 protected:
  void open(int axis) {
    env.start();
    env.click("Okcmd");
    env.drive(env.currentScreen());
    env.click("Refcmd");
    env.click(kAxisButtons[axis]);
    ASSERT_NE(screen(), nullptr);
    ASSERT_EQ(screen()->objectName(), "Mainfrm5");
    env.takeSent();
  }
  ui::Screen* screen() { return env.currentScreen(); }
  QString text(const char* name) { return screen()->control<QLineEdit>(name)->text(); }
  ui::CmdButton* download() { return screen()->control<ui::CmdButton>("SScmd"); }
  QList<QByteArray> writesSent() { return env.takeWrites(); }

  ScreenEnv env;
};

// Opened from the menu's X button: the title names the axis; the help as written; the tick.
TEST_F(AxisParametersTest, TitleHelpAndTick) {
  open(reg::X);
  EXPECT_EQ(screen()->control<QLabel>("Szlel")->text(), "X轴参数设定");
  const QStringList help = {
      "",
      "1、启动、加速频率一般设定为50",
      "",
      "2、高速运行时，如600RPM以上时，",
      "   加速频率可以设定小一些,如30 ",
      "",
      "3、调试速度对应电机测试的速度，不是 ",
      "   电机工程参数运行的速度。 ",
      "",
      "4、脉冲当量的前面设置为脉冲数据 ",
      "电机转一圈，控制器发送的脉冲数据 ",
      "如细分为8，步距角为1.8度，那么 ",
      "脉冲数据为：360/1.8 *8(细分)=1600 ",
      "后面设置为电机转一圈对应的距离 ",
      "也就是螺距，如电机转一圈，丝杆走5MM ",
      "",
      "5、设定好后，点“下载并保存”键，",
      "设定的 数据就发给控制器 ",
      "并让控制器保存这些数据! ",
      "",
      "点“下载并保存”键，变红色",
      "等恢复了本色，才算成功！",
      "超过20秒没恢复，就再点击一次",
  };
  auto* list = screen()->control<QListWidget>("List1");
  ASSERT_EQ(list->count(), 23);
  for (int i = 0; i < list->count(); ++i) EXPECT_EQ(list->item(i)->text(), help[i]) << "line " << i + 1;
  EXPECT_EQ(screen()->exchange().interval(), 80);
  EXPECT_EQ(screen()->exchange().declaration().silentLimit, 8);
}

// Without a title (the debugging page's "上一页") or with any other text, the screen works on X.
TEST(AxisParametersTitle, OnlyTheFiveTitlesSelectAnAxis) {
  screens::AxisParameters s;
  EXPECT_EQ(s.axis(), reg::X);
  EXPECT_EQ(s.control<QLabel>("Szlel")->text(), "");
  // What the screen reads first on a line.
  const auto firstRead = [](screens::AxisParameters& screen) {
    test::ScriptedPort port;
    Link link(&port);
    screen.exchange().setLink(&link);
    screen.exchange().tick();
    screen.exchange().setLink(nullptr);
    return port.lastBody().left(8);
  };
  EXPECT_EQ(firstRead(s), "01031004");
  s.setTitle("A轴参数设定");
  EXPECT_EQ(s.axis(), reg::A);
  screens::AxisParameters a;
  a.setTitle("A轴参数设定");
  EXPECT_EQ(firstRead(a), "01031051");
  s.setTitle("Q轴参数设定");
  EXPECT_EQ(s.control<QLabel>("Szlel")->text(), "Q轴参数设定");
  EXPECT_EQ(s.axis(), reg::A) << "another text changes nothing";
}

// One table for the five axes: the title picks the axis, the cycle reads its ten registers, and
// the download writes them in parameter order, then the save coil; the controller keeps them.
class AxisDownload : public AxisParametersTest, public ::testing::WithParamInterface<int> {};

TEST_P(AxisDownload, ReadsWritesAndKeepsTheTenParametersOfItsAxis) {
  const int axis = GetParam();
  const std::uint16_t held[10] = {4, 100, 1, 2, 3, 90, 10, 20, 800, 2500};
  for (int k = 0; k < 10; ++k) env.model.writeRegister(kRegisters[axis][k], held[k]);
  open(axis);
  EXPECT_EQ(screen()->control<QLabel>("Szlel")->text(), QString::fromUtf8(kTitles[axis]));

  env.ticks(10);
  QList<QByteArray> reads;
  for (int k = 0; k < 10; ++k) reads << readOf(kRegisters[axis][k]);
  EXPECT_EQ(env.takeSent(), reads);
  const char* const shown[10] = {"4", "100", "1", "2", "3", "0.9", "10", "20", "800", "2.5"};
  for (int k = 0; k < 10; ++k) EXPECT_EQ(text(kFields[k]), shown[k]) << kFields[k];

  const char* const typed[10] = {"65535", "1500", "13", "7", "8", "1.8", "50000", "999", "1600", "5"};
  const char* const digits[10] = {"FFFF", "05DC", "000D", "0007", "0008", "00B4", "C350", "03E7", "0640", "1388"};
  const std::uint16_t values[10] = {65535, 1500, 13, 7, 8, 180, 50000, 999, 1600, 5000};
  for (int k = 0; k < 10; ++k) env.type(kFields[k], typed[k]);
  env.click("SScmd");
  EXPECT_TRUE(env.boxes.isEmpty()) << env.boxes.join(", ").toStdString();
  EXPECT_EQ(download()->shownColour(), ui::Red);
  EXPECT_EQ(screen()->exchange().interval(), 80);
  env.ticks(11);
  QList<QByteArray> writes;
  for (int k = 0; k < 10; ++k) writes << writeOf(kRegisters[axis][k], digits[k]);
  writes << "0105080AFF00";
  EXPECT_EQ(writesSent(), writes);
  for (int k = 0; k < 10; ++k) EXPECT_EQ(env.model.reg(kRegisters[axis][k]), values[k]) << kFields[k];
  EXPECT_EQ(download()->shownColour(), ui::SystemButton);
  EXPECT_EQ(screen()->exchange().interval(), 50);
  for (const char* f : kFields) EXPECT_FALSE(screen()->exchange().isLocked(f)) << f;

  // Read back: the scaled values round-trip.
  env.ticks(10);
  const char* const readBack[10] = {"65535", "1500", "13", "7", "8", "1.8", "50000", "999", "1600", "5"};
  for (int k = 0; k < 10; ++k) EXPECT_EQ(text(kFields[k]), readBack[k]) << kFields[k];

  // Coil 0x080A made the controller keep them.
  env.model.advance(500);
  QTemporaryDir dir;
  ASSERT_TRUE(env.model.save(dir.filePath("state.json")));
  sim::ControllerModel restarted;
  ASSERT_TRUE(restarted.load(dir.filePath("state.json")));
  for (int k = 0; k < 10; ++k) {
    // The simulator keeps 0x10E3..0x10E5 (forward limits of Z, C, A, shared with the step
    // pages) with the current step, so only a project save keeps them: reported, not tested.
    if (kRegisters[axis][k] >= 0x10E3 && kRegisters[axis][k] <= 0x10E5) continue;
    EXPECT_EQ(restarted.reg(kRegisters[axis][k]), values[k]) << kFields[k];
  }

  // The next download starts at 80 ms ticks again.
  env.click("SScmd");
  EXPECT_EQ(screen()->exchange().interval(), 80);
}

INSTANTIATE_TEST_SUITE_P(EachAxis, AxisDownload, ::testing::Range(0, 5),
                         [](const auto& info) { return std::string(1, "XYZCA"[info.param]); });

TEST_F(AxisParametersTest, RangesAndUnencodableValuesAreRefusedAndNothingIsSent) {
  open(reg::X);
  env.ticks(10);
  struct Case { const char* field; const char* text; QString message; };
  const Case cases[] = {
      {"WQtxt", "65536", "输入的信号范围不在0-65535内"},
      {"WQtxt", "-1", "输入的信号范围不在0-65535内"},
      {"TStxt", "1600", "输入的信号范围不在0-1500内"},
      {"JHtxt", "14", "输入的信号范围不在0-13内"},
      {"FXtxt", "14", "输入的信号范围不在0-13内"},
      {"ZXtxt", "14", "输入的信号范围不在0-13内"},
      {"DBtxt", "655.36", "输入的信号范围不在0-65535内"},
      {"QPtxt", "50001", "输入的信号范围不在0-50000内"},
      {"JPtxt", "1000", "输入的信号范围不在0-999内"},
      {"QPtxt", "12abc", msg::notANumber()},
      {"QPtxt", "", msg::notANumber()},
      // No range for these fields: what one register cannot hold is refused all the same.
      {"MCtxt", "65536", msg::tooLarge("65535")},
      {"MCtxt", "-5", msg::negative()},
      {"MCtxt", "1600x", msg::notANumber()},
      {"JLtxt", "65.536", msg::tooLarge("65.535")},
      {"JLtxt", "-1", msg::negative()},
      {"JLtxt", "5mm", msg::notANumber()},
  };
  for (const Case& c : cases) {
    const QString before = text(c.field);
    EXPECT_EQ(env.typeAndClick({{c.field, QString::fromUtf8(c.text)}}, "SScmd", 3), ScreenEnv::refused(c.message))
        << c.field << " " << c.text;
    EXPECT_EQ(text(c.field), QString::fromUtf8(c.text)) << "the typed text stays";
    env.type(c.field, before);
  }
  // Bounds are allowed values.
  env.boxes.clear();
  env.type("TStxt", "1500");
  env.type("JHtxt", "13");
  env.type("DBtxt", "655.35");
  env.click("SScmd");
  EXPECT_TRUE(env.boxes.isEmpty());
  env.ticks(12);
  const QList<QByteArray> writes = writesSent();
  EXPECT_TRUE(writes.contains(writeOf(0x1003, "05DC")));
  EXPECT_TRUE(writes.contains(writeOf(0x1016, "000D")));
  EXPECT_TRUE(writes.contains(writeOf(0x1005, "FFFF")));
}

TEST_F(AxisParametersTest, DebugSpeedLimitIsTheAxisOwn) {
  open(reg::Y);
  env.ticks(10);
  env.type("TStxt", "1600");
  env.click("SScmd");
  EXPECT_TRUE(env.boxes.isEmpty()) << "Y goes up to 2000";
  env.ticks(12);
  EXPECT_TRUE(writesSent().contains(writeOf(0x100A, "0640")));
  EXPECT_EQ(env.model.reg(0x100A), 1600);
}

TEST_F(AxisParametersTest, DownloadRefusedUntilEveryFieldIsKnown) {
  open(reg::C);
  env.ticks(5);  // half the cycle: five fields still unread
  env.click("SScmd");
  EXPECT_EQ(env.boxes, QStringList{msg::unknown()});
  env.ticks(3);
  EXPECT_TRUE(writesSent().isEmpty());
  env.boxes.clear();
  env.ticks(5);
  env.click("SScmd");
  EXPECT_TRUE(env.boxes.isEmpty());
}

TEST_F(AxisParametersTest, ButtonStaysRedWhenTheSaveCoilIsNotAnswered) {
  open(reg::Z);
  env.ticks(10);
  QObject::connect(env.port(), &test::SimPort::requestSeen, env.port(), [this](const QByteArray& frame) {
    if (frame.contains("0105080AFF00")) env.port()->dropNext(1);
  });
  env.click("SScmd");
  env.ticks(60);  // the download, then several complete read cycles
  const QList<QByteArray> writes = writesSent();
  EXPECT_EQ(writes.size(), 11);
  EXPECT_EQ(writes.count("0105080AFF00"), 1) << "the save coil is sent once";
  EXPECT_EQ(download()->shownColour(), ui::Red);
  EXPECT_EQ(screen()->exchange().interval(), 80);
}

TEST_F(AxisParametersTest, BackToTheAxisMenu) {
  open(reg::A);
  env.click("EXtxt");
  ASSERT_NE(env.map().current(), nullptr);
  EXPECT_EQ(env.map().current()->objectName(), "Mainfrm3");
  EXPECT_EQ(env.port(), nullptr);
}

}  // namespace

namespace {

// A field clicked into before its first value arrives, and left untyped, goes on being read: the
// download is not refused for it, and writes what the controller held.
TEST(AxisParameters, AFieldOnlyClickedIntoIsStillRead) {
  ScreenEnv env;
  env.model.writeRegister(reg::AxisParamReg[0][reg::X], 16);
  env.onOpen = [&](SimPort& p) { p.setPacing(200, [&env] { return double(env.now); }); };
  env.start();
  env.click("Okcmd");
  env.drive(env.currentScreen());
  env.click("Refcmd");
  env.click("Xcmd");
  ui::Screen* screen = env.currentScreen();
  ASSERT_EQ(screen->objectName(), "Mainfrm5");
  env.drive(screen);
  QTest::mouseClick(screen->control<QLineEdit>("WQtxt"), Qt::LeftButton);
  ASSERT_TRUE(env.tickUntil([&] { return screen->exchange().lastRead("WQtxt").has_value(); }, 400));
  EXPECT_EQ(env.text("WQtxt"), "16");
  const auto allRead = [&] {
    for (const char* f : {"WQtxt", "TStxt", "JHtxt", "FXtxt", "ZXtxt", "DBtxt", "QPtxt", "JPtxt", "MCtxt", "JLtxt"})
      if (!screen->exchange().lastRead(f)) return false;
    return true;
  };
  ASSERT_TRUE(env.downloadOnceRead(allRead, "SScmd", 2000));
  EXPECT_TRUE(env.boxes.isEmpty()) << env.boxes.join(", ").toStdString();
  EXPECT_EQ(env.model.reg(reg::AxisParamReg[0][reg::X]), 16);
}

}  // namespace
