// The teach step page against the simulated controller: what it shows, the eight hold-to-run
// jogs and their OFFs, storing the point where the axis stopped, the download of speeds and pulse
// counts, and the values that a store, a speed match, a toggle or another step make out of date.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "frames/frames.h"
#include "frames/registers.h"
#include "screen_env.h"
#include "screens/project/teach_step.h"
#include "ui/widgets.h"

using namespace lorvane;
using lorvane::test::ScreenEnv;
using lorvane::test::SimPort;

namespace {

constexpr int kProject = 1;
constexpr int kStep = 3;

// The main screen with the port open, then the teach page of step 3.
ui::Screen* openTeach(ScreenEnv& env) {
  env.model.writeRegister(reg::CurrentStep, kStep);
  return env.openDirect("Mainfrm16");
}

const char* const kSpeeds[] = {"SUtxt", "SU1txt", "SU2txt", "SU3txt"};
const char* const kPulses[] = {"DUtxt", "DU1txt", "DU2txt", "DU3txt"};

bool allRead(ScreenEnv& env) {
  for (const char* f : kSpeeds)
    if (!env.currentScreen()->exchange().lastRead(f)) return false;
  for (const char* f : kPulses)
    if (!env.currentScreen()->exchange().lastRead(f)) return false;
  return true;
}

bool offDelivered(ScreenEnv& env) { return !env.currentScreen()->exchange().hasSafetyWork(); }

struct Jog {
  const char* button;
  int axis;
  std::uint16_t coil;
  int sign;
};
const Jog kJogs[] = {
    {"ZHcmd", reg::X, coil::TeachForward[0], +1}, {"FAcmd", reg::X, coil::TeachReverse[0], -1},
    {"ZH1cmd", reg::Y, coil::TeachForward[1], +1}, {"FA1cmd", reg::Y, coil::TeachReverse[1], -1},
    {"ZH2cmd", reg::Z, coil::TeachForward[2], +1}, {"FA2cmd", reg::Z, coil::TeachReverse[2], -1},
    {"ZH3cmd", reg::C, coil::TeachForward[3], +1}, {"FA3cmd", reg::C, coil::TeachReverse[3], -1},
};

// ---- What the page shows -------------------------------------------------------------------------

TEST(TeachStep, HelpAndNamesInTheTables) {
  ScreenEnv env;
  std::unique_ptr<ui::Form> form(env.map().build("Mainfrm16"));
  ASSERT_TRUE(form);
  auto* list = form->findChild<QListWidget*>("List1");
  ASSERT_TRUE(list);
  ASSERT_EQ(list->count(), 41);
  EXPECT_EQ(list->item(1)->text(), "1-在“工程首页”点击“进入示教”");
  EXPECT_EQ(list->item(22)->text(), "  据这个按钮，数据才能设定成功");
  EXPECT_EQ(list->item(37)->text(), "注意：在数据显示上可能会出现数据显");
  EXPECT_EQ(list->item(40)->text(), "  ");
  EXPECT_TRUE(qobject_cast<ui::Screen*>(form.get())->unknownNames().isEmpty());
}

// Each axis's status: 0 teach, 1 normal, any other value blanks the label. Pulse counts read as
// signed pairs.
TEST(TeachStep, StatusTextsAndSignedPulseCounts) {
  ScreenEnv env;
  openTeach(env);
  struct Case { const char* label; std::uint16_t value; const char* text; };
  const Case cases[] = {{"XZ2lel", 0, "X轴开启示教功能,关闭普通"}, {"XZ2lel", 1, "X轴开启普通功能"}, {"XZ2lel", 2, ""},
                        {"YZ2lel", 1, "Y轴开启普通功能"}, {"ZZ2lel", 1, "Z轴开启普通功能"}, {"CZ2lel", 1, "C轴开启普通功能"},
                        {"CZ2lel", 0, "C轴开启示教功能,关闭普通"}, {"CZ2lel", 9, ""}};
  const char* labels[] = {"XZ2lel", "YZ2lel", "ZZ2lel", "CZ2lel"};
  for (const Case& c : cases) {
    const int axis = static_cast<int>(std::find_if(std::begin(labels), std::end(labels),
                                                   [&](const char* l) { return QString(l) == c.label; }) - std::begin(labels));
    env.model.writeRegister(reg::TeachAxisMode[axis], c.value);
    EXPECT_TRUE(env.tickUntil([&] { return env.shown(c.label) == QString::fromUtf8(c.text); }, 60))
        << c.label << " = " << c.value << " shows " << env.shown(c.label).toStdString();
  }
  env.model.writeRegisters(reg::TeachPulses[0], {0xFC18, 0xFFFF});
  EXPECT_TRUE(env.tickUntil([&] { return env.shown("DUtxt") == "-1000"; }, 60));
  EXPECT_TRUE(env.tickUntil([&] { return env.shown("GC1lel") == QString::number(kProject); }, 60));
  EXPECT_EQ(env.shown("BU5txt"), QString::number(kStep));
}

// ---- Downloads ----------------------------------------------------------------------------------

// Four speeds, then four pulse pairs (low word first), into the current step only.
TEST(TeachStep, DownloadWritesSpeedsThenPulseCountsIntoTheCurrentStep) {
  ScreenEnv env;
  openTeach(env);
  ASSERT_TRUE(env.tickUntil([&] { return allRead(env); }));
  const char* speeds[] = {"300", "0", "65535", "12"};
  const char* pulses[] = {"-1000", "2147483647", "-2147483648", "70000"};
  QList<std::pair<QString, QString>> typed;
  for (int i = 0; i < 4; ++i) typed << std::pair<QString, QString>{kSpeeds[i], speeds[i]} << std::pair<QString, QString>{kPulses[i], pulses[i]};
  const QList<QByteArray> expected = {
      writeWordBody(0x107C, "012C"), writeWordBody(0x107D, "0000"), writeWordBody(0x107E, "FFFF"),
      writeWordBody(0x107F, "000C"), writeLongBody(0x1074, "FC18FFFF"), writeLongBody(0x1076, "FFFF7FFF"),
      writeLongBody(0x1078, "00008000"), writeLongBody(0x107A, "11700001")};
  ASSERT_EQ(env.typeAndClick(typed, "XZ1cmd"), ScreenEnv::wrote(expected));
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(env.model.stepRegister(kProject, kStep, reg::TeachSpeed[i]), QByteArray(speeds[i]).toUInt());
    EXPECT_EQ(env.model.stepRegister(kProject, kStep - 1, reg::TeachSpeed[i]), 0) << "step 2 untouched";
  }
  EXPECT_EQ(env.model.regLong(reg::TeachPulses[0]), -1000);
  EXPECT_EQ(env.model.regLong(reg::TeachPulses[2]), std::numeric_limits<std::int32_t>::min());
  EXPECT_TRUE(env.tickUntil([&] { return env.shown("DU2txt") == "-2147483648"; }, 40)) << "read back";
}

// What cannot be encoded refuses the whole download at the click, nothing sent, the text stays.
TEST(TeachStep, DownloadRefusesWhatCannotBeWritten) {
  ScreenEnv env;
  openTeach(env);
  env.click("XZ1cmd");
  EXPECT_EQ(env.boxes, QStringList{msg::unknown()}) << "nothing read yet";
  ASSERT_TRUE(env.tickUntil([&] { return allRead(env); }));
  struct Bad { const char* field; const char* text; QString message; };
  const Bad bads[] = {{"SU2txt", "12abc", msg::notANumber()}, {"SUtxt", "-1", msg::negative()},
                      {"SU3txt", "65536", msg::tooLarge("65535")}, {"DU1txt", "", msg::notANumber()},
                      {"DUtxt", "1e3", msg::notANumber()}, {"DU3txt", "2147483648", msg::tooLarge("2147483647")}};
  for (const Bad& b : bads) {
    const QString before = env.shown(b.field);
    EXPECT_EQ(env.typeAndClick({{b.field, b.text}}, "XZ1cmd", 3), ScreenEnv::refused(b.message))
        << b.field << " = " << b.text;
    EXPECT_EQ(env.shown(b.field), b.text);
    env.type(b.field, before);
  }
}

// The step number takes 1 to 50; it is written to 0x1027 and the page then shows that step.
TEST(TeachStep, StepNumberFrom1To50) {
  ScreenEnv env;
  ui::Screen* screen = openTeach(env);
  ASSERT_TRUE(env.tickUntil([&] { return allRead(env); }));
  struct Case { const char* step; bool written; };
  for (const Case c : {Case{"0", false}, Case{"51", false}, Case{"1", true}, Case{"50", true}}) {
    const ScreenEnv::Outcome o = env.typeAndClick({{"BU6txt", c.step}}, "XZcmd", 30);
    if (c.written) {
      EXPECT_EQ(o, ScreenEnv::wrote({writeWordBody(reg::CurrentStep, QByteArray::number(QByteArray(c.step).toInt(), 16)
                                                                         .toUpper()
                                                                         .rightJustified(4, '0'))}))
          << c.step;
      EXPECT_EQ(env.model.reg(reg::CurrentStep), QByteArray(c.step).toUInt());
      EXPECT_TRUE(env.tickUntil([&] { return env.shown("BU5txt") == c.step; }, 40));
    } else {
      EXPECT_EQ(o, ScreenEnv::refused("输入的信号范围不在1-50内")) << c.step;
      // A refused click does nothing but say why: the operator's number and the step's values stay.
      EXPECT_EQ(env.text("BU6txt"), c.step);
      EXPECT_TRUE(allRead(env)) << c.step << ": the step's values were forgotten";
    }
  }
  EXPECT_EQ(screen->exchange().interval(), screens::TeachStep::kStepIntervalMs);
}

// ---- Jogs -----------------------------------------------------------------------------------------

TEST(TeachStepJog, EachButtonRunsItsAxisOnlyWhileHeld) {
  ScreenEnv env;
  openTeach(env);
  for (const Jog& j : kJogs) {
    env.ticks(1);
    env.takeWrites();
    const std::int32_t from = env.model.position(j.axis);
    env.press(j.button);
    EXPECT_TRUE(env.isRed(j.button)) << j.button;
    env.ticks(10);
    EXPECT_GT(j.sign * (env.model.position(j.axis) - from), 0) << j.button;
    env.release(j.button);
    EXPECT_FALSE(env.isRed(j.button)) << j.button << ": yellow at the moment of release";
    ASSERT_TRUE(env.tickUntil([&] { return offDelivered(env); }, 5)) << j.button;
    EXPECT_FALSE(env.model.coil(j.coil));
    EXPECT_FALSE(env.model.axisMoving(j.axis)) << j.button;
    env.ticks(3);
    EXPECT_EQ(env.takeWrites(), (QList<QByteArray>{coilBody(j.coil, true), coilBody(j.coil, false)})) << j.button;
  }
}

// A quick tap sends only the OFF; a release and another press within one tick send the first
// OFF first; leaving the page with a button held sends its OFF before the port closes.
TEST(TeachStepJog, TapChangeOfButtonAndLeavingWhileHeld) {
  {
    ScreenEnv env;
    openTeach(env);
    env.ticks(1);
    env.takeWrites();
    env.press("FA2cmd");
    env.release("FA2cmd");
    env.ticks(6);
    EXPECT_EQ(env.takeWrites(), QList<QByteArray>{coilBody(coil::TeachReverse[2], false)});
  }
  {
    ScreenEnv env;
    openTeach(env);
    env.press("ZHcmd");
    ASSERT_TRUE(env.tickUntil([&] { return env.model.coil(coil::TeachForward[0]); }, 5));
    env.ticks(1);
    env.takeWrites();
    env.release("ZHcmd");
    env.press("FA1cmd");
    env.ticks(4);
    EXPECT_EQ(env.takeWrites(), (QList<QByteArray>{coilBody(coil::TeachForward[0], false), coilBody(coil::TeachReverse[1], true)}));
    EXPECT_FALSE(env.model.axisMoving(reg::X));
    EXPECT_TRUE(env.model.axisMoving(reg::Y));
    for (const char* leave : {"FZ3cmd", "SY10cmd"}) {
      env.press("FA1cmd");
      ASSERT_TRUE(env.tickUntil([&] { return env.model.coil(coil::TeachReverse[1]); }, 5));
      env.click(leave);
      EXPECT_FALSE(env.model.coil(coil::TeachReverse[1])) << leave << ": the OFF went out before the page was left";
      EXPECT_FALSE(env.model.axisMoving(reg::Y));
      EXPECT_EQ(env.map().current()->objectName(), QString(leave) == "FZ3cmd" ? "Mainfrm1" : "Mainfrm13");
      EXPECT_EQ(env.openAtOnce, 1);
      if (QString(leave) == "FZ3cmd") {
        env.map().go(env.map().current(), shell::Route{.from = "Mainfrm1", .button = "Okcmd", .to = "Mainfrm16"});
        env.drive(env.currentScreen());
      }
    }
  }
}

// On a line that loses three replies in ten, every release ends with its coil OFF in the
// controller, and nothing but that OFF goes out until it is acknowledged; "确 定" clicked at the
// release goes out only after it and stores the point where the axis stopped.
TEST(TeachStepJog, LossyLineOffFirstThenTheStoreOfTheStoppedPoint) {
  for (quint64 seed : {1, 2, 3}) {
    ScreenEnv env;
    env.onOpen = [seed](SimPort& p) {
      p.setSeed(seed);
      p.setDropFraction(0.3);
    };
    openTeach(env);
    for (const Jog& j : kJogs) {
      env.press(j.button);
      ASSERT_TRUE(env.tickUntil([&] { return env.model.coil(j.coil); }, 100)) << j.button << " seed " << seed;
      env.ticks(3);
      env.takeSent();
      env.release(j.button);
      env.click("SUcmd");
      QList<QByteArray> sent;
      for (int t = 0; t < 400 && !offDelivered(env); ++t) {
        env.ticks(1);
        sent << env.takeSent();
      }
      ASSERT_TRUE(offDelivered(env)) << j.button << " seed " << seed;
      for (const QByteArray& b : sent) EXPECT_EQ(b, coilBody(j.coil, false)) << j.button << " seed " << seed;
      EXPECT_FALSE(env.model.coil(j.coil));
      const std::int32_t stopped = env.model.position(j.axis);
      ASSERT_TRUE(env.tickUntil([&] { return !env.isRed("SUcmd"); }, 400)) << j.button << " seed " << seed;
      EXPECT_EQ(env.model.position(j.axis), stopped) << "the axis did not move while the point was stored";
      // What was stored is where the axis stands: a store much later gives the same count.
      const std::int32_t stored = env.model.regLong(reg::TeachPulses[j.axis]);
      env.model.writeRegisters(reg::TeachPulses[j.axis], {0x1234, 0});
      env.click("SUcmd");
      ASSERT_TRUE(env.tickUntil([&] { return !env.isRed("SUcmd"); }, 400));
      EXPECT_EQ(env.model.regLong(reg::TeachPulses[j.axis]), stored) << j.button << " seed " << seed;
    }
    EXPECT_GT(env.port()->faults().dropped(), 0);
  }
}

// ---- Values made out of date ----------------------------------------------------------------------

// After "确 定", "自动配" or a toggle the speeds and pulse counts show nothing and count as unread
// until read again: a download clicked before that is refused and writes nothing, even over
// a value the operator had typed; once read again they show the controller's new values.
TEST(TeachStep, StoreMatchAndToggleMakeTheValuesUnreadUntilReadAgain) {
  for (const char* command : {"SUcmd", "ZDcmd", "KGcmd", "KG3cmd"}) {
    ScreenEnv env;
    openTeach(env);
    env.press("ZHcmd");
    env.ticks(15);
    env.release("ZHcmd");
    ASSERT_TRUE(env.tickUntil([&] { return allRead(env) && offDelivered(env); })) << command;
    env.type("DUtxt", "5");
    env.type("SUtxt", "77");
    env.click(command);
    EXPECT_EQ(env.shown("DUtxt"), "") << command;
    env.click("XZ1cmd");
    EXPECT_EQ(env.boxes, QStringList{msg::unknown()}) << command;
    ASSERT_TRUE(env.tickUntil([&] { return !env.isRed(command) && allRead(env); }, 100)) << command;
    EXPECT_FALSE(env.currentScreen()->exchange().isLocked("DUtxt"));
    for (const QByteArray& w : env.takeWrites()) EXPECT_FALSE(w.startsWith("0110107")) << command << ": " << w.constData();
    EXPECT_EQ(env.shown("DUtxt"), QString::number(env.model.regLong(reg::TeachPulses[0]))) << command;
    EXPECT_EQ(env.shown("SUtxt"), QString::number(env.model.reg(reg::TeachSpeed[0]))) << command;
  }
}

// A step command (上步, 下步, the step number) makes every value of the step unread, clears
// every lock, and a download clicked while it is on its way is refused: nothing typed for one
// step is written into another.
TEST(TeachStep, NoValueTypedForOneStepIsWrittenIntoAnother) {
  struct Case { const char* button; const char* typedStep; int to; };
  for (const Case c : {Case{"XB2cmd", nullptr, kStep + 1}, Case{"SB2cmd", nullptr, kStep - 1}, Case{"XZcmd", "7", 7}}) {
    ScreenEnv env;
    openTeach(env);
    ASSERT_TRUE(env.tickUntil([&] { return allRead(env); }));
    env.type("SU1txt", "321");
    env.type("DU2txt", "-5");
    if (c.typedStep) env.type("BU6txt", c.typedStep);
    env.takeSent();
    env.click(c.button);
    env.click("XZ1cmd");
    EXPECT_EQ(env.boxes, QStringList{screens::teachStepPending()}) << c.button;
    ASSERT_TRUE(env.tickUntil([&] { return !env.isRed(c.button); }, 40)) << c.button;
    EXPECT_EQ(env.model.reg(reg::CurrentStep), c.to);
    env.boxes.clear();
    env.click("XZ1cmd");
    EXPECT_EQ(env.boxes, QStringList{msg::unknown()}) << c.button << ": the new step's values are not read yet";
    EXPECT_TRUE(env.tickUntil([&] { return allRead(env); }));
    for (const char* f : {"BU6txt", "SU1txt", "DU2txt"}) EXPECT_FALSE(env.currentScreen()->exchange().isLocked(f)) << f;
    EXPECT_EQ(env.shown("SU1txt"), "0") << c.button;
    for (int step : {kStep, c.to}) {
      EXPECT_EQ(env.model.stepRegister(kProject, step, reg::TeachSpeed[1]), 0) << c.button << " step " << step;
      EXPECT_EQ(env.model.stepRegister(kProject, step, reg::TeachPulses[2]), 0) << c.button << " step " << step;
    }
  }
}

// A jog held with the space bar is released when the focus leaves its button (a click on
// "确 定" takes the focus): its OFF goes out, then the store.
TEST(TeachStepJog, KeyboardHeldJogIsReleasedWhenTheFocusLeaves) {
  ScreenEnv env;
  ui::Screen* screen = openTeach(env);
  screen->show();
  screen->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(screen));
  auto* jog = screen->control<QPushButton>("ZHcmd");
  jog->setFocus();
  QTest::keyPress(jog, Qt::Key_Space);
  ASSERT_TRUE(env.tickUntil([&] { return env.model.coil(coil::TeachForward[0]); }, 5));
  env.ticks(3);
  auto* store = screen->control<QPushButton>("SUcmd");
  QTest::mouseClick(store, Qt::LeftButton);
  ASSERT_TRUE(env.tickUntil([&] { return !env.isRed("SUcmd"); }, 40));
  env.ticks(2);
  const QList<QByteArray> writes = env.takeWrites();
  EXPECT_FALSE(env.model.coil(coil::TeachForward[0]));
  EXPECT_FALSE(env.model.axisMoving(reg::X));
  const qsizetype off = writes.indexOf(coilBody(coil::TeachForward[0], false));
  const qsizetype stored = writes.indexOf(coilBody(coil::TeachStore, true));
  ASSERT_GE(off, 0);
  EXPECT_LT(off, stored);
}

}  // namespace
