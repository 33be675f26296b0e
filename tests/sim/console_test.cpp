// Commands typed into lorvane-sim: the fault and input commands do what they say, and a
// malformed command changes nothing.
#include <gtest/gtest.h>

#include "console.h"
#include "frames.h"

namespace lorvane::sim {
namespace {

class ConsoleTest : public ::testing::Test {
 protected:
  // Answers of the slave to n reads, after the line faults: 'a' answered, 'd' dropped,
  // 'c' corrupted, 'x' exception.
  QString line(int n) {
    QString out;
    const QByteArray request = buildFrame(readBody(reg::ProductionCount, 1));
    for (int i = 0; i < n; ++i) {
      const QByteArray reply = slave.handle(request);
      const QByteArray sent = faults.apply(reply);
      out += sent.isEmpty() ? 'd' : sent != reply ? 'c' : sent.mid(3, 2) == "83" ? 'x' : 'a';
    }
    return out;
  }

  ControllerModel model;
  Slave slave{model};
  Faults faults;
  int delay = -1;
  int garbage = 0;
  Console console{model, slave, faults, ConsoleHooks{[this](int ms) { delay = ms; }, [this] { ++garbage; }, {}, {}, {}}};
};

TEST_F(ConsoleTest, FaultCommandsShapeTheNextReplies) {
  console.run("drop 2");
  EXPECT_EQ(line(3), "dda");
  console.run("corrupt 1");
  EXPECT_EQ(line(2), "ca");
  console.run("exception 2 3");
  EXPECT_EQ(line(3), "xxa");
  console.run("drop 100%");
  EXPECT_EQ(line(3), "ddd");
  console.run("drop 0%");
  EXPECT_EQ(line(2), "aa");
  console.run("delay 250");
  EXPECT_EQ(delay, 250);
  console.run("garbage");
  EXPECT_EQ(garbage, 1);
}

TEST_F(ConsoleTest, InputsRegistersAndCoils) {
  console.run("in 3 1");
  EXPECT_TRUE(model.input(3));
  console.run("in 3 0");
  EXPECT_FALSE(model.input(3));
  console.run("set 10DE 12");
  EXPECT_EQ(model.reg(reg::ProductionCount), 12);
  EXPECT_EQ(console.run("get 0x10de"), "10DE = 12");
  console.run("pos y -1.5");
  EXPECT_EQ(model.position(reg::Y), -150);
  console.run("coil 0834 on");
  EXPECT_TRUE(model.axisMoving(reg::X));
  console.run("coil 0834 off");
  EXPECT_FALSE(model.axisMoving(reg::X));
  EXPECT_TRUE(console.run("state").contains("standby"));
}

TEST_F(ConsoleTest, MalformedCommandsChangeNothing) {
  for (const char* bad : {"in 14 1", "in 3 2", "in 3", "drop -1", "drop 150%", "drop lots", "set 10DE 70000",
                          "set 2000 1", "coil 0834 maybe", "pos Q 1", "exception", "delay -5", "frobnicate"}) {
    const QString answer = console.run(bad);
    EXPECT_TRUE(answer.startsWith("usage") || answer.startsWith("unknown") || answer == "refused") << bad << " -> " << answer.toStdString();
  }
  EXPECT_EQ(line(2), "aa");
  EXPECT_EQ(delay, -1);
  for (int n = 1; n <= kInputs; ++n) EXPECT_FALSE(model.input(n));
  EXPECT_EQ(model.reg(reg::ProductionCount), 0);
  EXPECT_FALSE(model.coil(0x0834));
}

}  // namespace
}  // namespace lorvane::sim
