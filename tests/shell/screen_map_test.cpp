// Changing screens: where each button leads, the port never held twice, the diagram kept behind.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

#include "screen_env.h"
#include "ui/controls.h"
#include "ui/session.h"

using namespace lorvane;
using lorvane::test::ScreenEnv;

namespace {

QString current(ScreenEnv& env) { return env.map().current() ? env.map().current()->objectName() : QString(); }

TEST(ScreenMap, ButtonsLeadWhereTheMapSays) {
  struct Walk { QList<const char*> clicks; const char* arrive; };
  const Walk walks[] = {
      {{"Refcmd"}, "Mainfrm3"},
      {{"Refcmd", "BAcmd"}, "Mainfrm1"},
      {{"Tstcmd"}, "Mainfrm4"},
      {{"Tstcmd", "BAcmd"}, "Mainfrm1"},
      {{"WZcmd"}, "Mainfrm24"},
      {{"Xkcmd"}, "Mainfrm2"},
      {{"Xkcmd", "Bacmd"}, "Mainfrm1"},
      {{"Efcmd"}, "Mainfrm12"},
      {{"Efcmd", "SYcmd"}, "Mainfrm1"},
      {{"Efcmd", "XYcmd"}, "Mainfrm13"},
      {{"Efcmd", "XYcmd", "SY6cmd"}, "Mainfrm12"},
      {{"Efcmd", "XYcmd", "BC5cmd"}, "Mainfrm1"},
      {{"Refcmd", "Zcmd"}, "Mainfrm5"},
      {{"Refcmd", "Acmd", "EXtxt"}, "Mainfrm3"},
      {{"Tstcmd", "Xcmd", "XY1cmd", "XY2cmd", "XY3cmd"}, "Mainfrm11"},
      {{"Tstcmd", "Sdcmd", "SY5cmd", "SY5cmd", "SY4cmd", "SY3cmd"}, "Mainfrm5"},
      {{"Tstcmd", "Ycmd", "BC1cmd"}, "Mainfrm4"},
      {{"Tstcmd", "Acmd", "BC2cmd", "inputcmd", "BAcmd", "outputcmd", "BAcmd", "Sdcmd", "BA3cmd"}, "Mainfrm4"},
      {{"Tstcmd", "Xcmd", "BCcmd", "BAcmd"}, "Mainfrm1"},
  };
  for (const Walk& w : walks) {
    ScreenEnv env;
    env.start();
    env.click("Okcmd");
    for (const char* b : w.clicks) env.click(b);
    EXPECT_EQ(current(env), w.arrive) << w.clicks.last();
    EXPECT_EQ(env.openAtOnce, 1);
    EXPECT_EQ(env.map().loadedForms().size(), 1) << "the screen left is unloaded";
    EXPECT_TRUE(env.boxes.isEmpty()) << w.clicks.last();
  }
  // The axis menu names the axis through the title; from the debugging page the title stays empty.
  ScreenEnv env;
  env.start();
  env.click("Okcmd");
  env.click("Refcmd");
  env.click("Ccmd");
  EXPECT_EQ(env.map().current()->control<QLabel>("Szlel")->text(), "C轴参数设定");
  env.click("EXtxt");
  env.click("BAcmd");
  env.click("Tstcmd");
  env.click("Xcmd");
  env.click("SY3cmd");
  EXPECT_EQ(env.map().current()->control<QLabel>("Szlel")->text(), "");
}

TEST(ScreenMap, BackOnTheMainScreenThePortIsOpenAgainWithoutAsking) {
  ScreenEnv env;
  env.start();
  env.click("Okcmd");
  env.click("Tstcmd");
  EXPECT_EQ(env.port(), nullptr) << "the menus hold no port";
  env.click("BAcmd");
  ASSERT_EQ(current(env), "Mainfrm1");
  EXPECT_EQ(env.opens, 2);
  EXPECT_FALSE(ui::session().portReopen);
  env.model.writeRegister(0x10DE, 77);
  env.ticks(2);
  EXPECT_EQ(env.map().current()->control<QLineEdit>("LCtxt")->text(), "77");
  EXPECT_TRUE(env.map().current()->control<QPushButton>("Xkcmd")->isEnabled());
}

TEST(ScreenMap, WiringDiagramStaysLoadedBehindTheMainScreen) {
  ScreenEnv env;
  env.start();
  env.click("WZcmd");  // before any port was opened
  ASSERT_EQ(current(env), "Mainfrm24");
  EXPECT_EQ(env.map().current()->windowTitle(), "Lorvane接线图");
  env.click("BAcmd");
  EXPECT_EQ(current(env), "Mainfrm1");
  EXPECT_NE(env.map().loaded("Mainfrm24"), nullptr);
  EXPECT_TRUE(env.boxes.isEmpty()) << "no port was ever opened: no error on the way back";
  EXPECT_EQ(env.opens, 0);
  EXPECT_FALSE(env.map().current()->control<QPushButton>("Refcmd")->isEnabled());

  // With a port open, the diagram's way back reopens it; a second "返回" only brings the main
  // screen forward again.
  env.click("Okcmd");
  env.click("WZcmd");
  ASSERT_EQ(current(env), "Mainfrm24");
  auto* diagram = env.map().current();
  diagram->findChild<QPushButton*>("BAcmd")->click();
  EXPECT_EQ(current(env), "Mainfrm1");
  diagram->findChild<QPushButton*>("BAcmd")->click();
  EXPECT_EQ(current(env), "Mainfrm1");
  EXPECT_EQ(env.openAtOnce, 1);

  // Another screen current: the diagram's buttons only close the diagram.
  env.click("Tstcmd");
  diagram->findChild<QPushButton*>("EXcmd")->click();
  QCoreApplication::processEvents();
  EXPECT_EQ(current(env), "Mainfrm4");
  EXPECT_EQ(env.map().loaded("Mainfrm24"), nullptr);
  EXPECT_EQ(env.map().loaded("Mainfrm1"), nullptr);
}

TEST(ScreenMap, LostPortGivesAMessageAndTheMainScreenWithThePortClosed) {
  ScreenEnv env;
  env.start();
  env.click("Okcmd");
  env.ticks(2);
  env.port()->unplug();
  ASSERT_TRUE(ScreenEnv::until([&] { return !env.boxes.isEmpty(); }));
  EXPECT_EQ(env.boxes, QStringList{"串口通讯中断，请检查串口连接"});
  ScreenEnv::until([&] { return current(env) == "Mainfrm1"; });
  EXPECT_FALSE(env.map().current()->control<QPushButton>("Refcmd")->isEnabled());
  EXPECT_EQ(env.port(), nullptr);
}

}  // namespace

namespace {

TEST(ScreenMap, ScreenThatCannotOpenThePortReturnsToTheMainScreenPortClosed) {
  ScreenEnv env;
  env.start();
  env.click("Okcmd");
  env.refuseOpen = true;  // another program took the port meanwhile
  env.click("Xkcmd");
  EXPECT_EQ(env.boxes, QStringList{"串口1打开失败，请检查串口后在主界面重新打开"});
  ASSERT_EQ(current(env), "Mainfrm1");
  EXPECT_FALSE(env.map().current()->control<QPushButton>("Xkcmd")->isEnabled());
  EXPECT_EQ(env.map().loadedForms().size(), 1);
  env.refuseOpen = false;
  env.click("Okcmd");  // the operator opens it again by hand
  EXPECT_TRUE(env.map().current()->control<QPushButton>("Xkcmd")->isEnabled());
}

}  // namespace

namespace {

// A screen whose exchange table names a control it does not have.
class Misspelt : public ui::Screen {
 public:
  Misspelt()
      : Screen("Mainfrm12", ScreenDecl{.reads = {Read{.reg = 0x1025, .field = "PRtxtt"}}}) {
    ui::build(*this, {ui::entry("PRtxt", "0", "", 0), ui::button("SYcmd", "返回主界面", ui::Green, "", 1)});
    bindControls();
  }
};

TEST(ScreenMap, EveryScreenAndRouteNamesOnlyWhatExists) {
  shell::ScreenMap map;
  shell::addStandardScreens(map);
  EXPECT_EQ(map.check(), QStringList{});

  map.addScreen("Mainfrm12", [] { return new Misspelt; });
  map.addRoute({"Mainfrm13", "SY6cmd", "Mainfrm121"});
  const QStringList problems = map.check();
  EXPECT_TRUE(problems.contains("Mainfrm12: no control PRtxtt")) << problems.join('\n').toStdString();
  EXPECT_TRUE(problems.contains("Mainfrm12: no button XYcmd for its route")) << problems.join('\n').toStdString();
  EXPECT_TRUE(problems.contains("route Mainfrm13/SY6cmd to unknown form Mainfrm121")) << problems.join('\n').toStdString();
}

// Stand-in pages: a button whose label decides whether it leads anywhere, and a back button whose
// target comes from the chain entered.
class Page : public ui::Form {
 public:
  explicit Page(const QString& name) : Form(name) {
    ui::build(*this, {ui::label("Label7", "", "", 0), ui::button("JYcmd", "进入圆弧", ui::Yellow, "", 1),
                      ui::button("SY20cmd", "上一页", ui::Yellow, "", 1)});
  }
};

TEST(ScreenMap, GuardedAndComputedRoutes) {
  shell::ScreenMap map;  // stand-in pages only: no port, no controller
  for (const char* name : {"Mainfrm1", "Mainfrm13", "Mainfrm14", "Mainfrm19", "Mainfrm20"})
    map.addScreen(name, [n = QString(name)] { return new Page(n); });
  map.addRoute({.from = "Mainfrm1", .button = "JYcmd", .to = "Mainfrm13"});
  map.addRoute({.from = "Mainfrm13", .button = "JYcmd", .to = "Mainfrm20",
                .guard = [](ui::Form* f) { return f->control<QLabel>("Label7")->text() == "开启XYC轴画圆弧"; }});
  map.addRoute({.from = "Mainfrm20", .button = "SY20cmd", .target = [] {
                  return ui::session().entryFunction == 1 ? QString("Mainfrm14")
                         : ui::session().entryFunction == 2 ? QString("Mainfrm19") : QString();
                }});
  const auto current = [&] { return map.current()->objectName(); };
  const auto click = [&](const char* button) { map.current()->findChild<QPushButton*>(button)->click(); };
  map.start();
  click("JYcmd");
  ASSERT_EQ(current(), "Mainfrm13");
  click("JYcmd");
  EXPECT_EQ(current(), "Mainfrm13") << "the label is not on: the button leads nowhere";
  map.current()->control<QLabel>("Label7")->setText("开启XYC轴画圆弧");
  click("JYcmd");
  ASSERT_EQ(current(), "Mainfrm20");
  struct Case { int entry; const char* arrive; };
  for (const Case& c : {Case{0, "Mainfrm20"}, Case{2, "Mainfrm19"}}) {
    ui::session().entryFunction = c.entry;
    click("SY20cmd");
    EXPECT_EQ(current(), c.arrive) << c.entry;
  }
  ui::session().entryFunction = 0;
  EXPECT_EQ(map.loadedForms().size(), 1);
}

}  // namespace
