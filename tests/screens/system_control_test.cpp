// The system control screen Mainfrm2 against the simulated controller, reached from
// the main screen as the operator reaches it.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "link/exchange.h"
#include "frames/registers.h"
#include "screens/run/system_control.h"
#include "screen_env.h"

using namespace lorvane;
using lorvane::test::ScreenEnv;

namespace {

class SystemControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env.start();
    env.click("Okcmd");
    env.drive(env.currentScreen());
    env.click("Xkcmd");
    ASSERT_NE(screen(), nullptr);
    ASSERT_EQ(screen()->objectName(), "Mainfrm2");
    env.takeSent();
  }
  ui::Screen* screen() { return env.currentScreen(); }
  QString text(const char* name) {
    if (auto* f = screen()->control<QLineEdit>(name)) return f->text();
    return screen()->control<QLabel>(name)->text();
  }
  ui::CmdButton* button(const char* name) { return screen()->control<ui::CmdButton>(name); }
  void clickField(const char* name) { QTest::mouseClick(screen()->control<QLineEdit>(name), Qt::LeftButton); }
  // One whole read cycle (22 reads, one per tick, each answered before the next tick).
  void cycle() { env.ticks(22); }
  QList<QByteArray> writesSent() { return env.takeWrites(); }

  ScreenEnv env;
};

// A write whose answers are all lost goes out again at each tick of 50 ms; after five silent ticks
// it is given up: its button stays red and the read cycle goes on.
TEST_F(SystemControlTest, TicksEvery50MsAndGivesUpAfterFiveSilentTicks) {
  cycle();
  env.type("Dltxt", "77");
  env.port()->dropNext(1000);
  env.click("lc1cmd");
  env.takeSent();
  int ticks = 0;
  QList<QByteArray> sent;
  while (ticks < 20 && !(sent.size() > 0 && sent.last().startsWith("0103"))) {
    const std::int64_t before = env.now;
    env.ticks(1);
    EXPECT_EQ(env.now - before, 50);
    ++ticks;
    sent << env.takeSent();
  }
  ASSERT_FALSE(sent.isEmpty());
  EXPECT_TRUE(sent.last().startsWith("0103")) << "the read cycle goes on";
  EXPECT_EQ(sent.count(sent.first()), sent.size() - 1) << "until then only the write";
  EXPECT_TRUE(sent.first().startsWith("011010DE")) << sent.first().toStdString();
  EXPECT_EQ(ticks, 7) << "the write's own tick, five silent ticks, then the read";
  EXPECT_TRUE(env.isRed("lc1cmd")) << "its button stays red";
}

TEST_F(SystemControlTest, ReadCycleFillsEveryFieldInThePartsOrder) {
  env.model.writeRegister(reg::CurrentProject, 3);
  env.model.writeRegister(reg::ProductionCount, 1234);
  env.model.writeRegister(reg::StartDelay, 250);
  env.model.writeRegister(reg::EndDelay, 300);
  env.model.writeRegister(reg::DrawingMode, 2);
  env.model.writeRegister(reg::StartSwitch, 4);
  env.model.writeRegister(reg::StopSwitch, 13);
  // Output Y3 on through the output test.
  env.model.writeRegister(reg::OutputTestNumber, 3);
  env.model.writeRegister(reg::OutputTestSetting, 0);
  env.model.writeCoil(coil::OutputTest, true);
  // Positions in hundredths: 12.34, 0.5, -0.05, -1.5 (FF6A FFFF, low word first) and 0.
  const std::int32_t positions[] = {1234, 50, -5, -150, 0};
  for (int a = 0; a < reg::AxisCount; ++a) env.model.setPosition(a, positions[a]);
  ASSERT_EQ(env.model.reg(0x10A0), 0xFF6A);
  ASSERT_EQ(env.model.reg(0x10A1), 0xFFFF);

  cycle();
  const QList<QByteArray> expected = {
      "010310250001", "010310DE0001", "010310580001", "0103105B0001", "0103105E0001", "0103105C0001",
      "0103105D0001", "0103105F0001", "010310600001", "010310610001", "010310620001", "010310630001",
      "0103105A0001", "010310590001", "010310240001", "010310640002", "010310660002", "010310680002",
      "010310A00002", "0103106A0002", "0103106E0001", "0103106F0001"};
  EXPECT_EQ(env.takeSent(), expected);
  struct Shown { const char* field; const char* text; };
  const Shown shown[] = {
      {"Dgtxt", "3"},      {"Dltxt", "1234"},   {"Djlel", "待机状态"}, {"Alel", "JA OFF"},
      {"Blel", "JB OFF"},  {"Clel", "JC OFF"},  {"Dlel", "JD OFF"},   {"Elel", "JE OFF"},
      {"Y1lel", "Y1 OFF"}, {"Y2lel", "Y2 OFF"}, {"Y3lel", "Y3 ON"},   {"Y4lel", "Y4 OFF"},
      {"XYclel", "xy轴画直线"}, {"Qytxt", "250"}, {"Jytxt", "300"},  {"Xtxt", "12.34"},
      {"Ytxt", "0.5"},     {"Ztxt", "-0.05"},   {"Ctxt", "-1.5"},     {"Atxt", "0"},
      {"Qktxt", "4"},      {"Tktxt", "13"},
  };
  for (const Shown& s : shown) EXPECT_EQ(text(s.field), QString::fromUtf8(s.text)) << s.field;
  EXPECT_EQ(env.takeSent(), QList<QByteArray>()) << "all answered within the cycle";
  env.ticks(1);
  EXPECT_EQ(env.takeSent(), QList<QByteArray>{"010310250001"}) << "and the cycle starts again";
}

TEST_F(SystemControlTest, DisplayRulesForStatusSignalsAndDrawingMode) {
  struct Case { std::uint16_t reg; int value; const char* field; const char* text; };
  const Case cases[] = {
      {reg::RunStatus, 0, "Djlel", "待机状态"}, {reg::RunStatus, 1, "Djlel", "第01步"},
      {reg::RunStatus, 50, "Djlel", "第50步"},  {reg::RunStatus, 60, "Djlel", ""},
      {reg::DrawingMode, 1, "XYclel", "xyc轴画圆弧"}, {reg::DrawingMode, 3, "XYclel", "多轴普通功能"},
      {reg::DrawingMode, 4, "XYclel", ""},
  };
  for (const Case& c : cases) {
    env.model.writeRegister(c.reg, static_cast<std::uint16_t>(c.value));
    cycle();
    EXPECT_EQ(text(c.field), QString::fromUtf8(c.text)) << c.field << " " << c.value;
  }
}

TEST_F(SystemControlTest, RunningStepShowsItsNumberAndTicksEvery10Ms) {
  cycle();
  EXPECT_EQ(screen()->exchange().interval(), 50);
  env.model.writeRegister(reg::RunStatus, 7);
  cycle();
  EXPECT_EQ(text("Djlel"), "第07步");
  EXPECT_EQ(screen()->exchange().interval(), 10);
  EXPECT_EQ(screen()->timer().interval(), 10);
  env.model.writeRegister(reg::RunStatus, 0);
  cycle();
  EXPECT_EQ(text("Djlel"), "待机状态");
  EXPECT_EQ(screen()->exchange().interval(), 10) << "10 ms until the screen is left";
}

// 9600 baud, 5 ms before the controller answers, a step running (10 ms ticks): the cycle runs at
// the speed of the line, and each position is shown once in every cycle.
TEST_F(SystemControlTest, OnAPacedLineTheCycleTakesItsLineTimeAndEveryPositionRefreshes) {
  constexpr int kLatencyMs = 5;
  env.port()->setPacing(kLatencyMs, [this] { return double(env.now); });
  env.model.writeRegister(reg::RunStatus, 7);
  env.ticks(100);
  ASSERT_EQ(screen()->exchange().interval(), 10);

  QList<std::int64_t> starts;  // when each cycle's first read went out
  QObject::connect(env.port(), &test::SimPort::requestSeen, env.port(), [&](const QByteArray& frame) {
    if (frame.contains("010310250001")) starts << env.now;
  });
  QList<std::pair<std::int64_t, QString>> shown;
  QObject::connect(&screen()->exchange(), &Exchange::fieldShown, screen(),
                   [&](const Name& field, const QString&) { shown << std::pair{env.now, field}; });
  env.ticks(500);  // 5 s
  ASSERT_GE(starts.size(), 5);

  // 22 requests of 17 characters; 17 replies of 15 characters and 5 (the positions) of 19.
  const double lineMs = (22 * 17 + 17 * 15 + 5 * 19) * test::SimPort::kCharMs + 22 * kLatencyMs;
  for (qsizetype c = 0; c + 1 < starts.size(); ++c) {
    const double took = double(starts[c + 1] - starts[c]);
    EXPECT_GE(took, lineMs) << "cycle " << c;
    EXPECT_LE(took, 1.05 * lineMs) << "cycle " << c;
    for (const char* field : {"Xtxt", "Ytxt", "Ztxt", "Ctxt", "Atxt"}) {
      const auto n = std::count_if(shown.begin(), shown.end(), [&](const auto& s) {
        return s.first >= starts[c] && s.first < starts[c + 1] && s.second == field;
      });
      EXPECT_EQ(n, 1) << field << " in cycle " << c;
    }
  }
}

TEST_F(SystemControlTest, StartRunsTheProjectAndStopHaltsIt) {
  env.model.loadDemo();
  cycle();
  env.takeSent();
  env.click("Qdcmd");
  EXPECT_EQ(button("Qdcmd")->shownColour(), ui::Red);
  env.ticks(1);
  EXPECT_EQ(env.takeSent(), QList<QByteArray>{"01050832FF00"});
  EXPECT_TRUE(env.model.running());
  EXPECT_EQ(button("Qdcmd")->shownColour(), 0x8080FFu);
  EXPECT_EQ(button("Tzcmd")->shownColour(), 0x8080FFu);
  env.ticks(1);
  EXPECT_EQ(env.takeSent(), QList<QByteArray>{"010310580001"}) << "the cycle resumes at the run status";
  EXPECT_EQ(text("Djlel"), "第01步");
  EXPECT_EQ(screen()->exchange().interval(), 10);
  // While the first step moves X and Y, their signals light and its drawing mode shows.
  EXPECT_TRUE(ScreenEnv::until([&] {
    env.ticks(1);
    return text("Alel") == "JA ON" && text("Blel") == "JB ON" && text("XYclel") == "多轴普通功能";
  }, 5000));

  env.click("Tzcmd");
  EXPECT_EQ(button("Tzcmd")->shownColour(), ui::Red);
  env.takeSent();
  env.ticks(2);
  EXPECT_EQ(writesSent(), QList<QByteArray>{"01050833FF00"});
  EXPECT_FALSE(env.model.running());
  EXPECT_EQ(button("Tzcmd")->shownColour(), 0x8080FFu);
  cycle();
  EXPECT_EQ(text("Djlel"), "待机状态");
}

TEST_F(SystemControlTest, StopGoesFirstDropsAWaitingStartAndRepeatsUntilAnswered) {
  env.model.loadDemo();
  cycle();
  env.click("Qdcmd");
  env.click("Tzcmd");  // before the start has gone out
  env.port()->dropNext(2);  // the stop's first two answers are lost
  env.ticks(12);
  const QList<QByteArray> writes = writesSent();
  EXPECT_FALSE(writes.contains("01050832FF00")) << "the waiting start is dropped by the stop";
  ASSERT_GE(writes.count("01050833FF00"), 3) << "the stop is sent again until answered";
  EXPECT_FALSE(env.model.running());
  EXPECT_EQ(button("Qdcmd")->shownColour(), 0x8080FFu);
  EXPECT_EQ(button("Tzcmd")->shownColour(), 0x8080FFu);

  // A start clicked after a stop that is still out waits behind it and is not lost either.
  env.click("Tzcmd");
  env.click("Qdcmd");
  env.ticks(3);
  EXPECT_EQ(writesSent(), (QList<QByteArray>{"01050833FF00", "01050832FF00"}));
  EXPECT_TRUE(env.model.running());
}

TEST_F(SystemControlTest, ClickingTheCountStopsOnlyTheCountsRefresh) {
  cycle();
  clickField("Dltxt");
  env.model.writeRegister(reg::ProductionCount, 77);
  env.model.writeRegister(reg::RunStatus, 3);
  env.model.setPosition(reg::X, 4200);
  env.model.writeRegister(reg::StopSwitch, 6);
  env.takeSent();
  env.ticks(42);  // two cycles without the count
  const QList<QByteArray> sent = env.takeSent();
  EXPECT_FALSE(sent.contains("010310DE0001"));
  EXPECT_EQ(sent.count("010310580001"), 2);
  EXPECT_EQ(sent.count("010310640002"), 2);
  EXPECT_EQ(text("Dltxt"), "0") << "the count is not overwritten";
  EXPECT_EQ(text("Djlel"), "第03步");
  EXPECT_EQ(text("Xtxt"), "42");
  EXPECT_EQ(text("Tktxt"), "6");

  // "修改" writes what was typed; the count is read again afterwards.
  env.type("Dltxt", "500");
  env.click("lc1cmd");
  env.ticks(2);
  EXPECT_EQ(env.model.reg(reg::ProductionCount), 500);
  EXPECT_EQ(button("lc1cmd")->shownColour(), 0xC0FFFFu);
  env.model.writeRegister(reg::ProductionCount, 501);
  cycle();
  EXPECT_EQ(text("Dltxt"), "501");
}

TEST_F(SystemControlTest, SwitchInputOutOfRangeIsRefusedWithThePartsMessage) {
  cycle();
  // Nothing of the sequence is sent, and the button stays red, even after a cycle.
  EXPECT_EQ(env.typeAndClick({{"Qktxt", "14"}}, "Qtcmd", 25), ScreenEnv::refused("输入的信号范围不在1-13内"));
  EXPECT_EQ(text("Qktxt"), "14");

  EXPECT_EQ(env.typeAndClick({{"Qktxt", "0"}, {"Tktxt", "14"}}, "Qtcmd", 3),
            ScreenEnv::refused("输入的信号范围不在1-13内"))
      << "the stop switch is checked before the start switch is written";
}

TEST_F(SystemControlTest, ZeroAndZeroAreSavedAsTwoWritesThenTheSaveCoil) {
  // The controller keeps 4 and 5 at first.
  env.model.writeRegister(reg::StartSwitch, 4);
  env.model.writeRegister(reg::StopSwitch, 5);
  env.model.writeCoil(coil::SaveParameters, true);
  env.model.advance(500);
  cycle();
  ASSERT_EQ(text("Qktxt"), "4");
  env.type("Qktxt", "0");
  env.type("Tktxt", "0");
  env.click("Qtcmd");
  EXPECT_TRUE(env.boxes.isEmpty());
  // The save coil's first answer is lost: it goes out again until answered.
  int coilsSeen = 0;
  QObject::connect(env.port(), &test::SimPort::requestSeen, env.port(), [&](const QByteArray& frame) {
    if (frame.contains("0105080AFF00") && coilsSeen++ == 0) env.port()->dropNext(1);
  });
  env.ticks(8);
  EXPECT_EQ(writesSent(), (QList<QByteArray>{"0110106E0001020000", "0110106F0001020000", "0105080AFF00",
                                             "0105080AFF00"}));
  EXPECT_EQ(button("Qtcmd")->shownColour(), 0x80FFu);
  EXPECT_EQ(env.model.reg(reg::StartSwitch), 0);
  EXPECT_EQ(env.model.reg(reg::StopSwitch), 0);
  EXPECT_FALSE(screen()->exchange().isLocked("Qktxt"));
  EXPECT_FALSE(screen()->exchange().isLocked("Tktxt"));

  // The controller has kept them.
  env.model.advance(500);
  QTemporaryDir dir;
  ASSERT_TRUE(env.model.save(dir.filePath("state.json")));
  sim::ControllerModel restarted;
  ASSERT_TRUE(restarted.load(dir.filePath("state.json")));
  EXPECT_EQ(restarted.reg(reg::StartSwitch), 0);
  EXPECT_EQ(restarted.reg(reg::StopSwitch), 0);
}

TEST_F(SystemControlTest, SaveRefusedUntilBothSwitchFieldsAreKnown) {
  env.click("Qtcmd");
  EXPECT_EQ(env.boxes, QStringList{msg::unknown()});
  env.ticks(2);
  EXPECT_TRUE(writesSent().isEmpty());
  EXPECT_EQ(button("Qtcmd")->shownColour(), ui::Red);
}

TEST_F(SystemControlTest, SaveButtonStaysRedUnlessTheSaveCoilIsAnswered) {
  cycle();
  QObject::connect(env.port(), &test::SimPort::requestSeen, env.port(), [this](const QByteArray& frame) {
    if (frame.contains("0105080AFF00")) env.port()->dropNext(1);
  });
  env.click("Qtcmd");
  env.ticks(100);
  const QList<QByteArray> writes = writesSent();
  ASSERT_GE(writes.size(), 3);
  EXPECT_EQ(writes[2], "0105080AFF00");
  EXPECT_EQ(button("Qtcmd")->shownColour(), ui::Red) << "complete read cycles do not restore it";
}

TEST_F(SystemControlTest, BackToTheMainScreen) {
  env.click("Bacmd");
  ASSERT_NE(env.currentScreen(), nullptr);
  EXPECT_EQ(env.currentScreen()->objectName(), "Mainfrm1");
  EXPECT_EQ(env.openAtOnce, 1);
}

}  // namespace
