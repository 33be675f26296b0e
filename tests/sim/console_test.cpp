// Commands typed into lorvane-sim: the fault and input commands do what they say, and a
// malformed command changes nothing.
#include <gtest/gtest.h>

#include "sim/console.h"
#include "frames/frames.h"

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
  int garbage = 0;
  Console console{model, slave, faults, ConsoleHooks{[this] { ++garbage; }, {}, {}, {}}};
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
  EXPECT_EQ(faults.delayMin(), 250);
  EXPECT_EQ(faults.delayMax(), 250);
  console.run("garbage");
  EXPECT_EQ(garbage, 1);
}

// Slow, repeating, silent and every-n-th-losing controllers, one command after the other: the
// faults after each, and what the next four replies become.
TEST_F(ConsoleTest, LateRepeatedSilentAndEveryNthLostReplies) {
  struct Case {
    const char* command;
    int delayMin, delayMax, repeatMs;
    bool silent;
    int dropEvery;
    const char* replies;
  };
  const Case cases[] = {
      {"delay 20 80", 20, 80, 0, false, 0, "aaaa"},
      {"delay 30", 30, 30, 0, false, 0, "aaaa"},
      {"delay 40 40", 40, 40, 0, false, 0, "aaaa"},
      {"repeat 120", 40, 40, 120, false, 0, "aaaa"},
      {"silent on", 40, 40, 120, true, 0, "aaaa"},
      {"delay 0", 0, 0, 120, true, 0, "aaaa"},
      {"silent OFF", 0, 0, 120, false, 0, "aaaa"},
      {"repeat 0", 0, 0, 0, false, 0, "aaaa"},
      {"drop every 2", 0, 0, 0, false, 2, "adad"},
      {"drop every 3", 0, 0, 0, false, 3, "aada"},  // counting starts again with the command
      {"drop 1", 0, 0, 0, false, 3, "ddaa"},  // the 5th by "drop 1", the 6th as every third
      {"drop every 1", 0, 0, 0, false, 0, "aaaa"},
      {"drop every 2", 0, 0, 0, false, 2, "adad"},
      {"drop every 0", 0, 0, 0, false, 0, "aaaa"},
  };
  for (const Case& c : cases) {
    const QString answer = console.run(c.command);
    EXPECT_FALSE(answer.startsWith("usage")) << c.command << " -> " << answer.toStdString();
    EXPECT_EQ(faults.delayMin(), c.delayMin) << c.command;
    EXPECT_EQ(faults.delayMax(), c.delayMax) << c.command;
    EXPECT_EQ(faults.repeatMs(), c.repeatMs) << c.command;
    EXPECT_EQ(faults.silent(), c.silent) << c.command;
    EXPECT_EQ(faults.dropEvery(), c.dropEvery) << c.command;
    EXPECT_EQ(line(4), c.replies) << c.command;
  }
  console.run("delay 5 50");
  console.run("repeat 70");
  console.run("silent on");
  console.run("drop every 4");
  const QString state = console.run("state");
  for (const char* shown : {"delay 5..50 ms", "repeat after 70 ms", "silent on", "every 4th"})
    EXPECT_TRUE(state.contains(shown)) << shown << " not in: " << state.toStdString();
  for (const char* listed : {"drop every N", "delay MS [MAXMS]", "repeat MS", "silent on|off"})
    EXPECT_TRUE(Console::help().contains(listed)) << listed;
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
                          "set 2000 1", "coil 0834 maybe", "pos Q 1", "exception", "delay -5", "frobnicate",
                          "delay 80 20", "delay 10 x", "delay 1 2 3", "delay", "delay 70000", "repeat", "repeat -1",
                          "repeat 5 6", "silent", "silent maybe", "silent on now", "drop every", "drop every -2",
                          "drop every x", "drop every 2 3", "corrupt every 2"}) {
    const QString answer = console.run(bad);
    EXPECT_TRUE(answer.startsWith("usage") || answer.startsWith("unknown") || answer == "refused") << bad << " -> " << answer.toStdString();
  }
  EXPECT_EQ(line(4), "aaaa");
  EXPECT_EQ(faults.delayMax(), 0);
  EXPECT_EQ(faults.repeatMs(), 0);
  EXPECT_FALSE(faults.silent());
  for (int n = 1; n <= kInputs; ++n) EXPECT_FALSE(model.input(n));
  EXPECT_EQ(model.reg(reg::ProductionCount), 0);
  EXPECT_FALSE(model.coil(0x0834));
}

// The project and step commands show what the screens set, without changing the selection.
TEST_F(ConsoleTest, ProjectAndStepShowWhatIsStored) {
  model.writeRegister(reg::CurrentProject, 2);
  model.writeRegister(reg::StepCount, 12);
  model.writeRegister(reg::CurrentStep, 5);
  model.writeCoil(coil::ChooseLine, true);
  model.writeRegister(reg::StepStartDelay, 250);
  model.writeRegister(reg::CurrentProject, 1);
  EXPECT_EQ(console.run("project 2"),
            "project 2: 12 steps, loops 0, speed 100%, next project 0 (changed since kept)\n  step 5: line");
  EXPECT_EQ(console.run("step 2 5"),
            "project 2 step 5: line, start delay 250 ms (changed since kept)\n  1043=250 10FE=1 10FF=1");
  EXPECT_EQ(console.run("step 4"), "project 1 step 4: not set, start delay 0 ms (as kept)\n  all registers 0");
  EXPECT_TRUE(console.run("step 2 51").startsWith("no step 51"));
  EXPECT_TRUE(console.run("project x").startsWith("usage"));
  EXPECT_EQ(model.currentProject(), 1);
  EXPECT_EQ(model.currentStep(), 5);
}

}  // namespace
}  // namespace lorvane::sim
