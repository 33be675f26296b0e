// A controller that answers late, twice, or not at all: a late answer is never taken for the
// answer to the next read, so no value is ever shown in another register's field, and nothing
// read from the wrong register is ever written back. On a lossy line every field of a long cycle
// keeps being refreshed.
#include <gtest/gtest.h>

#include <QHash>
#include <QLineEdit>

#include "link/registers.h"
#include "screen_env.h"

using namespace lorvane;
using lorvane::test::ScreenEnv;
using lorvane::test::SimPort;

namespace {

// Every register of the system control screen's cycle holding a value no other field shows.
QHash<QString, QString> distinctValues(sim::ControllerModel& m) {
  m.writeRegister(reg::CurrentProject, 7);
  m.writeRegister(reg::ProductionCount, 4321);
  m.writeRegister(reg::DrawingMode, 3);
  m.writeRegister(reg::StartDelay, 1500);
  m.writeRegister(reg::EndDelay, 2500);
  m.writeRegister(reg::StartSwitch, 11);
  m.writeRegister(reg::StopSwitch, 12);
  const std::int32_t at[] = {12345, -67890, 9876543, -7, 200000};
  for (int a = 0; a < reg::AxisCount; ++a) m.setPosition(a, at[a]);
  return {{"Dgtxt", "7"},         {"Dltxt", "4321"},      {"Djlel", "待机状态"},   {"XYclel", "多轴普通功能"},
          {"Qytxt", "1500"},      {"Jytxt", "2500"},      {"Xtxt", "123.45"},    {"Ytxt", "-678.9"},
          {"Ztxt", "98765.43"},   {"Ctxt", "-0.07"},      {"Atxt", "2000"},      {"Qktxt", "11"},
          {"Tktxt", "12"},        {"Alel", "JA OFF"},     {"Blel", "JB OFF"},    {"Clel", "JC OFF"},
          {"Dlel", "JD OFF"},     {"Elel", "JE OFF"},     {"Y1lel", "Y1 OFF"},   {"Y2lel", "Y2 OFF"},
          {"Y3lel", "Y3 OFF"},    {"Y4lel", "Y4 OFF"}};
}

struct Shown {
  int values = 0;
  QStringList wrong;  // "field: text"
  QHash<QString, QList<std::int64_t>> at;  // when each field was refreshed
};

// The system control screen for `seconds` of line time on a controller set up by `line`.
Shown runSystemControl(const std::function<void(SimPort&)>& line, int seconds) {
  ScreenEnv env;
  const QHash<QString, QString> expected = distinctValues(env.model);
  env.onOpen = [&](SimPort& p) {
    p.setPacing(5, [&env] { return double(env.now); });
    line(p);
  };
  env.start();
  env.click("Okcmd");
  env.drive(env.currentScreen());
  env.click("Xkcmd");
  Shown shown;
  QObject::connect(&env.currentScreen()->exchange(), &Exchange::fieldShown, [&](const Name& field, const QString& text) {
    ++shown.values;
    shown.at[field] << env.now;
    if (expected.value(field) != text) shown.wrong << field + ": " + text;
  });
  const std::int64_t end = env.now + seconds * 1000;
  while (env.now < end) env.ticks(1);
  return shown;
}

TEST(SlowController, LateAnswersNeverLandInAnotherField) {
  struct Case { const char* what; std::function<void(SimPort&)> line; int least; };
  const Case cases[] = {
      {"0 ms", [](SimPort& p) { p.setLatency(0); }, 200},
      {"100 ms", [](SimPort& p) { p.setLatency(100); }, 50},
      {"200 ms", [](SimPort& p) { p.setLatency(200); }, 30},
      {"400 ms", [](SimPort& p) { p.setLatency(400); }, 15},
      {"700 ms", [](SimPort& p) { p.setLatency(700); }, 10},
      {"900 ms", [](SimPort& p) { p.setLatency(900); }, 8},
      {"0 to 300 ms at random", [](SimPort& p) { p.setLatencyRange(0, 300); }, 20},
      {"every answer twice, 60 ms apart", [](SimPort& p) { p.setRepeatAfter(60); }, 50},
      {"every answer twice, 30 ms apart", [](SimPort& p) { p.setRepeatAfter(30); }, 50},
      {"twice 60 ms apart, 0 to 20 ms late", [](SimPort& p) { p.setLatencyRange(0, 20); p.setRepeatAfter(60); }, 50},
  };
  for (const Case& c : cases) {
    const Shown shown = runSystemControl(c.line, 20);
    EXPECT_TRUE(shown.wrong.isEmpty()) << c.what << ": " << shown.wrong.mid(0, 5).join(", ").toStdString();
    EXPECT_GE(shown.values, c.least) << c.what << ": a slow controller is read more slowly, but read";
  }
}

// Three replies in ten lost: the cycle goes on with the read that was lost, so the last fields of
// the 22 keep being refreshed as often as the first.
TEST(SlowController, LossyLineRefreshesEveryFieldOfALongCycle) {
  const Shown shown = runSystemControl([](SimPort& p) {
    p.setSeed(7);
    p.setDropFraction(0.3);
  }, 60);
  EXPECT_TRUE(shown.wrong.isEmpty());
  for (const char* field : {"Dgtxt", "Xtxt", "Atxt", "Tktxt"}) {
    const QList<std::int64_t> at = shown.at.value(field);
    ASSERT_GE(at.size(), 8) << field;
    std::int64_t gap = at.first();
    for (qsizetype i = 1; i < at.size(); ++i) gap = std::max(gap, at[i] - at[i - 1]);
    EXPECT_LT(gap, 12000) << field << " stayed stale too long";
  }
}

// The axis parameter screen on a controller 700 ms late: after reading, a download writes back
// exactly what each register held (a value read into the wrong field would be written into the
// wrong register).
TEST(SlowController, DownloadAfterLateReadsWritesEachRegisterItsOwnValue) {
  ScreenEnv env;
  QHash<std::uint16_t, std::uint16_t> held;
  const std::uint16_t values[] = {16, 300, 3, 4, 5, 180, 400, 30, 3200, 5000};
  for (int k = 0; k < reg::AxisParamCount; ++k) {
    env.model.writeRegister(reg::AxisParamReg[k][reg::X], values[k]);
    held[reg::AxisParamReg[k][reg::X]] = values[k];
  }
  env.onOpen = [&](SimPort& p) { p.setPacing(700, [&env] { return double(env.now); }); };
  env.start();
  env.click("Okcmd");
  env.drive(env.currentScreen());
  env.click("Refcmd");
  env.click("Xcmd");
  auto* screen = env.currentScreen();
  ASSERT_EQ(screen->objectName(), "Mainfrm5");
  env.drive(screen);
  // Until every field has been read at least once.
  ASSERT_TRUE(env.tickUntil([&] {
    for (const char* f : {"WQtxt", "TStxt", "JHtxt", "FXtxt", "ZXtxt", "DBtxt", "QPtxt", "JPtxt", "MCtxt", "JLtxt"})
      if (screen->control<QLineEdit>(f)->text() == "0" || screen->control<QLineEdit>(f)->text() == "0.00" ||
          screen->control<QLineEdit>(f)->text() == "0.000")
        return false;
    return true;
  }, 2000));
  EXPECT_EQ(screen->control<QLineEdit>("WQtxt")->text(), "16");
  EXPECT_EQ(screen->control<QLineEdit>("JLtxt")->text(), "5");
  env.takeWrites();
  env.click("SScmd");
  ASSERT_TRUE(env.tickUntil([&] { return !env.isRed("SScmd"); }, 2000));
  EXPECT_EQ(env.takeWrites().size(), reg::AxisParamCount + 1);
  for (auto it = held.cbegin(); it != held.cend(); ++it) EXPECT_EQ(env.model.reg(it.key()), it.value()) << Qt::hex << it.key();
}

}  // namespace
