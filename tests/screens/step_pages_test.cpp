// The arc, line and normal step pages against the simulated controller: what a download writes
// and where it lands in the controller, the refusals before anything is sent, the chains of
// pages, and the Z/A page's choice of axis.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSvgRenderer>
#include <QSvgWidget>
#include <QTemporaryDir>
#include <QTest>

#include "frames/frames.h"
#include "link/link.h"
#include "frames/registers.h"
#include "screen_env.h"
#include "screens/project/axis_steps.h"
#include "ui/session.h"
#include "ui/widgets.h"

using namespace lorvane;
using lorvane::test::ScreenEnv;
using lorvane::test::SimPort;

namespace {

constexpr int kProject = 1;
constexpr int kStep = 3;  // the step the pages work on; step 2 is the neighbour that must stay as it is

// The main screen with the port open, then straight to a step page as if its chain had been
// entered (`entry`: 1 arc, 2 line, 3 normal).
ui::Screen* openPage(ScreenEnv& env, const QString& form, int entry) {
  ui::session().entryFunction = entry;
  return env.openDirect(form);
}

// ---- What each page shows ---------------------------------------------------------------------

// The X, Y, C and Z/A pages are one design: their help names their own axis, and the C page's
// help ends with eight spaces where the others have six. The arc and line pages carry their
// example drawing.
TEST(StepPageControls, EachPageCarriesItsHelpAndDrawing) {
  struct Page {
    const char* form;
    qsizetype helpLines;
    QString help2;
    QString lastHelpLine;
    bool picture;
  };
  const Page pages[] = {
      {"Mainfrm17", 35, "1  在该界面可以设定x轴功能的启动", "      ", false},
      {"Mainfrm18", 35, "1  在该界面可以设定y轴功能的启动", "      ", false},
      {"Mainfrm19", 35, "1  在该界面可以设定c轴功能的启动", "        ", false},
      {"Mainfrm20", 35, "1  在该界面可以设定z轴功能的启动", "      ", false},
      {"Mainfrm15", 20, "1  在该界面可以设定直线功能的启动条件(信号值在", "", true},
      {"Mainfrm14", 26, "1  在该界面可以设定圆弧功能的启动条件(信号值在", "", true},
  };
  ScreenEnv env;
  for (const Page& p : pages) {
    std::unique_ptr<ui::Form> form(env.map().build(p.form));
    ASSERT_TRUE(form) << p.form;
    auto* list = form->findChild<QListWidget*>("List1");
    ASSERT_TRUE(list) << p.form;
    ASSERT_EQ(list->count(), p.helpLines) << p.form;
    EXPECT_EQ(list->item(1)->text(), p.help2) << p.form;
    EXPECT_EQ(list->item(list->count() - 1)->text(), p.lastHelpLine) << p.form;
    auto* picture = form->findChild<QSvgWidget*>("Picture1");
    EXPECT_EQ(picture != nullptr, p.picture) << p.form;
    if (picture) {
      EXPECT_TRUE(picture->renderer()->isValid()) << p.form << ": the drawing is there";
    }
  }
}

// ---- Downloads: every page family writes its registers in its order, in the current step ----

struct Written {
  const char* field;
  const char* typed;
  std::uint16_t reg;
  const char* digits;  // as sent: four hex digits, or eight (low word first) for a pair
};

struct Family {
  const char* name;
  const char* form;
  int entry;
  const char* download;
  QList<Written> writes;  // in the order they must go out
};

QList<Written> axisWrites(reg::Axis a) {
  return {{"SRtxt", "13", reg::NormalStartInput[a], "000D"}, {"XZtxt", "1", reg::NormalStartStop[a], "0001"},
          {"XDtxt", "2", reg::NormalRunMode[a], "0002"},     {"XJtxt", "1", reg::NormalDirection[a], "0001"},
          {"ZBtxt", "1", reg::NormalAbsolute[a], "0001"},    {"SDtxt", "300", reg::NormalSpeed[a], "012C"},
          {"XYtxt", "-1.5", reg::NormalDistance[a], "FF6AFFFF"}};
}

const Family kFamilies[] = {
    {"X", "Mainfrm17", 3, "SScmd", axisWrites(reg::X)},
    {"Y", "Mainfrm18", 3, "SScmd", axisWrites(reg::Y)},
    {"C", "Mainfrm19", 3, "SScmd", axisWrites(reg::C)},
    // The distance before the speed, the replacement flag last.
    {"ZA", "Mainfrm20", 3, "SS20cmd",
     {{"SRtxt", "0", 0x1048, "0000"}, {"XZtxt", "1", 0x1049, "0001"}, {"XDtxt", "3", 0x1030, "0003"},
      {"XJtxt", "1", 0x1031, "0001"}, {"ZBtxt", "1", 0x109E, "0001"}, {"XYtxt", "20", 0x1032, "07D00000"},
      {"SDtxt", "65535", 0x1041, "FFFF"}, {"SHtxt", "0", 0x1055, "0000"}}},
    {"Line", "Mainfrm15", 2, "SScmd",
     {{"RLtxt", "0", 0x1046, "0000"}, {"ZXtxt", "1", 0x1047, "0001"}, {"ZGtxt", "20", 0x10F8, "07D00000"},
      {"DNtxt", "-20", 0x10FA, "F830FFFF"}, {"SDtxt", "300", 0x10BE, "012C"}}},
    {"Arc", "Mainfrm14", 1, "SAcmd",
     {{"RLtxt", "13", 0x1044, "000D"}, {"YHtxt", "1", 0x1045, "0001"}, {"YNtxt", "20", 0x10F0, "07D00000"},
      {"XNtxt", "0", 0x10F2, "00000000"}, {"ZGtxt", "20", 0x10F4, "07D00000"}, {"DNtxt", "-20", 0x10F6, "F830FFFF"},
      {"XYtxt", "1", 0x1023, "0001"}, {"SD6txt", "1000", 0x10B4, "03E8"}}},
};

void PrintTo(const Family& f, std::ostream* os) { *os << f.name << " page " << f.form; }

class StepPageDownload : public ::testing::TestWithParam<Family> {
 protected:
  void SetUp() override {
    env.model.writeRegister(reg::CurrentStep, kStep);
    ASSERT_NE(openPage(env, f.form, f.entry), nullptr);
    ASSERT_EQ(env.map().current()->objectName(), f.form);
  }
  // Every field the download writes has been read from the controller.
  bool allRead() {
    for (const Written& w : f.writes)
      if (!env.currentScreen()->exchange().lastRead(w.field)) return false;
    return true;
  }
  const Family f = GetParam();
  ScreenEnv env;
};

TEST_P(StepPageDownload, WritesEveryRegisterInOrderIntoTheCurrentStepOnly) {
  ASSERT_TRUE(env.tickUntil([&] { return allRead(); }));
  QList<std::pair<QString, QString>> typed;
  QList<QByteArray> expected;
  for (const Written& w : f.writes) {
    typed << std::pair<QString, QString>{w.field, w.typed};
    const QByteArray digits(w.digits);
    expected << (digits.size() == 8 ? writeLongBody(w.reg, digits) : writeWordBody(w.reg, digits));
  }
  EXPECT_EQ(env.typeAndClick(typed, f.download, 200, [&] { EXPECT_TRUE(env.isRed(f.download)); }),
            ScreenEnv::wrote(expected));

  for (const Written& w : f.writes) {
    const QByteArray digits(w.digits);
    const auto low = static_cast<std::uint16_t>(digits.left(4).toUInt(nullptr, 16));
    EXPECT_EQ(env.model.stepRegister(kProject, kStep, w.reg), low) << w.field;
    EXPECT_EQ(env.model.stepRegister(kProject, kStep - 1, w.reg), 0) << w.field << " reached step 2";
    if (digits.size() == 8) {
      const auto high = static_cast<std::uint16_t>(digits.mid(4).toUInt(nullptr, 16));
      EXPECT_EQ(env.model.stepRegister(kProject, kStep, w.reg + 1), high) << w.field;
      EXPECT_EQ(env.model.stepRegister(kProject, kStep - 1, w.reg + 1), 0) << w.field << " reached step 2";
    }
  }
  // The page reads back what it wrote, in the operator's terms.
  EXPECT_TRUE(env.tickUntil([&] { return env.shown(f.writes.last().field) == f.writes.last().typed; }, 40));
}

// A download is checked whole at the click: a field not yet read, text that is no number, or a
// coordinate beyond what the register pair holds refuses it with nothing sent.
TEST_P(StepPageDownload, RefusesBeforeSendingAnythingWhenAFieldCannotBeWritten) {
  env.click(f.download);  // nothing read yet
  EXPECT_EQ(env.boxes, QStringList{msg::unknown()});
  EXPECT_TRUE(env.takeWrites().isEmpty());

  ASSERT_TRUE(env.tickUntil([&] { return allRead(); }));
  for (const Written& w : f.writes) env.type(w.field, w.typed);  // all else as the controller takes it
  const Written* pairWrite = nullptr;
  for (const Written& w : f.writes)
    if (QByteArray(w.digits).size() == 8) pairWrite = &w;
  ASSERT_NE(pairWrite, nullptr);
  const char* pair = pairWrite->field;
  struct Bad { const char* text; QString message; };
  const Bad bads[] = {{"12abc", msg::notANumber()}, {"", msg::notANumber()},
                      {"21474836.48", msg::tooLarge("21474836.47")}, {"-21474836.49", msg::tooLarge("21474836.47")}};
  for (const Bad& bad : bads) {
    EXPECT_EQ(env.typeAndClick({{pair, bad.text}}, f.download, 3), ScreenEnv::refused(bad.message))
        << pair << " = " << bad.text;
    EXPECT_EQ(env.shown(pair), bad.text) << "the operator's text stays";
  }
  // The lowest value the pair holds is written.
  const ScreenEnv::Outcome lowest = env.typeAndClick({{pair, "-21474836.48"}}, f.download);
  ASSERT_FALSE(lowest.red);
  EXPECT_TRUE(lowest.boxes.isEmpty());
  EXPECT_TRUE(lowest.writes.contains(writeLongBody(pairWrite->reg, "00008000")));
  EXPECT_EQ(env.model.stepRegister(kProject, kStep, pairWrite->reg + 1), 0x8000);
}

INSTANTIATE_TEST_SUITE_P(Pages, StepPageDownload, ::testing::ValuesIn(kFamilies),
                         [](const ::testing::TestParamInfo<Family>& i) { return std::string(i.param.name); });

// ---- Ranges -----------------------------------------------------------------------------------

// The arc speed takes 50 to 1000; outside that the whole download is refused at the click.
TEST(ArcStep, SpeedFrom50To1000) {
  ScreenEnv env;
  openPage(env, "Mainfrm14", 1);
  ASSERT_TRUE(env.tickUntil([&] { return env.currentScreen()->exchange().lastRead("SD6txt").has_value(); }));
  struct Case { const char* speed; bool written; };
  for (const Case c : {Case{"49", false}, Case{"50", true}, Case{"1000", true}, Case{"1001", false}}) {
    const ScreenEnv::Outcome o = env.typeAndClick({{"SD6txt", c.speed}}, "SAcmd", 30);
    if (c.written) {
      EXPECT_TRUE(o.boxes.isEmpty()) << c.speed;
      EXPECT_EQ(o.writes.size(), 8) << c.speed;
      EXPECT_EQ(env.model.reg(reg::ArcSpeed), QByteArray(c.speed).toUInt()) << c.speed;
    } else {
      EXPECT_EQ(o, ScreenEnv::refused("输入的信号范围不在50-1000内")) << c.speed << ": no half-written page";
    }
  }
}

// ---- Chains -----------------------------------------------------------------------------------

// From the first page of each chain, "下一页" to its end and the previous-page buttons back to
// the hub; the C and Z/A pages go back by the chain entered, and nowhere for an unknown one.
TEST(StepChains, ForwardAndBackByTheChainEntered) {
  struct Move { const char* button; const char* then; };
  struct Chain { int entry; const char* first; QList<Move> moves; };
  const bool hasDirectOutputs = ScreenEnv().map().screenNames().contains("Mainfrm21");
  const char* afterZA = hasDirectOutputs ? "Mainfrm21" : "Mainfrm20";  // "下一页" stays until it exists
  const Chain chains[] = {
      {1, "Mainfrm14", {{"FZcmd", "Mainfrm20"}, {"SY20cmd", "Mainfrm14"}, {"SY15cmd", "Mainfrm13"}}},
      {2, "Mainfrm15",
       {{"FZcmd", "Mainfrm19"}, {"XY19cmd", "Mainfrm20"}, {"SY20cmd", "Mainfrm19"}, {"SY19cmd", "Mainfrm15"},
        {"SY16cmd", "Mainfrm13"}}},
      {3, "Mainfrm17",
       {{"XY17cmd", "Mainfrm18"}, {"XY18cmd", "Mainfrm19"}, {"XY19cmd", "Mainfrm20"}, {"SY20cmd", "Mainfrm19"},
        {"SY19cmd", "Mainfrm18"}, {"SY18cmd", "Mainfrm17"}, {"SY17cmd", "Mainfrm13"}}},
      // No chain entered: the C and Z/A pages' previous-page buttons stay put, port open.
      {0, "Mainfrm19", {{"SY19cmd", "Mainfrm19"}, {"XY19cmd", "Mainfrm20"}, {"SY20cmd", "Mainfrm20"}}},
      {3, "Mainfrm20", {{"XY20cmd", afterZA}}},
  };
  for (const Chain& c : chains) {
    ScreenEnv env;
    openPage(env, c.first, c.entry);
    for (const Move& m : c.moves) {
      env.ticks(2);
      env.click(m.button);
      ASSERT_EQ(env.map().current()->objectName(), m.then) << "entry " << c.entry << ", " << m.button;
      EXPECT_TRUE(env.port() && env.port()->isOpen()) << m.button;
    }
    EXPECT_EQ(env.openAtOnce, 1) << "the port is closed before the next page opens it";
  }
}

// ---- The Z/A page ------------------------------------------------------------------------------

class ZaPage : public ::testing::Test {
 protected:
  void SetUp() override {
    env.model.writeRegister(reg::CurrentStep, kStep);
    // The step's A settings, then its Z settings; the page starts on Z.
    env.model.writeRegister(reg::ZReplacedByA, 1);
    env.model.writeRegister(0x1030, 1);
    env.model.writeLong(0x1032, 500);
    env.model.writeRegister(reg::ZReplacedByA, 0);
    env.model.writeRegister(0x1030, 2);
    env.model.writeLong(0x1032, 1000);
    openPage(env, "Mainfrm20", 3);
    ASSERT_TRUE(env.tickUntil([&] { return env.shown("BUtxt") == "3"; }));
  }
  std::int32_t bank(bool a, std::uint16_t first) {
    const auto was = env.model.reg(reg::ZReplacedByA);
    env.model.writeRegister(reg::ZReplacedByA, a ? 1 : 0);
    const std::int32_t v = env.model.regLong(first);
    env.model.writeRegister(reg::ZReplacedByA, was);
    return v;
  }
  ScreenEnv env;
};

// A download that changes the Z/A choice writes only the choice: the values typed were meant for
// the axis shown, and would otherwise land in the other axis's settings. The page then shows the
// other axis's settings, and the operator is told to check them and download again.
TEST_F(ZaPage, ChangingTheAxisWritesOnlyTheChoiceAndShowsTheOtherAxis) {
  EXPECT_EQ(env.shown("XDtxt"), "2");
  EXPECT_EQ(env.shown("XYtxt"), "10");
  EXPECT_EQ(env.shown("Label9"), "Z轴普通功能设置");
  env.type("XDtxt", "3");
  env.type("XYtxt", "7");
  env.type("SHtxt", "1");
  env.takeSent();
  env.click("SS20cmd");
  ASSERT_TRUE(env.tickUntil([&] { return !env.isRed("SS20cmd"); }));
  EXPECT_EQ(env.takeWrites(), QList<QByteArray>{writeWordBody(reg::ZReplacedByA, "0001")});
  EXPECT_EQ(env.boxes, QStringList{screens::otherAxisShown()});
  EXPECT_EQ(bank(false, 0x1032), 1000) << "Z's distance untouched";
  EXPECT_EQ(bank(true, 0x1032), 500) << "A's distance untouched";

  for (const char* blanked : {"SRtxt", "XZtxt", "XDtxt", "XJtxt", "ZBtxt", "XYtxt", "SDtxt"})
    EXPECT_EQ(env.shown(blanked), "") << blanked << " shows nothing until read for A";
  Exchange& ex = env.currentScreen()->exchange();
  ASSERT_TRUE(env.tickUntil([&] { return ex.lastRead("SHtxt") == 1 && ex.lastRead("XYtxt") == 500; }));
  const std::pair<const char*, const char*> a[] = {
      {"XDtxt", "1"}, {"BCtxt", "回机械零"}, {"SHtxt", "1"}, {"FOtxt", "是"}, {"Label2", "有效A轴电机"},
      {"Label3", "A轴运行模式"}, {"Label9", "A轴普通功能设置"}, {"Label6", "A运行距离:"}};
  for (const auto& [name, text] : a) EXPECT_EQ(env.shown(name), text) << name;

  // Downloading again, with the choice as read, writes A's settings.
  env.type("XYtxt", "-1.5");
  env.click("SS20cmd");
  ASSERT_TRUE(env.tickUntil([&] { return !env.isRed("SS20cmd"); }));
  EXPECT_EQ(env.takeWrites().size(), 8);
  EXPECT_EQ(bank(true, 0x1032), -150);
  EXPECT_EQ(bank(false, 0x1032), 1000);
}

// The choice takes 0 or 1 only; a 2 would leave the page's captions blank.
TEST_F(ZaPage, ChoiceOutsideZeroToOneIsRefused) {
  env.type("SHtxt", "2");
  env.takeSent();
  env.click("SS20cmd");
  EXPECT_EQ(env.boxes, QStringList{"输入的信号范围不在0-1内"});
  env.ticks(3);
  EXPECT_TRUE(env.takeWrites().isEmpty());
  EXPECT_EQ(env.model.reg(reg::ZReplacedByA), 0);
}

// Each read goes out once on this page: with the controller silent, one read per eight ticks.
TEST_F(ZaPage, ReadsAreSentOnceAndTheCaptionsFollowTheChoice) {
  env.port()->setSilent(true);
  env.takeSent();
  env.ticks(16);
  const qsizetype reads = env.takeSent().size();
  EXPECT_GE(reads, 1);
  EXPECT_LE(reads, 3) << "not again at every tick";
  env.port()->setSilent(false);

  env.model.writeRegister(reg::ZReplacedByA, 2);  // a value the page has no text for
  ASSERT_TRUE(env.tickUntil([&] { return env.shown("SHtxt") == "2"; }));
  for (const char* name : {"Label2", "Label3", "Label9", "Label6", "FOtxt"}) EXPECT_EQ(env.shown(name), "") << name;
}

// ---- The arc and line pages' displays ----------------------------------------------------------

// A value the page has no text for blanks its display rather than leaving an old state shown.
TEST(StepDisplays, ValueWithoutTextBlanksTheDisplay) {
  struct Case { const char* form; int entry; std::uint16_t reg; const char* display; const char* zero; };
  const Case cases[] = {{"Mainfrm14", 1, reg::ArcDirection, "NYtxt", "顺圆弧"},
                        {"Mainfrm14", 1, reg::ArcStartStop, "QDtxt", "启动"},
                        {"Mainfrm14", 1, reg::TeachOrArcSize, "XItxt", "小于360"},
                        {"Mainfrm15", 2, reg::LineStartStop, "QDtxt", "启动"},
                        {"Mainfrm17", 3, reg::NormalRunMode[reg::X], "BCtxt", "保持不动"}};
  for (const Case& c : cases) {
    ScreenEnv env;
    openPage(env, c.form, c.entry);
    ASSERT_TRUE(env.tickUntil([&] { return env.shown(c.display) == c.zero; })) << c.display;
    env.model.writeRegister(c.reg, 7);
    EXPECT_TRUE(env.tickUntil([&] { return env.shown(c.display).isEmpty(); })) << c.form << " " << c.display;
  }
}

// "顺" and "逆" send their coil, the direction is read back at once, and each button keeps red
// until its own command is answered.
TEST(ArcStep, DirectionCommandIsReadBackAtOnce) {
  ScreenEnv env;
  openPage(env, "Mainfrm14", 1);
  ASSERT_TRUE(env.tickUntil([&] { return env.shown("NYtxt") == "顺圆弧"; }));
  env.ticks(1);
  env.takeSent();
  env.click("NIcmd");
  EXPECT_TRUE(env.isRed("NIcmd"));
  EXPECT_FALSE(env.isRed("SHcmd"));
  ASSERT_TRUE(env.tickUntil([&] { return !env.isRed("NIcmd"); }, 10));
  env.ticks(1);
  const QList<QByteArray> sent = env.takeSent();
  const qsizetype coil = sent.indexOf(coilBody(coil::ArcCounterClockwise, true));
  ASSERT_GE(coil, 0);
  ASSERT_GT(sent.size(), coil + 1);
  EXPECT_EQ(sent[coil + 1], readBody(reg::ArcDirection, 1)) << "the direction is read next";
  EXPECT_EQ(env.shown("NYtxt"), "逆圆弧");
  EXPECT_EQ(env.model.reg(reg::ArcDirection), 1);
}

// On the arc page every reply starts the tick interval again: the next request goes out one
// full interval after the reply. The line page keeps its ticks as they were.
TEST(ArcStep, ReplyStartsTheTickIntervalAgain) {
  struct Case { const char* form; int entry; bool restarts; };
  for (const Case c : {Case{"Mainfrm14", 1, true}, Case{"Mainfrm15", 2, false}}) {
    ScreenEnv env;
    ui::Screen* screen = openPage(env, c.form, c.entry);
    screen->timer().start();  // real ticks for this test
    QTest::qWait(45);
    emit screen->findChild<Link*>()->frameReceived(QByteArray(":0103020000FA\r\n"));
    const int left = screen->timer().remainingTime();
    const int interval = screen->timer().interval();
    if (c.restarts) {
      EXPECT_GE(left, interval - 15) << c.form;
    } else {
      EXPECT_LE(left, interval - 40) << c.form;
    }
    screen->timer().stop();
  }
}

// ---- The simulated controller runs what the pages programmed ------------------------------------

// The Z/A settings of a step are kept for Z and for A; a run drives the axis the step chose, by
// its own settings, and both survive a restart of the simulator.
TEST(StepPagesSimulator, RunDrivesTheChosenAxisAndBothAreKept) {
  QTemporaryDir dir;
  sim::ControllerModel m;
  m.writeRegister(reg::StepCount, 1);
  m.writeCoil(coil::ChooseNormal, true);
  m.writeRegister(reg::ZReplacedByA, 1);
  m.writeRegister(reg::NormalRunMode[reg::A], 2);
  m.writeLong(reg::NormalDistance[reg::A], 1234);
  m.writeRegister(reg::ZReplacedByA, 0);
  m.writeRegister(reg::NormalRunMode[reg::Z], 2);
  m.writeLong(reg::NormalDistance[reg::Z], 500);
  m.writeRegister(reg::ZReplacedByA, 1);

  m.writeCoil(coil::Start, true);
  m.advance(2000);
  EXPECT_EQ(m.position(reg::A), 1234);
  EXPECT_EQ(m.position(reg::Z), 0) << "Z does not run in a step that uses A";

  m.setStateFile(dir.filePath("state.json"));
  m.writeCoil(coil::SaveProject, true);
  m.advance(5000);
  sim::ControllerModel restarted;
  ASSERT_TRUE(restarted.load(dir.filePath("state.json")));
  EXPECT_EQ(restarted.regLong(reg::NormalDistance[reg::A]), 1234);
  restarted.writeRegister(reg::ZReplacedByA, 0);
  EXPECT_EQ(restarted.regLong(reg::NormalDistance[reg::Z]), 500);
}

// In the demo: step 2 of project 1 programmed as an arc and step 3 as a normal step on their
// pages, then the project run from the system control screen moves the axes as programmed.
TEST(StepPagesSimulator, ProgrammedStepsRunFromTheSystemControlScreen) {
  ScreenEnv env;
  env.model.timing().stepMs = 100;
  env.model.loadDemo();
  env.model.writeRegister(reg::StepCount, 3);  // the demo's fourth step sends X and Y home
  env.model.writeRegister(reg::CurrentStep, 2);
  env.model.writeCoil(coil::ChooseArc, true);
  openPage(env, "Mainfrm14", 1);
  ASSERT_TRUE(env.tickUntil([&] { return env.currentScreen()->exchange().lastRead("SD6txt").has_value(); }));
  for (const auto& [field, text] : {std::pair{"YNtxt", "20"}, {"XNtxt", "0"}, {"ZGtxt", "20"}, {"DNtxt", "-20"},
                                    {"XYtxt", "0"}, {"SD6txt", "300"}})
    env.type(field, text);
  env.click("SAcmd");
  ASSERT_TRUE(env.tickUntil([&] { return !env.isRed("SAcmd"); }));
  // Step 3 chosen as a normal step (the hub's work), and its X page.
  env.model.writeRegister(reg::CurrentStep, 3);
  env.model.writeCoil(coil::ChooseNormal, true);
  env.map().go(env.map().current(), shell::Route{.from = "Mainfrm14", .button = "SY15cmd", .to = "Mainfrm17"});
  env.drive(env.currentScreen());
  ASSERT_EQ(env.map().current()->objectName(), "Mainfrm17");
  ASSERT_TRUE(env.tickUntil([&] { return env.shown("BUtxt") == "3"; }));
  env.type("XDtxt", "2");
  env.type("XJtxt", "1");
  env.type("XYtxt", "12.5");
  env.click("SScmd");
  ASSERT_TRUE(env.tickUntil([&] { return !env.isRed("SScmd"); }));

  env.model.setPosition(reg::X, 0);
  env.model.setPosition(reg::Y, 0);
  env.map().go(env.map().current(), shell::Route{.from = "Mainfrm17", .button = "SY17cmd", .to = "Mainfrm2"});
  env.drive(env.currentScreen());
  env.click("Qdcmd");
  ASSERT_TRUE(env.tickUntil([&] { return env.model.running(); }, 20));
  ASSERT_TRUE(env.tickUntil([&] { return !env.model.running(); }, 400));
  // Step 1: X +50, Y +20; step 2 the arc: X +20, Y -20; step 3: X back 12.5.
  EXPECT_EQ(env.model.completedRuns(), 1);
  EXPECT_EQ(env.model.position(reg::X), 5000 + 2000 - 1250);
  EXPECT_EQ(env.model.position(reg::Y), 2000 - 2000);
}

}  // namespace

namespace {

// The X step page reached from the main screen with its answers on their way, on a controller
// unpaced, late, late at random or repeating, downloaded as soon as every field was read with
// nothing typed: every register of the step gets its own value back (a run mode or direction
// read into the wrong field would be written into the step and reverse an axis).
TEST(StepPageSlowLine, DownloadWithNothingTypedWritesEachRegisterItsOwnValue) {
  struct Line {
    const char* what;
    std::function<void(SimPort&)> set;
  };
  const Line lines[] = {
      {"unpaced", [](SimPort& p) { p.setPacing(0, {}); }},
      {"5 ms", [](SimPort& p) { p.setLatency(5); }},
      {"700 ms", [](SimPort& p) { p.setLatency(700); }},
      {"0 to 900 ms at random", [](SimPort& p) { p.setLatencyRange(0, 900); }},
      {"twice, 400 ms apart", [](SimPort& p) { p.setRepeatAfter(400); }},
  };
  const Family& f = kFamilies[0];
  for (const Line& l : lines) {
    SCOPED_TRACE(l.what);
    ScreenEnv env;
    env.model.writeRegister(reg::CurrentStep, kStep);
    const std::uint16_t values[] = {7, 1, 2, 1, 1, 300, 0x3039};
    QHash<std::uint16_t, std::uint16_t> held;
    for (qsizetype i = 0; i < f.writes.size(); ++i) {
      env.model.writeRegister(f.writes[i].reg, values[i]);
      held[f.writes[i].reg] = values[i];
    }
    env.model.writeRegister(reg::ProductionCount, 4);  // what the main screen reads meanwhile
    env.onOpen = [&](SimPort& p) {
      p.setPacing(5, [&env] { return double(env.now); });
      l.set(p);
    };
    env.start();
    env.click("Okcmd");
    env.drive(env.currentScreen());
    env.ticks(25);
    ui::session().entryFunction = f.entry;
    env.map().go(env.map().current(), shell::Route{.from = "Mainfrm1", .button = "Okcmd", .to = f.form});
    env.drive(env.currentScreen());
    const auto allRead = [&] {
      for (const Written& w : f.writes)
        if (!env.currentScreen()->exchange().lastRead(w.field)) return false;
      return true;
    };
    ASSERT_TRUE(env.downloadOnceRead(allRead, f.download, 4000));
    for (auto it = held.cbegin(); it != held.cend(); ++it)
      EXPECT_EQ(env.model.stepRegister(kProject, kStep, it.key()), it.value()) << Qt::hex << it.key();
  }
}

}  // namespace
