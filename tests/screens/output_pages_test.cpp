// The last pages of a step's settings against the simulated controller: direct outputs
// (Mainfrm21), input-conditioned outputs (Mainfrm22), and the step's delay, loop and the project's
// chaining (Mainfrm23). What a download writes and where it lands, what is refused before anything
// is sent, and the registers another screen shares that a download leaves alone.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "frames/frames.h"
#include "link/link.h"
#include "frames/registers.h"
#include "screen_env.h"
#include "ui/session.h"

using namespace lorvane;
using lorvane::test::ScreenEnv;

namespace {

constexpr int kProject = 1;
constexpr int kStep = 3;  // the step the pages work on; step 2 must stay as it is

// The main screen with the port open, the controller on step 3, then straight to the page.
ui::Screen* openPage(ScreenEnv& env, const QString& form, int step = kStep) {
  env.model.writeRegister(reg::CurrentStep, static_cast<std::uint16_t>(step));
  return env.openDirect(form);
}

bool allRead(ScreenEnv& env, const QStringList& fields) {
  for (const QString& f : fields)
    if (!env.currentScreen()->exchange().lastRead(f)) return false;
  return true;
}

struct Written {
  const char* field;
  std::uint16_t reg;
  const char* typed;
  const char* digits;
};

struct Page {
  const char* form;
  const char* heading;
  const char* headingName;
  int helpLines;
  const char* helpLine2;
  QList<Written> writes;  // in the order the download sends them
};

const Page kPages[] = {
    {"Mainfrm21", "三组直接输出控制设定", "Label1", 20, "1-可以设置四组直接输出控制设 ",
     {{"Y1txt", 0x1034, "0", "0000"}, {"S1txt", 0x1096, "1", "0001"}, {"Y2txt", 0x1035, "12", "000C"},
      {"S2txt", 0x1097, "0", "0000"}, {"Y3txt", 0x1036, "8", "0008"}, {"S3txt", 0x1098, "1", "0001"},
      {"Y4txt", 0x103E, "5", "0005"}, {"S4txt", 0x1095, "1", "0001"}}},
    {"Mainfrm22", "三组获取输入后输出设定", "Label25", 24, "1-可以设置三组获取输入后输出",
     {{"R1txt", 0x1037, "13", "000D"}, {"L1txt", 0x10E3, "1", "0001"}, {"S4txt", 0x1038, "12", "000C"},
      {"Y4txt", 0x1099, "1", "0001"}, {"R2txt", 0x1039, "0", "0000"}, {"L2txt", 0x10E4, "0", "0000"},
      {"S5txt", 0x103A, "5", "0005"}, {"Y5txt", 0x109A, "0", "0000"}, {"R3txt", 0x103B, "8", "0008"},
      {"L3txt", 0x10E5, "1", "0001"}, {"S6txt", 0x103C, "7", "0007"}, {"Y6txt", 0x109B, "1", "0001"}}},
    {"Mainfrm23", "设定工程步骤", "Label11", 20, "1-从第“A”步到第“B”步循环“C”次",
     {{"CDtxt", 0x104A, "80", "0050"}, {"XHtxt", 0x104C, "3", "0003"}, {"JWtxt", 0x10DD, "100", "0064"},
      {"YStxt", 0x103D, "65535", "FFFF"}, {"XH1txt", 0x1042, "1", "0001"}, {"ZDtxt", 0x10DF, "10", "000A"}}},
};

class OutputPage : public ::testing::TestWithParam<Page> {};

// The page's heading and help; a download writes every field in order into the current step (or
// the current project) only, the button regains its colour, and the page reads back what it wrote.
TEST_P(OutputPage, DownloadWritesEveryFieldInOrder) {
  const Page& p = GetParam();
  ScreenEnv env;
  openPage(env, p.form);
  EXPECT_EQ(env.shown(p.headingName), QString::fromUtf8(p.heading));
  auto* help = env.map().current()->findChild<QListWidget*>("List1");
  ASSERT_NE(help, nullptr);
  ASSERT_EQ(help->count(), p.helpLines);
  EXPECT_EQ(help->item(1)->text(), QString::fromUtf8(p.helpLine2));

  QStringList fields;
  for (const Written& w : p.writes) fields << w.field;
  if (QString(p.form) == "Mainfrm23") fields << "DDtxt";
  ASSERT_TRUE(env.tickUntil([&] { return allRead(env, fields); }));
  QList<std::pair<QString, QString>> typed;
  QList<QByteArray> expected;
  for (const Written& w : p.writes) {
    typed << std::pair<QString, QString>{w.field, w.typed};
    expected << writeWordBody(w.reg, w.digits);
    // Step B is written back as read, between step A and the loop count.
    if (w.reg == reg::LoopFrom) expected << writeWordBody(reg::LoopTo, "0000");
  }
  EXPECT_EQ(env.typeAndClick(typed, "SScmd", 200, [&] { EXPECT_TRUE(env.isRed("SScmd")); }), ScreenEnv::wrote(expected));
  for (const Written& w : p.writes) {
    const auto value = static_cast<std::uint16_t>(QByteArray(w.digits).toUInt(nullptr, 16));
    if (sim::ControllerModel::isProjectRegister(w.reg)) {
      EXPECT_EQ(env.model.projectRegister(kProject, w.reg), value) << w.field;
    } else {
      EXPECT_EQ(env.model.stepRegister(kProject, kStep, w.reg), value) << w.field;
      EXPECT_EQ(env.model.stepRegister(kProject, kStep - 1, w.reg), 0) << w.field << " reached step 2";
    }
  }
  EXPECT_TRUE(env.tickUntil([&] { return env.shown("BUtxt") == "3"; }, 40));
  EXPECT_TRUE(env.tickUntil([&] { return env.shown(p.writes.last().field) == p.writes.last().typed; }, 40));
}

INSTANTIATE_TEST_SUITE_P(Pages, OutputPage, ::testing::ValuesIn(kPages),
                         [](const ::testing::TestParamInfo<Page>& i) { return std::string(i.param.form); });

// A value out of range, or one that cannot be written, refuses the whole download at the click
// with the field's message; nothing is sent and the operator's text stays.
TEST(OutputPages, OutOfRangeOrUnwritableIsRefusedWithNothingSent) {
  struct Case { const char* form; const char* field; const char* typed; QString message; };
  const Case cases[] = {
      {"Mainfrm21", "Y1txt", "13", "输入的信号范围不在1-12内"},
      {"Mainfrm21", "S3txt", "2", "输入的信号范围不在0-1内"},
      {"Mainfrm21", "Y4txt", "12abc", msg::notANumber()},
      {"Mainfrm22", "R1txt", "14", "输入的信号范围不在1-13内"},
      {"Mainfrm22", "S5txt", "13", "输入的信号范围不在1-12内"},
      {"Mainfrm22", "L2txt", "2", "输入的信号范围不在0-1内"},
      {"Mainfrm22", "Y6txt", "2", "输入的信号范围不在0-1内"},
      {"Mainfrm23", "CDtxt", "81", "输入的信号范围不在1-80内"},
      {"Mainfrm23", "JWtxt", "101", "输入的信号范围不在0-100内"},
      {"Mainfrm23", "XH1txt", "2", "输入的信号范围不在0-1内"},
      {"Mainfrm23", "ZDtxt", "11", "输入的信号范围不在1-10内"},
      {"Mainfrm23", "YStxt", "65536", msg::tooLarge("65535")},
      {"Mainfrm23", "XHtxt", "-1", msg::negative()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.form) + " " + c.field + " = " + c.typed);
    ScreenEnv env;
    openPage(env, c.form);
    ASSERT_TRUE(env.tickUntil([&] { return env.shown("BUtxt") == "3"; }));
    env.ticks(30);  // a whole read cycle and more
    EXPECT_EQ(env.typeAndClick({{c.field, c.typed}}, "SScmd", 5), ScreenEnv::refused(c.message));
    EXPECT_EQ(env.shown(c.field), c.typed);
  }
}

// Output settings read 0 = on, 1 = off; the loop flag 0 = no, 1 = yes; any other value blanks the
// display rather than leave a state the controller no longer reports.
TEST(OutputPages, DisplaysFollowTheirRegisterAndBlankOnUnknownValues) {
  struct Case { const char* form; std::uint16_t reg; const char* display; };
  const Case cases[] = {
      {"Mainfrm21", 0x1096, "Label11"}, {"Mainfrm21", 0x1095, "Label14"},
      {"Mainfrm22", 0x1099, "Label11"}, {"Mainfrm22", 0x109B, "Label2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.form) + " " + c.display);
    ScreenEnv env;
    openPage(env, c.form);
    struct Shows { std::uint16_t value; const char* text; };
    for (const Shows s : {Shows{1, "OF"}, Shows{0, "ON"}, Shows{5, ""}}) {
      env.model.writeRegister(c.reg, s.value);
      EXPECT_TRUE(env.tickUntil([&] { return env.shown(c.display) == s.text; })) << s.value;
    }
  }
  ScreenEnv env;
  openPage(env, "Mainfrm23");
  struct Shows { std::uint16_t value; const char* text; };
  for (const Shows s : {Shows{0, "否"}, Shows{1, "是"}, Shows{2, ""}}) {
    env.model.writeRegister(reg::ProjectLoops, s.value);
    EXPECT_TRUE(env.tickUntil([&] { return env.shown("SFtxt") == s.text; })) << s.value;
  }
}

// 0x10E3..0x10E5 are also the forward-limit inputs of Z, C and A. A download that does not touch
// an input state leaves such an assignment (input 5) as it is, and its 0-1 check does not apply to
// what was read; one the operator types is checked and written.
TEST(ConditionedOutputs, InputStatesAreWrittenOnlyWhenTyped) {
  ScreenEnv env;
  env.model.writeRegister(reg::CurrentStep, kStep);
  env.model.writeRegister(reg::CondInputState[0], 5);
  env.model.writeRegister(reg::CondInputState[2], 5);
  openPage(env, "Mainfrm22");
  ASSERT_TRUE(env.tickUntil([&] { return env.shown("BUtxt") == "3" && env.shown("L1txt") == "5"; }));
  const ScreenEnv::Outcome o = env.typeAndClick({{"R1txt", "8"}, {"L2txt", "1"}}, "SScmd");
  ASSERT_FALSE(o.red);
  EXPECT_TRUE(o.boxes.isEmpty()) << o.boxes.join(' ').toStdString();
  const QList<QByteArray>& writes = o.writes;
  EXPECT_FALSE(writes.contains(writeWordBody(reg::CondInputState[0], "0005")));
  EXPECT_TRUE(writes.contains(writeWordBody(reg::CondInputState[1], "0001")));
  for (const QByteArray& w : writes) {
    EXPECT_FALSE(w.startsWith(QByteArray("011010E3"))) << w.toStdString();
    EXPECT_FALSE(w.startsWith(QByteArray("011010E5"))) << w.toStdString();
  }
  EXPECT_EQ(env.model.stepRegister(kProject, kStep, reg::CondInputState[0]), 5);
  EXPECT_EQ(env.model.stepRegister(kProject, kStep, reg::CondInputState[2]), 5);
  EXPECT_EQ(env.model.stepRegister(kProject, kStep, reg::CondInputState[1]), 1);
  EXPECT_EQ(env.model.stepRegister(kProject, kStep, reg::CondInput[0]), 8);
}

// Step B cannot be edited: a download before it has been read is refused, so the placeholder 0
// never goes into the loop; once read it is written back as the controller holds it, between
// step A and the loop count. The download button takes no click while its writes are on the way.
TEST(TimingPage, StepBIsWrittenOnlyOnceReadAndTheButtonWaitsForTheWrites) {
  ScreenEnv env;
  env.model.writeRegister(reg::CurrentStep, kStep);
  env.model.writeRegister(reg::LoopTo, kStep);
  openPage(env, "Mainfrm23");
  auto* download = env.map().current()->findChild<QPushButton*>("SScmd");
  EXPECT_FALSE(env.map().current()->findChild<QLineEdit*>("DDtxt")->isEnabled());
  EXPECT_FALSE(env.map().current()->findChild<QLineEdit*>("JHtxt")->isVisibleTo(env.map().current()));
  env.click("SScmd");
  EXPECT_EQ(env.boxes, QStringList{msg::unknown()});
  EXPECT_TRUE(env.takeWrites().isEmpty());
  EXPECT_TRUE(download->isEnabled()) << "a refused download can be clicked again at once";

  ASSERT_TRUE(env.tickUntil([&] { return env.shown("DDtxt") == "3" && env.shown("BUtxt") == "3"; }));
  const ScreenEnv::Outcome o = env.typeAndClick({{"CDtxt", "2"}, {"XHtxt", "4"}, {"ZDtxt", "2"}}, "SScmd", 200, [&] {
    EXPECT_FALSE(download->isEnabled()) << "no second click while the writes go out";
  });
  ASSERT_FALSE(o.red);
  EXPECT_TRUE(download->isEnabled());
  EXPECT_TRUE(o.boxes.isEmpty()) << o.boxes.join(' ').toStdString();
  const QList<QByteArray>& writes = o.writes;
  ASSERT_GE(writes.size(), 3);
  EXPECT_EQ(writes[0], writeWordBody(reg::LoopFrom, "0002"));
  EXPECT_EQ(writes[1], writeWordBody(reg::LoopTo, "0003"));
  EXPECT_EQ(writes[2], writeWordBody(reg::LoopCount, "0004"));
  EXPECT_EQ(env.model.stepRegister(kProject, kStep, reg::LoopFrom), 2);
  EXPECT_EQ(env.model.stepRegister(kProject, kStep, reg::LoopTo), 3);
  EXPECT_EQ(env.model.stepRegister(kProject, kStep, reg::LoopCount), 4);
  EXPECT_EQ(env.model.projectRegister(kProject, reg::NextProject), 2);
}

// A reply starts the tick interval again, so the next request goes out a full interval after it.
TEST(TimingPage, ReplyStartsTheTickIntervalAgain) {
  ScreenEnv env;
  ui::Screen* screen = openPage(env, "Mainfrm23");
  screen->timer().start();  // real ticks for this test
  QTest::qWait(45);
  emit screen->findChild<Link*>()->frameReceived(QByteArray(":0103020000FA\r\n"));
  EXPECT_GE(screen->timer().remainingTime(), screen->timer().interval() - 15);
  screen->timer().stop();
}

// What the pages program is what the controller runs: an output set on step 1 comes on, and the
// loop set on step 2 runs steps 1..2 once more before the project ends.
TEST(OutputPagesSimulator, ProgrammedOutputAndLoopRun) {
  ScreenEnv env;
  env.model.timing().stepMs = 100;
  env.model.writeRegister(reg::StepCount, 2);
  env.model.writeRegister(reg::CurrentStep, 2);
  env.model.writeRegister(reg::LoopTo, 2);  // B is the step's own number
  const auto download = [&](const char* form, int step, const QList<std::pair<QString, QString>>& typed) {
    openPage(env, form, step);
    ASSERT_TRUE(env.tickUntil([&] { return env.shown("BUtxt") == QString::number(step); }));
    env.ticks(30);
    const ScreenEnv::Outcome o = env.typeAndClick(typed, "SScmd");
    ASSERT_FALSE(o.red);
    ASSERT_TRUE(o.boxes.isEmpty()) << o.boxes.join(' ').toStdString();
    env.map().go(env.map().current(), shell::Route{.from = form, .button = "SYcmd", .to = "Mainfrm1"});
  };
  download("Mainfrm21", 1, {{"Y1txt", "8"}, {"S1txt", "0"}});
  download("Mainfrm23", 2, {{"CDtxt", "1"}, {"XHtxt", "1"}});
  ASSERT_FALSE(env.model.output(8));

  ASSERT_EQ(env.model.writeCoil(coil::Start, true), sim::ControllerModel::Result::Ok);
  QList<int> steps;
  for (int t = 0; t < 5000 && (steps.isEmpty() || steps.last() != 0); ++t) {
    const int status = env.model.reg(reg::RunStatus);
    if (steps.isEmpty() || steps.last() != status) steps << status;
    env.model.advance(1);
  }
  EXPECT_EQ(steps, (QList<int>{1, 2, 1, 2, 0}));
  EXPECT_TRUE(env.model.output(8));
  EXPECT_EQ(env.model.completedRuns(), 1);
}

}  // namespace
