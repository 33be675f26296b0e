// The axis debugging pages against the simulated controller: each axis shows its coordinate,
// jogs by the distance and direction set, homes on its homing input, and runs only while its
// drive button is held, with the OFF delivered however the line behaves and however the operator
// leaves the page.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>

#include "frames/frames.h"
#include "frames/registers.h"
#include "screen_env.h"
#include "ui/widgets.h"

using namespace lorvane;
using lorvane::test::ScreenEnv;
using lorvane::test::SimPort;

namespace {

struct AxisCase {
  const char* menuButton;  // on the system function test menu
  const char* form;
  char letter;
  reg::Axis axis;
};

const AxisCase kAxes[] = {
    {"Xcmd", "Mainfrm6", 'X', reg::X}, {"Xcmd", "Mainfrm6", 'Y', reg::Y}, {"Ycmd", "Mainfrm7", 'Z', reg::Z},
    {"Ycmd", "Mainfrm7", 'C', reg::C}, {"Acmd", "mainfrm8", 'A', reg::A},
};

std::string caseName(const ::testing::TestParamInfo<AxisCase>& info) { return std::string(1, info.param.letter); }
void PrintTo(const AxisCase& c, std::ostream* os) { *os << c.letter << " axis on " << c.form; }

QString named(const char* prefix, char letter, const char* suffix) {
  return QString::fromLatin1(prefix) + QLatin1Char(letter) + QString::fromLatin1(suffix);
}

QByteArray writeBody(std::uint16_t reg, std::uint16_t value) { return writeWordBody(reg, hex4(value)); }

class AxisDebugAxis : public ::testing::TestWithParam<AxisCase> {
 protected:
  void SetUp() override {
    ASSERT_NE(env.openTestPage(c.menuButton), nullptr);
    ASSERT_EQ(env.map().current()->objectName(), c.form);
  }
  QString name(const char* prefix, const char* suffix) const { return named(prefix, c.letter, suffix); }

  const AxisCase c = GetParam();
  ScreenEnv env;
};

TEST_P(AxisDebugAxis, ShowsTheCoordinateAndJogsByTheDistanceAndDirectionSet) {
  env.model.setPosition(c.axis, -1234);
  ASSERT_TRUE(env.tickUntil([&] { return env.text(name("Z", "txt")) == "-12.34"; }));
  EXPECT_TRUE(env.tickUntil([&] { return env.text(name("J", "txt")) == "10"; }, 8)) << "the jog distance, in mm";
  env.takeSent();

  env.type(name("J", "txt"), "10.5");
  env.click(name("S", "cmd"));
  EXPECT_TRUE(env.isRed(name("S", "cmd")));
  ASSERT_TRUE(env.tickUntil([&] { return !env.isRed(name("S", "cmd")); }));
  env.type(name("F", "txt"), "1");
  env.click(name("S", "1cmd"));
  ASSERT_TRUE(env.tickUntil([&] { return !env.isRed(name("S", "1cmd")); }));
  EXPECT_EQ(env.model.reg(reg::JogDistance[c.axis]), 1050);
  EXPECT_EQ(env.model.reg(reg::JogDirection[c.axis]), 1);
  EXPECT_EQ(env.currentScreen()->exchange().interval(), 80) << "the apply buttons slow the tick";

  env.click(name("DD", "cmd"));
  ASSERT_TRUE(env.tickUntil([&] { return !env.isRed(name("DD", "cmd")); }));
  const QList<QByteArray> sent = env.takeSent();
  const auto at = [&](const QByteArray& body) { return sent.indexOf(body); };
  const qsizetype distance = at(writeBody(reg::JogDistance[c.axis], 1050));
  const qsizetype direction = at(writeBody(reg::JogDirection[c.axis], 1));
  const qsizetype jog = at(coilBody(coil::Jog[c.axis], true));
  ASSERT_GE(distance, 0);
  EXPECT_LT(distance, direction);
  EXPECT_LT(direction, jog);

  ASSERT_TRUE(env.tickUntil([&] { return !env.model.axisMoving(c.axis); }));
  EXPECT_EQ(env.model.position(c.axis), -1234 - 1050) << "one jog of 10.5 mm in reverse";
  EXPECT_TRUE(env.tickUntil([&] { return env.text(name("Z", "txt")) == "-22.84"; }));
}

TEST_P(AxisDebugAxis, HomingInputIsKeptAndHomeRunsUntilThatInputIsActive) {
  ASSERT_TRUE(env.tickUntil([&] { return env.text(name("X", "txt")) == "0"; }));
  env.takeSent();
  env.type(name("X", "txt"), "3");
  env.click(name("S", "2cmd"));
  ASSERT_TRUE(env.tickUntil([&] { return !env.isRed(name("S", "2cmd")); }));
  const QList<QByteArray> sent = env.takeSent();
  const qsizetype write = sent.indexOf(writeBody(reg::AxisParamReg[reg::ZeroInput][c.axis], 3));
  ASSERT_GE(write, 0);
  EXPECT_GT(sent.indexOf(coilBody(coil::SaveParameters, true)), write) << "the controller is told to keep it";
  EXPECT_EQ(env.model.reg(reg::AxisParamReg[reg::ZeroInput][c.axis]), 3);

  env.model.setPosition(c.axis, 5000);
  env.click(name("HL", "cmd"));
  ASSERT_TRUE(env.tickUntil([&] { return env.model.axisMoving(c.axis); }));
  env.ticks(5);
  EXPECT_TRUE(env.model.axisMoving(c.axis)) << "no signal on L3 yet";
  EXPECT_LT(env.model.position(c.axis), 5000);
  env.model.setInput(3, true);
  ASSERT_TRUE(env.tickUntil([&] { return !env.model.axisMoving(c.axis); }, 5));
  EXPECT_EQ(env.model.position(c.axis), 0);
  EXPECT_FALSE(env.isRed(name("HL", "cmd")));
}

TEST_P(AxisDebugAxis, HeldButtonRunsTheAxisAndReleaseStopsIt) {
  struct Drive { const char* prefix; std::uint16_t coil; int sign; };
  const Drive drives[] = {{"ZZ", coil::Forward[c.axis], +1}, {"FZ", coil::Reverse[c.axis], -1}};
  for (const Drive& d : drives) {
    const QString button = name(d.prefix, "cmd");
    const std::int32_t from = env.model.position(c.axis);
    env.takeSent();
    env.press(button);
    EXPECT_TRUE(env.isRed(button));
    ASSERT_TRUE(env.tickUntil([&] { return env.model.coil(d.coil); }, 5));
    env.ticks(20);
    EXPECT_TRUE(env.model.axisMoving(c.axis));
    EXPECT_GT(d.sign * (env.model.position(c.axis) - from), 0);
    EXPECT_NE(env.text(name("Z", "txt")), scaledText(from, 100)) << "the coordinate keeps refreshing while held";

    env.release(button);
    EXPECT_FALSE(env.isRed(button));
    ASSERT_TRUE(env.tickUntil([&] { return !env.currentScreen()->exchange().hasSafetyWork(); }, 5));
    EXPECT_FALSE(env.model.coil(d.coil));
    EXPECT_FALSE(env.model.axisMoving(c.axis));
    const QList<QByteArray> sent = env.takeSent();
    EXPECT_EQ(sent.count(coilBody(d.coil, true)), 1) << button.toStdString();
    EXPECT_EQ(sent.count(coilBody(d.coil, false)), 1) << button.toStdString();
  }
}

// With three replies in ten lost, the release still ends with the coil off in the controller,
// and nothing but the OFF goes out until the OFF's own echo has come back.
TEST_P(AxisDebugAxis, ReleaseOnALossyLineSendsOnlyTheOffUntilItIsAcknowledged) {
  for (quint64 seed : {1, 2, 3, 4, 5}) {
    ScreenEnv lossy;
    lossy.onOpen = [seed](SimPort& p) {
      p.setSeed(seed);
      p.setDropFraction(0.3);
    };
    lossy.openTestPage(c.menuButton);
    const QString button = name("ZZ", "cmd");
    const QByteArray off = coilBody(coil::Forward[c.axis], false);
    lossy.ticks(12);
    lossy.press(button);
    ASSERT_TRUE(lossy.tickUntil([&] { return lossy.model.coil(coil::Forward[c.axis]); }, 100)) << seed;
    lossy.ticks(10);
    lossy.takeSent();
    lossy.release(button);
    Exchange& ex = lossy.currentScreen()->exchange();
    QList<QByteArray> untilAcknowledged;
    for (int t = 0; t < 400 && ex.hasSafetyWork(); ++t) {
      lossy.ticks(1);
      untilAcknowledged << lossy.takeSent();
    }
    EXPECT_FALSE(ex.hasSafetyWork()) << seed;
    ASSERT_FALSE(untilAcknowledged.isEmpty());
    for (const QByteArray& b : untilAcknowledged) EXPECT_EQ(b, off) << "seed " << seed;
    EXPECT_FALSE(lossy.model.coil(coil::Forward[c.axis])) << seed;
    lossy.ticks(3);
    EXPECT_FALSE(lossy.model.axisMoving(c.axis)) << seed;
  }
}

INSTANTIATE_TEST_SUITE_P(FiveAxes, AxisDebugAxis, ::testing::ValuesIn(kAxes), caseName);

// A controller that hears nothing (cable fault) while the button is released: the OFF is sent
// again and again, far past the silent-tick limit, and reaches the controller once it listens.
TEST(AxisDebug, OffIsRepeatedPastTheSilentLimitUntilTheControllerHearsIt) {
  ScreenEnv env;
  env.openTestPage("Xcmd");
  env.press("ZZXcmd");
  ASSERT_TRUE(env.tickUntil([&] { return env.model.coil(coil::Forward[reg::X]); }, 5));
  env.ticks(3);
  env.port()->setSilent(true);
  env.release("ZZXcmd");
  env.takeSent();
  env.ticks(60);
  const QList<QByteArray> sent = env.takeSent();
  EXPECT_GT(sent.size(), 8) << "well past the limit of 8 silent ticks";
  for (const QByteArray& b : sent) EXPECT_EQ(b, "010508340000");
  EXPECT_TRUE(env.model.axisMoving(reg::X)) << "the controller has not heard it yet";
  env.port()->setSilent(false);
  ASSERT_TRUE(env.tickUntil([&] { return !env.currentScreen()->exchange().hasSafetyWork(); }, 10));
  EXPECT_FALSE(env.model.coil(coil::Forward[reg::X]));
  env.ticks(2);
  EXPECT_FALSE(env.model.axisMoving(reg::X));
  EXPECT_TRUE(env.takeSent().value(1).startsWith("0103")) << "reading resumes where the cycle stood";
}

// Every way of leaving the page while a drive button is held gets the OFF to the controller
// before the port is closed.
TEST(AxisDebug, LeavingWhileHeldSendsTheOffBeforeThePortCloses) {
  struct Way { const char* what; std::function<void(ScreenEnv&)> leave; };
  const Way ways[] = {
      {"返回", [](ScreenEnv& e) { e.map().current()->control<QPushButton>("BCcmd")->click(); }},
      {"下一页", [](ScreenEnv& e) { e.map().current()->control<QPushButton>("XY1cmd")->click(); }},
      {"上一页", [](ScreenEnv& e) { e.map().current()->control<QPushButton>("SY3cmd")->click(); }},
      {"window closed", [](ScreenEnv& e) { e.map().current()->close(); }},
  };
  for (const Way& w : ways) {
    ScreenEnv env;
    QStringList line;  // what went out, and when the port closed
    env.onOpen = [&](SimPort& p) {
      QObject::connect(&p, &SimPort::requestSeen, [&line](const QByteArray& f) { line << QString::fromLatin1(f.mid(1, f.size() - 5)); });
      QObject::connect(&p, &QIODevice::aboutToClose, [&] {
        line << (env.model.coil(coil::Forward[reg::Y]) ? "closed, coil on" : "closed");
      });
    };
    env.openTestPage("Xcmd");
    env.press("ZZYcmd");
    ASSERT_TRUE(env.tickUntil([&] { return env.model.coil(coil::Forward[reg::Y]); }, 5));
    env.ticks(2);
    line.clear();
    w.leave(env);
    const auto closedAt = [&] {
      for (qsizetype i = 0; i < line.size(); ++i)
        if (line[i].startsWith("closed")) return i;
      return qsizetype{-1};
    };
    ASSERT_TRUE(ScreenEnv::until([&] { return closedAt() >= 0; })) << w.what;
    const qsizetype closed = closedAt();
    EXPECT_EQ(line.value(closed), "closed") << w.what;
    EXPECT_EQ(line.value(closed - 1), "010508350000") << w.what;
    EXPECT_EQ(line.first(), "010508350000") << w.what << ": nothing before the OFF";
    env.model.advance(50);
    EXPECT_FALSE(env.model.axisMoving(reg::Y)) << w.what;
  }
}

TEST(AxisDebug, LosingTheWindowWhileHeldStopsTheAxisAndTheScreenGoesOn) {
  ScreenEnv env;
  env.openTestPage("Acmd");
  env.press("FZAcmd");
  ASSERT_TRUE(env.tickUntil([&] { return env.model.coil(coil::Reverse[reg::A]); }, 5));
  QWidget other;
  other.show();
  QApplication::setActiveWindow(&other);  // the operator clicks into another program's window
  QEvent change(QEvent::ActivationChange);
  QApplication::sendEvent(env.map().current(), &change);
  ASSERT_TRUE(env.tickUntil([&] { return !env.currentScreen()->exchange().hasSafetyWork(); }, 5));
  EXPECT_FALSE(env.model.coil(coil::Reverse[reg::A]));
  EXPECT_TRUE(env.currentScreen()->portOpen());
  env.model.setPosition(reg::A, 4321);
  EXPECT_TRUE(env.tickUntil([&] { return env.text("ZAtxt") == "43.21"; }));
}

// Values that cannot go to the controller are refused with a message; nothing is written, the
// typed text stays and the apply button stays red.
TEST(AxisDebug, EntriesThatCannotBeSentAreRefused) {
  struct Case { const char* field; const char* typed; const char* button; QString message; std::uint16_t reg; };
  const Case cases[] = {
      {"JXtxt", "-1", "SXcmd", msg::negative(), reg::JogDistance[reg::X]},
      {"JXtxt", "655.36", "SXcmd", msg::tooLarge("655.35"), reg::JogDistance[reg::X]},
      {"JXtxt", "12mm", "SXcmd", msg::notANumber(), reg::JogDistance[reg::X]},
      {"JXtxt", "", "SXcmd", msg::notANumber(), reg::JogDistance[reg::X]},
      {"FXtxt", "2", "SX1cmd", "输入的信号范围不在0-1内", reg::JogDirection[reg::X]},
      {"XXtxt", "14", "SX2cmd", "输入的信号范围不在0-13内", reg::AxisParamReg[reg::ZeroInput][reg::X]},
      {"XXtxt", "-1", "SX2cmd", "输入的信号范围不在0-13内", reg::AxisParamReg[reg::ZeroInput][reg::X]},
  };
  ScreenEnv env;
  env.openTestPage("Xcmd");
  ASSERT_TRUE(env.tickUntil([&] { return env.text("XYtxt") == "0"; }));  // a whole read cycle
  for (const Case& k : cases) {
    env.boxes.clear();
    env.takeSent();
    env.type(k.field, QString::fromUtf8(k.typed));
    env.click(k.button);
    env.ticks(16);
    EXPECT_EQ(env.boxes, QStringList{k.message}) << k.field << " " << k.typed;
    for (const QByteArray& b : env.takeSent()) EXPECT_FALSE(b.startsWith("0110" + hex4(k.reg))) << b.constData();
    EXPECT_TRUE(env.isRed(k.button)) << k.button;
    EXPECT_EQ(env.text(k.field), QString::fromUtf8(k.typed)) << "the typed text stays";
  }
  env.type("JXtxt", "655.35");
  env.click("SXcmd");
  ASSERT_TRUE(env.tickUntil([&] { return !env.isRed("SXcmd"); }));
  EXPECT_EQ(env.model.reg(reg::JogDistance[reg::X]), 65535);
}

// The commissioning chain: 6 - 7 - 8 - 11 with previous and next pages, "上一页" of the first page
// leading to the axis parameter screen on X, and every page back to the test menu.
TEST(AxisDebug, PagesLeadWhereTheChainSays) {
  struct Walk { QList<const char*> clicks; const char* arrive; };
  const Walk walks[] = {
      {{"Xcmd", "XY1cmd", "XY2cmd", "XY3cmd"}, "Mainfrm11"},
      {{"Sdcmd", "SY5cmd", "SY5cmd", "SY4cmd"}, "Mainfrm6"},
      {{"Xcmd", "SY3cmd"}, "Mainfrm5"},
      {{"Xcmd", "BCcmd"}, "Mainfrm4"},
      {{"Ycmd", "BC1cmd"}, "Mainfrm4"},
      {{"Acmd", "BC2cmd"}, "Mainfrm4"},
      {{"Sdcmd", "BA3cmd"}, "Mainfrm4"},
      {{"inputcmd", "BAcmd"}, "Mainfrm4"},
      {{"outputcmd", "BAcmd"}, "Mainfrm4"},
  };
  for (const Walk& w : walks) {
    ScreenEnv env;
    env.start();
    env.click("Okcmd");
    env.click("Tstcmd");
    for (const char* b : w.clicks) {
      env.ticks(3);
      env.click(b);
    }
    ASSERT_NE(env.map().current(), nullptr);
    EXPECT_EQ(env.map().current()->objectName(), w.arrive) << w.clicks.first();
    EXPECT_EQ(env.openAtOnce, 1);
    EXPECT_EQ(env.map().loadedForms().size(), 1);
    if (QString(w.arrive) == "Mainfrm5") {
      EXPECT_EQ(env.map().current()->control<QLabel>("Szlel")->text(), QString()) << "no axis title";
      env.model.writeRegister(reg::AxisParamReg[reg::Microstep][reg::X], 16);
      env.ticks(30);
      EXPECT_EQ(env.map().current()->control<QLineEdit>("WQtxt")->text(), "16") << "it works on X";
    }
  }
}

}  // namespace
