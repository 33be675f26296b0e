// The list of ports on the main screen, fed by a source of the test's own, and the port number
// remembered from one start of the program to the next.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "link/port_list.h"
#include "screen_env.h"
#include "shell/main_screen.h"
#include "ui/session.h"

using namespace lorvane;
using lorvane::test::ScreenEnv;

namespace {

class FakeSource : public PortSource {
 public:
  QList<PortDescription> list;
  QList<PortDescription> ports() override { return list; }
  bool busy(const QString&) override { return false; }
};

class PortList : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkpath("dev");
    for (const char* d : {"ttyUSB0", "ttyUSB1", "ttyACM0"}) QFile(dev(d)).open(QIODevice::WriteOnly);
    qputenv("LORVANE_PORTS", QDir(dir.path()).filePath("ports").toLocal8Bit());
    source->list = {{.device = dev("ttyUSB0"), .description = "USB-SERIAL CH340", .manufacturer = "wch.cn"},
                    {.device = dev("ttyUSB1"), .description = "FT232R USB UART", .busy = true}};
    setPortSource(source);
    env.start();
  }
  void TearDown() override {
    setPortSource(nullptr);
    qunsetenv("LORVANE_PORTS");
  }
  QString dev(const QString& d) const { return QDir(dir.path()).filePath("dev/" + d); }
  QComboBox* list() { return env.map().current()->control<QComboBox>("CKlist"); }
  QStringList shown() {
    QStringList items;
    for (int i = 0; i < list()->count(); ++i) items << list()->itemText(i);
    return items;
  }
  QString typed() { return env.map().current()->control<QLineEdit>("CKtxt")->text(); }

  QTemporaryDir dir;
  std::shared_ptr<FakeSource> source = std::make_shared<FakeSource>();
  ScreenEnv env;
};

TEST_F(PortList, ShowsThePortsPresentAndFollowsAdaptersPluggedAndPulled) {
  ASSERT_TRUE(list());
  EXPECT_TRUE(list()->isEnabled());
  EXPECT_EQ(shown(), (QStringList{"-  " + dev("ttyUSB0") + "  USB-SERIAL CH340  wch.cn",
                                  "-  " + dev("ttyUSB1") + "  FT232R USB UART  （被占用）"}));

  // Plugged in while the screen shows: listed within the refresh, nothing else asked of the operator.
  source->list << PortDescription{.device = dev("ttyACM0"), .description = "Arduino Uno"};
  EXPECT_TRUE(ScreenEnv::until([&] { return list()->count() == 3; }, 3 * shell::MainScreen::kListRefreshMs));
  EXPECT_EQ(shown().value(0), "-  " + dev("ttyACM0") + "  Arduino Uno");
  // Another program lets go of a port, and an adapter is pulled out.
  source->list[1].busy = false;
  source->list.removeFirst();
  EXPECT_TRUE(ScreenEnv::until([&] { return list()->count() == 2; }, 3 * shell::MainScreen::kListRefreshMs));
  EXPECT_EQ(shown(), (QStringList{"-  " + dev("ttyACM0") + "  Arduino Uno", "-  " + dev("ttyUSB1") + "  FT232R USB UART"}));
  EXPECT_EQ(env.opens, 0) << "listing opens no port";
  EXPECT_TRUE(env.boxes.isEmpty());
}

TEST_F(PortList, ChoosingAPortPutsItsNumberInTheFieldAndOkOpensIt) {
  EXPECT_EQ(typed(), "1");
  EXPECT_EQ(list()->currentIndex(), -1) << "no port listed is number 1 yet";
  // The operator picks the first adapter with the keyboard: it is given number 1 (a link made now).
  list()->setFocus();
  QTest::keyClick(list(), Qt::Key_Down);
  EXPECT_EQ(typed(), "1");
  EXPECT_EQ(QFile::symLinkTarget(portDeviceName(1)), dev("ttyUSB0"));
  EXPECT_EQ(list()->currentText(), "1  " + dev("ttyUSB0") + "  USB-SERIAL CH340  wch.cn");
  // The next one gets 2, and the list shows which number the field holds.
  QTest::keyClick(list(), Qt::Key_Down);
  EXPECT_EQ(typed(), "2");
  EXPECT_EQ(QFile::symLinkTarget(portDeviceName(2)), dev("ttyUSB1"));
  env.type("CKtxt", "1");
  EXPECT_TRUE(list()->currentText().startsWith("1  ")) << list()->currentText().toStdString();
  env.type("CKtxt", "9");
  EXPECT_EQ(list()->currentIndex(), -1);

  // "确定" is as before: the number typed is opened.
  env.type("CKtxt", "1");
  env.click("Okcmd");
  EXPECT_EQ(env.opens, 1);
  EXPECT_TRUE(env.boxes.isEmpty());
}

TEST_F(PortList, FindAsksNoPortAnotherProgramHoldsAndSaysWhatItTried) {
  // ttyUSB0 is no serial port at all (it cannot be opened as one); ttyUSB1 is held elsewhere.
  env.click("Findcmd");
  ASSERT_TRUE(ScreenEnv::until([&] { return !env.boxes.isEmpty(); }, 3000));
  EXPECT_EQ(env.boxes.value(0), "未找到控制器。已询问：无；无法打开：" + dev("ttyUSB0") + "；被占用：" + dev("ttyUSB1"));
  EXPECT_EQ(typed(), "1");

  env.boxes.clear();
  source->list.removeFirst();
  env.click("Findcmd");
  EXPECT_EQ(env.boxes.value(0), "未找到可询问的串口；被占用：" + dev("ttyUSB1"));
}

TEST(RememberedPort, TheLastNumberThatOpenedIsShownAtTheNextStart) {
  ScreenEnv env;
  env.start();
  auto* field = env.map().current()->control<QLineEdit>("CKtxt");
  EXPECT_EQ(field->text(), "1") << "first start";
  // Port 7 is the simulated controller here.
  const ui::PortOpener inProcess = ui::session().openPort;
  ui::session().openPort = [inProcess](int n, QString* e) { return inProcess(n == 7 ? 1 : 0, e); };
  env.type("CKtxt", "7");
  env.click("Okcmd");
  ASSERT_EQ(env.opens, 1);
  {
    shell::MainScreen restarted;
    EXPECT_EQ(restarted.control<QLineEdit>("CKtxt")->text(), "7");
  }
  // A number that does not open is not remembered (and the program ends, as always).
  env.type("CKtxt", "5");
  env.click("Okcmd");
  EXPECT_EQ(env.boxes.value(0), "串口设定出错或您的设备上无串口");
  shell::MainScreen restarted;
  EXPECT_EQ(restarted.control<QLineEdit>("CKtxt")->text(), "7");
}

}  // namespace
