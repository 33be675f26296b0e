// The project parameter screen Mainfrm12 against the simulated controller, reached from the
// main screen as the operator reaches it.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>

#include "frames/registers.h"
#include "screen_env.h"
#include "ui/widgets.h"

using namespace lorvane;
using lorvane::test::ScreenEnv;

namespace {

const QString kProjectPending = QStringLiteral("工程号尚未设置完毕，请稍后再试");
const QString kProjectUnread = QStringLiteral("工程号尚未读取，请稍后再试");
const QString kReadNotReset = QStringLiteral("读取工程参数命令未能复位，请检查串口连接");
const QString kAxisMayRun = QStringLiteral("串口通讯中断，轴可能仍在运行，请立即检查设备！");

const QByteArray kReadOn = "01050808FF00";
const QByteArray kReadOff = "010508080000";

// The main screen, port 1, then "工 程 参 数 设 定".
ui::Screen* openProjectScreen(ScreenEnv& env) {
  env.start();
  env.click("Okcmd");
  env.click("Efcmd");
  return env.currentScreen();
}

TEST(ProjectParameters, HelpAsWritten) {
  ScreenEnv env;
  ui::Screen* s = openProjectScreen(env);
  ASSERT_EQ(s->objectName(), "Mainfrm12");
  const QStringList help = {
      "", "1、设置工程号(可以设置1-10个工程)", "", "2、对设置好的工程号进行参数的读取，",
      "   若工程中存在参数，则会显示有参数", "   可以对其是否进行清除，点击清除参", "   数时，会弹出对话框，可进一步进行",
      "   选择是否清除参数，若清除成功，再", "   次点击参数读取，过10秒左右显示无", "   参数", "",
      "3、设置工程步数(可以设置1-50步)", "   若不清楚工程多少步，可以先进行预", "   设，等你在工程中实际设定了多少步",
      "   再回到该界面进行更改", "", "4、工程整体保存，该操作在设置完每步", "   具体参数后，回到该界面进行工程整",
      "   体保存并进行参数读取，则过10秒左", "   右显示有参数", "", "5、设定完所有工程参数后，必须进入本",
      "   界面进行保存", "", "6、工程参数清零检查：在工程步数为零", "   的情况下，按“读取该工程”按键",
      "   等待3秒，右上角显示0说明该工程", "   参数全部为零，显示有数字说明工", "   程里有不为零的参数。", "",
      "注意：当点击的按钮出现20秒没有恢复", "      本色，请再点击一次。", "      若出现设置好参数后没有保存到",
      "      请再设置一次，并进行保存", ""};
  auto* list = s->control<QListWidget>("List1");
  QStringList lines;
  for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
  EXPECT_EQ(lines, help);
}

TEST(ProjectParameters, ReadCycleShowsTheProjectItsStepCountAndItsParameterState) {
  ScreenEnv env;
  env.model.writeRegister(reg::CurrentProject, 4);
  env.model.writeRegister(reg::StepCount, 17);
  env.model.writeRegister(reg::HasParameters, 1);
  env.model.writeRegister(reg::ParameterCheck, 321);
  openProjectScreen(env);
  env.ticks(4);
  EXPECT_EQ(env.takeSent(), (QList<QByteArray>{"010310250001", "0103109F0001", "010310260001", "010310C70001"}));
  for (const auto& [field, text] : {std::pair{"PRtxt", "4"}, {"PR1txt", "4"}, {"PR2txt", "4"}, {"DQtxt", "有参数"},
                                    {"BStxt", "17"}, {"CStxt", "321"}})
    EXPECT_EQ(env.text(field), text) << field;
  // A flag the screen has no text for shows nothing.
  env.model.writeRegister(reg::HasParameters, 2);
  env.ticks(4);
  EXPECT_EQ(env.text("DQtxt"), "");
}

TEST(ProjectParameters, ProjectNumberAndStepCountAreCheckedAndWritten) {
  struct Case {
    const char* field;
    const char* button;
    const char* typed;
    QByteArray written;  // empty: refused
    QString message;
  };
  const QString projectRange = QStringLiteral("输入的信号范围不在1-10内");
  const QString stepRange = QStringLiteral("输入的信号范围不在0-50内");
  const Case cases[] = {
      {"PRtxt", "SUcmd", "0", {}, projectRange},
      {"PRtxt", "SUcmd", "1", "011010250001020001", {}},
      {"PRtxt", "SUcmd", "10", "01101025000102000A", {}},
      {"PRtxt", "SUcmd", "11", {}, projectRange},
      {"PRtxt", "SUcmd", "abc", {}, projectRange},
      {"BStxt", "SAcmd", "0", "011010260001020000", {}},
      {"BStxt", "SAcmd", "50", "011010260001020032", {}},
      {"BStxt", "SAcmd", "51", {}, stepRange},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " " + c.typed);
    ScreenEnv env;
    env.model.writeRegister(reg::CurrentProject, 3);
    openProjectScreen(env);
    env.ticks(4);
    EXPECT_EQ(env.typeAndClick({{c.field, c.typed}}, c.button, 3),
              c.written.isEmpty() ? ScreenEnv::refused(c.message) : ScreenEnv::wrote({c.written}));
    if (c.written.isEmpty()) {
      EXPECT_EQ(env.text(c.field), c.typed) << "the typed text stays";
    }
  }
}

// The clear names the project the controller reported; it is refused before that is known and
// while a project change is on its way, and Cancel sends nothing.
TEST(ProjectParameters, ClearAsksAboutTheProjectReadAndThenReadsTheParametersAgain) {
  ScreenEnv env;
  env.model.writeRegister(reg::CurrentProject, 3);
  openProjectScreen(env);
  env.click("QLcmd");
  EXPECT_EQ(env.boxes, QStringList{kProjectUnread});
  env.click("Command1");
  EXPECT_EQ(env.boxes, (QStringList{kProjectUnread, kProjectUnread})) << "save alike";
  env.boxes.clear();
  env.boxTitles.clear();
  env.ticks(4);

  env.answers = {QMessageBox::Cancel};
  env.click("QLcmd");
  EXPECT_EQ(env.boxes, QStringList{"是否删除3号工程的基本参数？"});
  EXPECT_EQ(env.boxTitles, QStringList{" 删除数据提醒"});
  env.ticks(8);
  EXPECT_TRUE(env.takeWrites().isEmpty()) << "Cancel sends nothing";
  EXPECT_FALSE(env.isRed("QLcmd"));

  // A project change not yet acknowledged: the clear and the save would act on either project.
  env.boxes.clear();
  env.type("PRtxt", "4");
  env.click("SUcmd");
  env.click("QLcmd");
  env.click("Command1");
  EXPECT_EQ(env.boxes, (QStringList{kProjectPending, kProjectPending}));
  ASSERT_TRUE(env.tickUntil([&] { return !env.isRed("SUcmd"); }, 10));
  EXPECT_EQ(env.takeWrites(), QList<QByteArray>{"011010250001020004"});

  // Project 4 holds a kept step, and the controller has reported it; once its number is read
  // back, the clear names it.
  env.model.writeRegister(reg::StepStartDelay, 500);
  env.model.writeCoil(coil::SaveProject, true);
  env.model.writeCoil(coil::ReadProject, true);
  env.model.writeCoil(coil::ReadProject, false);
  env.model.advance(env.model.timing().saveMs + env.model.timing().readMs);
  ASSERT_TRUE(env.tickUntil([&] { return env.text("PRtxt") == "4" && env.text("DQtxt") == "有参数"; }, 10));
  env.boxes.clear();
  env.boxTitles.clear();
  env.click("QLcmd");
  EXPECT_EQ(env.boxes, QStringList{"是否删除4号工程的基本参数？"});
  EXPECT_TRUE(env.isRed("QLcmd"));
  ASSERT_TRUE(env.tickUntil([&] { return env.boxes.size() == 2; }, 10));
  EXPECT_EQ(env.boxes.last(), "数据清0成功！");
  EXPECT_FALSE(env.isRed("QLcmd"));
  // The parameters are read again by themselves: DQcmd red until its OFF and its wait are done.
  EXPECT_TRUE(env.isRed("DQcmd"));
  ASSERT_TRUE(env.tickUntil([&] { return !env.isRed("DQcmd"); }, 80));
  QList<QByteArray> writes = env.takeWrites();
  EXPECT_EQ(writes, (QList<QByteArray>{"01050809FF00", kReadOn, kReadOff}));
  EXPECT_EQ(env.model.stepRegister(4, 1, reg::StepStartDelay), 0);
  ASSERT_TRUE(env.tickUntil([&] { return env.text("DQtxt") == "无参数" && env.text("CStxt") == "0"; }, 40));
  EXPECT_FALSE(env.model.coil(coil::ReadProject));
}

// Read parameters on a line that loses 30 % of the replies: the coil goes ON, then OFF, as timed
// steps; nothing else is sent during the waits, a click meanwhile waits its turn, and the
// button is red until the whole sequence is acknowledged.
TEST(ProjectParameters, ReadParametersEndsWithTheCoilOffOnALossyLine) {
  for (quint64 seed : {1u, 2u, 3u, 4u, 5u}) {
    SCOPED_TRACE(seed);
    ScreenEnv env;
    env.onOpen = [seed](test::SimPort& p) {
      p.setSeed(seed);
      p.setDropFraction(0.3);
    };
    openProjectScreen(env);
    ASSERT_TRUE(env.tickUntil([&] { return env.text("PRtxt") == "1"; }, 40));
    QList<sim::CoilWrite> seen;
    env.model.clearCounters();
    env.click("DQcmd");
    ASSERT_TRUE(env.tickUntil([&] { return env.model.coil(coil::ReadProject); }, 40));
    const std::int64_t onAt = env.now;
    env.click("Command1");  // during the first wait: kept for later
    ASSERT_TRUE(env.tickUntil([&] { return !env.isRed("DQcmd"); }, 400));
    EXPECT_GE(env.now - onAt, 4000 - 200) << "two seconds ON, two after the OFF";
    EXPECT_FALSE(env.model.coil(coil::ReadProject));
    for (const sim::CoilWrite& w : env.model.coilWrites())
      if (w.coil == coil::ReadProject) seen << w;
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_FALSE(seen.last().on);
    ASSERT_TRUE(env.tickUntil([&] { return !env.isRed("Command1"); }, 200)) << "the save clicked meanwhile is not lost";
    const QList<sim::CoilWrite> all = env.model.coilWrites();
    qsizetype lastOff = -1, firstSave = -1;
    for (qsizetype i = 0; i < all.size(); ++i) {
      if (all[i] == sim::CoilWrite{coil::ReadProject, false}) lastOff = i;
      if (all[i] == sim::CoilWrite{coil::SaveProject, true} && firstSave < 0) firstSave = i;
    }
    EXPECT_LT(lastOff, firstSave) << "the save goes out after the read sequence";
    EXPECT_TRUE(env.boxes.isEmpty()) << env.boxes.join(", ").toStdString();
  }
}

// Leaving during the first wait sends the OFF on the way out; a controller that no longer answers
// gets it tried and the operator is told, in the words of this command. Closing the window (the
// program ends) goes the same way.
TEST(ProjectParameters, LeavingDuringTheReadSwitchesTheCoilOffOrSaysItCouldNot) {
  struct Case {
    const char* what;
    bool silent;
    bool closeWindow;
  };
  for (const Case c : {Case{"back to the main screen", false, false}, Case{"controller silent", true, false},
                       Case{"window closed, controller silent", true, true}}) {
    SCOPED_TRACE(c.what);
    ScreenEnv env;
    openProjectScreen(env);
    env.ticks(4);
    env.click("DQcmd");
    ASSERT_TRUE(env.tickUntil([&] { return env.model.coil(coil::ReadProject); }, 10));
    env.ticks(3);
    if (c.silent) env.port()->setSilent(true);
    QList<QByteArray> sent;
    QObject::connect(env.port(), &test::SimPort::requestSeen, [&](const QByteArray& f) { sent << f.mid(1, f.size() - 5); });
    if (c.closeWindow) {
      env.map().current()->close();
      ASSERT_TRUE(ScreenEnv::until([&] { return env.map().loadedForms().isEmpty() && !env.boxes.isEmpty(); }));
    } else {
      env.click("SYcmd");
      EXPECT_EQ(env.map().current()->objectName(), "Mainfrm1");
    }
    ASSERT_FALSE(sent.isEmpty());
    EXPECT_EQ(sent.first(), kReadOff) << "the OFF first, not after the wait";
    EXPECT_EQ(env.model.coil(coil::ReadProject), c.silent);
    EXPECT_EQ(env.boxes, c.silent ? QStringList{kReadNotReset} : QStringList{}) << "never the axis warning";
  }
}

// The demonstration a new operator goes through: project 2, 12 steps, step 5 a line, the project
// kept; after a restart of the controller it is all there again.
TEST(ProjectParameters, AProjectSetUpAndKeptIsThereAfterARestart) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString state = dir.filePath("state.json");
  ScreenEnv env;
  env.model.setStateFile(state);
  openProjectScreen(env);
  env.ticks(4);
  env.type("PRtxt", "2");
  env.click("SUcmd");
  ASSERT_TRUE(env.tickUntil([&] { return env.text("PR2txt") == "2"; }, 20));
  env.type("BStxt", "12");
  env.click("SAcmd");
  ASSERT_TRUE(env.tickUntil([&] { return !env.isRed("SAcmd"); }, 20));
  env.click("XYcmd");
  ASSERT_EQ(env.map().current()->objectName(), "Mainfrm13");
  ASSERT_TRUE(env.tickUntil([&] { return env.text("BUtxt") == "1"; }, 20));
  for (int i = 0; i < 4; ++i) {
    env.click("XBcmd");
    ASSERT_TRUE(env.tickUntil([&] { return !env.isRed("XBcmd"); }, 20));
  }
  env.click("ZXcmd");
  ASSERT_TRUE(env.tickUntil([&] { return env.map().current()->findChild<QLabel*>("Label8")->text() == "开启XY轴画直线"; }, 30));
  EXPECT_EQ(env.text("BUtxt"), "5");
  EXPECT_EQ(env.map().current()->findChild<QLabel*>("GClel")->text(), "2");
  env.click("SY6cmd");
  ASSERT_EQ(env.map().current()->objectName(), "Mainfrm12");
  ASSERT_TRUE(env.tickUntil([&] { return env.text("PRtxt") == "2"; }, 20));
  env.click("Command1");
  ASSERT_TRUE(env.tickUntil([&] { return !env.isRed("Command1"); }, 20));
  env.click("DQcmd");
  ASSERT_TRUE(env.tickUntil([&] { return env.text("DQtxt") == "有参数"; }, 200));
  EXPECT_TRUE(env.boxes.isEmpty()) << env.boxes.join(", ").toStdString();

  sim::ControllerModel restarted;
  ASSERT_TRUE(restarted.load(state));
  EXPECT_EQ(restarted.currentProject(), 2);
  EXPECT_EQ(restarted.stepRegister(2, 1, reg::StepCount), 12);
  EXPECT_EQ(restarted.stepRegister(2, 5, reg::LineFlag), 1);
  EXPECT_EQ(restarted.stepRegister(2, 5, reg::NormalMode), 1);
  EXPECT_EQ(restarted.stepRegister(2, 4, reg::LineFlag), 0);
}

}  // namespace
