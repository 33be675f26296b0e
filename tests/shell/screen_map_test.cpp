// Changing screens: where each button leads, the port never held twice, the diagram kept behind.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

#include "frames/registers.h"
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

// Every route of the map, from every screen, as one table: the button leads where it should, the
// port is never open twice, the screen left is unloaded (only the diagram's "返回" keeps it), and
// the table names every route the program has. A step entry of the hub leads on once its function
// is switched on; the C and Z/A pages' "上一页" follows the chain entered and does nothing
// outside one.
TEST(ScreenMap, EveryRouteFromEveryScreen) {
  struct Hop {
    const char* from;
    const char* button;
    const char* to;
    int entry = 0;               // the chain entered (the C and Z/A pages' back buttons)
    std::uint16_t choose = 0;    // the hub: the function switched on first
    const char* label = nullptr;  // ... and the hub's label that shows it on
    const char* on = nullptr;
  };
  const Hop hops[] = {
      {"Mainfrm1", "Refcmd", "Mainfrm3"}, {"Mainfrm1", "Tstcmd", "Mainfrm4"}, {"Mainfrm1", "Xkcmd", "Mainfrm2"},
      {"Mainfrm1", "Efcmd", "Mainfrm12"}, {"Mainfrm1", "WZcmd", "Mainfrm24"}, {"Mainfrm2", "Bacmd", "Mainfrm1"},
      {"Mainfrm3", "Xcmd", "Mainfrm5"}, {"Mainfrm3", "Ycmd", "Mainfrm5"}, {"Mainfrm3", "Zcmd", "Mainfrm5"},
      {"Mainfrm3", "Ccmd", "Mainfrm5"}, {"Mainfrm3", "Acmd", "Mainfrm5"}, {"Mainfrm3", "BAcmd", "Mainfrm1"},
      {"Mainfrm4", "Xcmd", "Mainfrm6"}, {"Mainfrm4", "Ycmd", "Mainfrm7"}, {"Mainfrm4", "Acmd", "mainfrm8"},
      {"Mainfrm4", "Sdcmd", "Mainfrm11"}, {"Mainfrm4", "inputcmd", "Mainfrm9"}, {"Mainfrm4", "outputcmd", "Mainfrm10"},
      {"Mainfrm4", "BAcmd", "Mainfrm1"}, {"Mainfrm5", "EXtxt", "Mainfrm3"},
      {"Mainfrm6", "BCcmd", "Mainfrm4"}, {"Mainfrm6", "SY3cmd", "Mainfrm5"}, {"Mainfrm6", "XY1cmd", "Mainfrm7"},
      {"Mainfrm7", "BC1cmd", "Mainfrm4"}, {"Mainfrm7", "SY4cmd", "Mainfrm6"}, {"Mainfrm7", "XY2cmd", "mainfrm8"},
      {"mainfrm8", "BC2cmd", "Mainfrm4"}, {"mainfrm8", "SY5cmd", "Mainfrm7"}, {"mainfrm8", "XY3cmd", "Mainfrm11"},
      {"Mainfrm9", "BAcmd", "Mainfrm4"}, {"Mainfrm10", "BAcmd", "Mainfrm4"},
      {"Mainfrm11", "BA3cmd", "Mainfrm4"}, {"Mainfrm11", "SY5cmd", "mainfrm8"},
      {"Mainfrm12", "SYcmd", "Mainfrm1"}, {"Mainfrm12", "XYcmd", "Mainfrm13"},
      {"Mainfrm13", "SY6cmd", "Mainfrm12"}, {"Mainfrm13", "BC5cmd", "Mainfrm1"},
      {"Mainfrm13", "JScmd", "Mainfrm16", 0, coil::ChooseTeach, "Label6", "开启示教功能"},
      {"Mainfrm13", "JYcmd", "Mainfrm14", 0, coil::ChooseArc, "Label7", "开启XYC轴画圆弧"},
      {"Mainfrm13", "JZcmd", "Mainfrm15", 0, coil::ChooseLine, "Label8", "开启XY轴画直线"},
      {"Mainfrm13", "JPcmd", "Mainfrm17", 0, coil::ChooseNormal, "Label9", "开启XYZCA轴普通功能"},
      {"Mainfrm14", "SY15cmd", "Mainfrm13"}, {"Mainfrm14", "FZcmd", "Mainfrm20"},
      {"Mainfrm15", "SY16cmd", "Mainfrm13"}, {"Mainfrm15", "FZcmd", "Mainfrm19"},
      {"Mainfrm16", "SY10cmd", "Mainfrm13"}, {"Mainfrm16", "FZ3cmd", "Mainfrm1"}, {"Mainfrm16", "FG3cmd", "Mainfrm13"},
      {"Mainfrm17", "SY17cmd", "Mainfrm13"}, {"Mainfrm17", "XY17cmd", "Mainfrm18"},
      {"Mainfrm18", "SY18cmd", "Mainfrm17"}, {"Mainfrm18", "XY18cmd", "Mainfrm19"},
      {"Mainfrm19", "SY19cmd", "Mainfrm15", 2}, {"Mainfrm19", "SY19cmd", "Mainfrm18", 3},
      {"Mainfrm19", "SY19cmd", "Mainfrm19", 1}, {"Mainfrm19", "SY19cmd", "Mainfrm19", 0},
      {"Mainfrm19", "XY19cmd", "Mainfrm20"},
      {"Mainfrm20", "SY20cmd", "Mainfrm14", 1}, {"Mainfrm20", "SY20cmd", "Mainfrm19", 2},
      {"Mainfrm20", "SY20cmd", "Mainfrm19", 3}, {"Mainfrm20", "SY20cmd", "Mainfrm20", 0},
      {"Mainfrm20", "XY20cmd", "Mainfrm21"},
      {"Mainfrm21", "SYcmd", "Mainfrm20"}, {"Mainfrm21", "XYcmd", "Mainfrm22"},
      {"Mainfrm22", "SYcmd", "Mainfrm21"}, {"Mainfrm22", "XYcmd", "Mainfrm23"},
      {"Mainfrm23", "SYcmd", "Mainfrm22"}, {"Mainfrm23", "BCcmd", "Mainfrm13"},
      {"Mainfrm24", "BAcmd", "Mainfrm1"}, {"Mainfrm24", "EXcmd", "Mainfrm1"},
  };
  const auto inTable = [&](const QString& from, const QString& button) {
    for (const Hop& h : hops)
      if (from == h.from && button == h.button) return true;
    return false;
  };
  {
    ScreenEnv env;
    for (const shell::Route& r : env.map().routes())
      EXPECT_TRUE(inTable(r.from, r.button)) << "not in the table: " << r.from.toStdString() << " " << r.button.toStdString();
  }
  for (const Hop& h : hops) {
    const std::string hop = std::string(h.from) + " " + h.button;
    SCOPED_TRACE(hop);
    ScreenEnv env;
    // The teach page is built by its own work; until it is registered its routes cannot be taken.
    if (!env.map().screenNames().contains(h.from) || !env.map().screenNames().contains(h.to)) {
      EXPECT_STREQ(h.from == std::string("Mainfrm16") ? h.from : h.to, "Mainfrm16") << "unregistered screen";
      continue;
    }
    env.start();
    env.click("Okcmd");
    ui::session().entryFunction = h.entry;
    if (QString(h.from) != "Mainfrm1")
      env.map().go(env.map().current(), shell::Route{.from = "Mainfrm1", .button = "Okcmd", .to = h.from});
    ASSERT_EQ(current(env), h.from);
    if (env.currentScreen()) env.drive(env.currentScreen());
    if (h.choose) {
      env.model.writeCoil(h.choose, true);
      ASSERT_TRUE(env.tickUntil([&] { return env.map().current()->findChild<QLabel*>(h.label)->text() == h.on; }));
    }
    env.click(h.button);
    EXPECT_EQ(current(env), h.to);
    EXPECT_LE(env.openAtOnce, 1) << "the port is never open twice";
    const bool keepsDiagram = QString(h.from) == "Mainfrm24" && QString(h.button) == "BAcmd";
    EXPECT_EQ(env.map().loadedForms().size(), keepsDiagram ? 2 : 1);
    if (auto* s = env.currentScreen(); s && QString(h.to) != "Mainfrm1") {
      EXPECT_TRUE(s->portOpen()) << "the screen shown has its port";
    }
    EXPECT_TRUE(env.boxes.isEmpty()) << env.boxes.join(' ').toStdString();
    ui::session().entryFunction = 0;
  }
}

}  // namespace
