// The engine stepped tick by tick against a scripted line, with the main screen's production
// count (one read, one write, one range) as the fixture, plus a few extra controls where a
// behaviour needs them.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "link/exchange.h"
#include "frames/frames.h"
#include "link/link.h"
#include "scripted_port.h"

using namespace lorvane;
using lorvane::test::ScriptedPort;

namespace {

const QString kRange = rangeMessage(QStringLiteral("0-65535"));

ScreenDecl mainScreen() {
  ScreenDecl d;
  d.intervalMs = 80;
  d.silentLimit = 5;
  d.reads = {Read{.reg = 0x10DE, .field = "LCtxt"}};
  Sequence write{.button = "lccmd",
                 .steps = {Write{.reg = 0x10DE, .field = "LCtxt", .range = Range{0, 65535, kRange}}},
                 .onClick = {RestartTimer{}},
                 .onDone = {KeepCycle{}}};
  d.sequences = {write};
  return d;
}

class Engine : public ::testing::Test {
 protected:
  void build(ScreenDecl decl) {
    ex = std::make_unique<Exchange>(std::move(decl));
    ex->setClock([this] { return now; });
    ex->setNotifier([this](const QString& m) {
      messages << m;
      if (duringMessage) duringMessage();
    });
    ex->setLink(&link);
  }
  void SetUp() override { build(mainScreen()); }

  // One tick, `ms` after the previous one; returns the body sent by it (empty if none).
  QByteArray step(int ms = 80) {
    now += ms;
    const auto before = port.written.size();
    ex->tick();
    return port.written.size() > before ? port.lastBody() : QByteArray();
  }
  void reply(const QByteArray& body) { port.deliver(buildFrame(body)); }
  void echo() { reply(port.lastBody().left(12)); }  // register writes echo 12 digits, coils all 12
  void answerWord(int v) { reply("010302" + hex4(static_cast<std::uint16_t>(v))); }
  void type(const QString& field, const QString& text) {
    ex->lockField(field);
    ex->typeField(field, text);
  }
  void readOnce(int value) {
    ASSERT_EQ(step(), "010310DE0001");
    answerWord(value);
  }

  ScriptedPort port;
  Link link{&port};
  std::unique_ptr<Exchange> ex;
  std::int64_t now = 0;
  QStringList messages;
  std::function<void()> duringMessage;
};

TEST_F(Engine, ReadCycleShowsValuesAndRepeats) {
  QStringList shown;
  QObject::connect(ex.get(), &Exchange::fieldShown, [&](const Name&, const QString& t) { shown << t; });
  readOnce(100);
  readOnce(40000);
  EXPECT_EQ(shown, (QStringList{"100", "40000"}));
  EXPECT_EQ(ex->fieldText("LCtxt"), "40000");
}

TEST_F(Engine, EditLockKeepsTypedTextAndStopsOnlyThatRead) {
  readOnce(7);
  type("LCtxt", "123");
  EXPECT_EQ(step(), QByteArray());
  EXPECT_EQ(step(), QByteArray());
  EXPECT_EQ(ex->fieldText("LCtxt"), "123");
}

TEST_F(Engine, WriteRepeatsUntilItsOwnEchoThenReadingResumes) {
  readOnce(7);
  type("LCtxt", "40000");
  ex->click("lccmd");
  EXPECT_TRUE(ex->isPending("lccmd"));
  EXPECT_EQ(step(), "011010DE0001029C40");
  EXPECT_EQ(step(), QByteArray()) << "nothing on top of a reply that may still arrive";
  now += Exchange::replyTimeoutMs("011010DE0001029C40");
  EXPECT_EQ(step(), "011010DE0001029C40") << "sent again once its reply time-out passed";
  answerWord(5);  // a read's answer while only the write is owed: no acknowledgement, the line is out of step
  EXPECT_TRUE(ex->isPending("lccmd"));
  echo();  // taken for nothing while the line settles
  EXPECT_TRUE(ex->isPending("lccmd"));
  EXPECT_EQ(ex->fieldText("LCtxt"), "40000") << "what the operator typed is not blanked";
  now += LineGuard::kSettleMs;
  EXPECT_EQ(step(), "011010DE0001029C40") << "sent again once the line has settled";
  echo();
  EXPECT_FALSE(ex->isPending("lccmd"));
  EXPECT_FALSE(ex->isLocked("LCtxt"));
  now += LineGuard::kMaxReplyMs;
  readOnce(40000);
  EXPECT_EQ(ex->fieldText("LCtxt"), "40000");
}

TEST_F(Engine, ReadReplyArrivingAfterAWriteClickDoesNotAcknowledgeIt) {
  readOnce(1);
  ASSERT_EQ(step(), "010310DE0001");  // read out, operator has not clicked into the field
  ex->typeField("LCtxt", "300");
  ex->click("lccmd");
  answerWord(1);  // the read's reply, arriving in what was literally the write phase
  EXPECT_TRUE(ex->isPending("lccmd"));
  EXPECT_EQ(step(), "011010DE000102012C") << "the write is still sent";
  echo();
  EXPECT_FALSE(ex->isPending("lccmd"));
}

TEST_F(Engine, RefusedInputSendsNothingAndKeepsTheText) {
  struct Case { const char* text; QString message; };
  const Case cases[] = {
      {"70000", kRange}, {"-1", kRange}, {"70000abc", kRange},  // range first, on the leading number
      {"12abc", msg::notANumber()}, {"", msg::notANumber()}, {"abc", msg::notANumber()},
  };
  readOnce(1);
  for (const Case& c : cases) {
    messages.clear();
    type("LCtxt", QString::fromUtf8(c.text));
    ex->click("lccmd");
    EXPECT_EQ(messages, QStringList{c.message}) << c.text;
    EXPECT_EQ(step(), QByteArray()) << c.text;
    EXPECT_TRUE(ex->isPending("lccmd"));
    EXPECT_TRUE(ex->isLocked("LCtxt"));
    EXPECT_EQ(ex->fieldText("LCtxt"), QString::fromUtf8(c.text));
  }
  type("LCtxt", "65535");  // a bound is allowed
  ex->click("lccmd");
  EXPECT_EQ(step(), "011010DE000102FFFF");
}

TEST_F(Engine, UnencodableValuesWithoutARangeAreRefused) {
  ScreenDecl d;
  d.sequences = {Sequence{.button = "SScmd",
                          .steps = {Write{.reg = 0x1006, .field = "MCtxt"},
                                    Write{.reg = 0x1007, .field = "JLtxt", .scale = 1000, .wholeText = true},
                                    Write{.reg = 0x1064, .field = "Xtxt", .count = 2, .scale = 100}}}};
  build(d);
  struct Case { const char* mc; const char* jl; const char* x; QString message; };
  const Case cases[] = {
      {"-1", "5", "0", msg::negative()},
      {"65536", "5", "0", msg::tooLarge("65535")},
      {"1600", "65.536", "0", msg::tooLarge("65.535")},
      {"1600", "5mm", "0", msg::notANumber()},
      {"1600", "5", "30000000", msg::tooLarge("21474836.47")},
  };
  for (const Case& c : cases) {
    messages.clear();
    type("MCtxt", c.mc);
    type("JLtxt", c.jl);
    type("Xtxt", c.x);
    ex->click("SScmd");
    EXPECT_EQ(messages, QStringList{c.message}) << c.mc << " " << c.jl << " " << c.x;
    EXPECT_EQ(step(), QByteArray());
  }
  type("MCtxt", "1600");
  type("JLtxt", "５");
  type("Xtxt", "-1.5");
  ex->click("SScmd");
  EXPECT_EQ(step(), "011010060001020640");
}

TEST_F(Engine, SequenceIsCheckedWholeBeforeAnythingIsSent) {
  ScreenDecl d;
  const Range r13{0, 13, rangeMessage("1-13")};
  d.reads = {Read{.reg = 0x106E, .field = "Qktxt"}, Read{.reg = 0x106F, .field = "Tktxt"}};
  d.sequences = {Sequence{.button = "Qtcmd",
                          .steps = {Write{.reg = 0x106E, .field = "Qktxt", .range = r13},
                                    Write{.reg = 0x106F, .field = "Tktxt", .range = r13},
                                    Coil{.coil = 0x080A, .repeat = true}},
                          .clears = ClearLocks::All}};
  build(d);
  // Before the first read cycle the fields hold placeholders: no download of them.
  type("Qktxt", "3");
  ex->click("Qtcmd");
  EXPECT_EQ(messages, QStringList{msg::unknown()});
  EXPECT_EQ(step(), "0103106F0001") << "the locked first field is skipped, the cycle goes on";
  answerWord(2);
  // A bad last field: nothing at all is written.
  messages.clear();
  type("Tktxt", "14");
  ex->click("Qtcmd");
  EXPECT_EQ(messages, QStringList{rangeMessage("1-13")});
  EXPECT_EQ(step(), QByteArray());
  // Both good: two writes, then the save coil; red until the coil is answered.
  type("Tktxt", "0");
  ex->click("Qtcmd");
  EXPECT_EQ(step(), "0110106E0001020003");
  echo();
  EXPECT_EQ(step(), "0110106F0001020000");
  echo();
  EXPECT_EQ(step(), "0105080AFF00");
  EXPECT_TRUE(ex->isPending("Qtcmd"));
  echo();
  EXPECT_FALSE(ex->isPending("Qtcmd"));
  EXPECT_FALSE(ex->isLocked("Qktxt"));
}

TEST_F(Engine, SilentLimitRestartsReadsButNeverBeforeTheReplyTimeOut) {
  // 80 ms ticks, controller switched off: one single-shot read per five silent ticks, counted
  // from the send.
  QList<int> sentAt;
  for (int t = 1; t <= 16; ++t)
    if (!step().isEmpty()) sentAt << t;
  EXPECT_EQ(sentAt, (QList<int>{1, 6, 11, 16}));
  // 10 ms ticks: the limit of five ticks is shorter than the round trip; the read waits for its
  // time-out instead of being abandoned and sent again.
  build(mainScreen());
  sentAt.clear();
  const int timeout = Exchange::replyTimeoutMs("010310DE0001");
  for (int t = 1; t <= 40; ++t)
    if (!step(10).isEmpty()) sentAt << t;
  ASSERT_GE(sentAt.size(), 2);
  EXPECT_GE((sentAt[1] - sentAt[0]) * 10, timeout);
}

TEST_F(Engine, FastTicksSendTheNextReadAsSoonAsTheReplyIsIn) {
  build(mainScreen());
  ex->setInterval(10);
  ASSERT_EQ(step(10), "010310DE0001");
  EXPECT_EQ(step(10), QByteArray());
  const auto before = port.written.size();
  answerWord(3);
  EXPECT_EQ(port.written.size(), before + 1) << "a tick was owed while the line was busy";
}

TEST_F(Engine, AbandonedOrRefusedWriteLeavesTheButtonRed) {
  readOnce(1);
  ex->typeField("LCtxt", "5");  // typed without a click into the field: reads go on after
  ex->click("lccmd");
  QByteArray sent;  // never answered: given up at the silent limit, then reading resumes
  for (int t = 0; t < 20 && sent != "010310DE0001"; ++t) sent = step();
  ASSERT_EQ(sent, "010310DE0001");
  EXPECT_TRUE(ex->isPending("lccmd"));
  answerWord(9);  // the colour does not come back with a read
  EXPECT_TRUE(ex->isPending("lccmd"));

  type("LCtxt", "6");
  ex->click("lccmd");
  ASSERT_EQ(step(), "011010DE0001020006");
  reply("019004");  // the controller refuses
  EXPECT_TRUE(ex->isPending("lccmd"));
  EXPECT_EQ(step(), QByteArray()) << "locked field: the cycle has nothing to read";
  EXPECT_EQ(ex->fieldText("LCtxt"), "6") << "no field shows the exception's digits";
}

TEST_F(Engine, LockedFieldIsSkippedAndTheRestKeepsRefreshing) {
  ScreenDecl d;
  d.reads = {Read{.reg = 0x1025, .field = "Dgtxt"}, Read{.reg = 0x10DE, .field = "Dltxt"},
             Read{.reg = 0x1064, .count = 2, .field = "Xtxt", .scale = 100}};
  build(d);
  ex->lockField("Dltxt");
  EXPECT_EQ(step(), "010310250001");
  answerWord(2);
  EXPECT_EQ(step(), "010310640002");
  reply("010304FF6AFFFF");
  EXPECT_EQ(ex->fieldText("Xtxt"), "-1.5");
  EXPECT_EQ(step(), "010310250001");
}

class Jog : public Engine {
 protected:
  void SetUp() override {
    ScreenDecl d;
    d.intervalMs = 50;
    d.reads = {Read{.reg = 0x1064, .count = 2, .field = "Xtxt", .scale = 100}};
    d.momentaries = {Momentary{"ZXcmd", 0x0834}, Momentary{"FXcmd", 0x083C}};
    d.sequences = {Sequence{.button = "LCcmd", .steps = {Write{.reg = 0x10DE, .field = "Dltxt"}}}};
    build(d);
  }
};

TEST_F(Jog, OffIsRepeatedUntilAcknowledgedAndNothingGoesBeforeIt) {
  ex->press("ZXcmd");
  EXPECT_EQ(step(), "01050834FF00");
  echo();
  EXPECT_TRUE(ex->anyCoilOn());
  ex->release("ZXcmd");
  int offs = 0;
  for (int t = 0; t < 40; ++t) {  // far beyond the silent limit, replies lost
    now += 200;
    const QByteArray sent = step();
    if (!sent.isEmpty()) {
      EXPECT_EQ(sent, "010508340000") << "only the OFF goes out until it is answered";
      ++offs;
    }
  }
  EXPECT_GT(offs, 10);
  EXPECT_TRUE(ex->hasSafetyWork());
  echo();
  EXPECT_FALSE(ex->hasSafetyWork());
  EXPECT_FALSE(ex->anyCoilOn());
  EXPECT_EQ(step(), "010310640002");
}

TEST_F(Jog, ReleaseAndPressWithinOneTickSendsTheFirstOffFirst) {
  ex->press("ZXcmd");
  ASSERT_EQ(step(), "01050834FF00");
  echo();
  ex->release("ZXcmd");
  ex->press("FXcmd");
  EXPECT_EQ(step(), "010508340000");
  echo();
  EXPECT_EQ(step(), "0105083CFF00");
}

TEST_F(Jog, PressedAgainBeforeTheOffIsAnsweredTheCoilStillCountsOn) {
  ex->press("ZXcmd");
  ASSERT_EQ(step(), "01050834FF00");
  echo();
  ex->release("ZXcmd");
  ex->press("ZXcmd");
  EXPECT_EQ(step(), "010508340000");
  echo();  // the OFF is in, but the button is down again
  EXPECT_TRUE(ex->anyCoilOn());
  EXPECT_EQ(step(), "01050834FF00");
  echo();
  EXPECT_TRUE(ex->anyCoilOn());
  ex->release("ZXcmd");
  EXPECT_EQ(step(), "010508340000");
  echo();
  EXPECT_FALSE(ex->anyCoilOn());
}

TEST_F(Jog, QuickTapSendsOnlyTheOff) {
  ex->press("ZXcmd");
  ex->release("ZXcmd");
  EXPECT_EQ(step(), "010508340000");
  echo();
  EXPECT_EQ(step(), "010310640002");
}

TEST_F(Jog, UnansweredOnIsNotRetriedAfterRelease) {
  ex->press("ZXcmd");
  ASSERT_EQ(step(), "01050834FF00");
  ex->release("ZXcmd");
  now += 1000;
  EXPECT_EQ(step(), "010508340000");
  echo();
  for (int t = 0; t < 5; ++t) {
    const QByteArray sent = step();
    EXPECT_NE(sent, "01050834FF00");
    if (!sent.isEmpty()) answerWord(0);
  }
}

TEST_F(Jog, MessageBoxLetsOnlyOffsThrough) {
  ex->press("ZXcmd");
  ASSERT_EQ(step(), "01050834FF00");
  echo();
  QList<QByteArray> sentDuringBox;
  duringMessage = [&] {
    ex->release("ZXcmd");  // the operator lets go while the box is up
    for (int t = 0; t < 3; ++t) {
      const QByteArray s = step();
      if (!s.isEmpty()) {
        sentDuringBox << s;
        echo();
      }
    }
  };
  type("Dltxt", "abc");
  ex->click("LCcmd");
  EXPECT_EQ(sentDuringBox, QList<QByteArray>{"010508340000"});
}

TEST_F(Jog, UnansweredOffIsToldOnceAfterASecondAndKeepsGoingOut) {
  int told = 0;
  QObject::connect(ex.get(), &Exchange::stopNotDelivered, [&] { ++told; });
  ex->press("ZXcmd");
  ASSERT_EQ(step(), "01050834FF00");
  echo();
  ex->release("ZXcmd");
  int offs = 0;
  for (int t = 0; t < 60; ++t) offs += step() == "010508340000";  // three seconds unanswered
  EXPECT_EQ(told, 1);
  EXPECT_GT(offs, 10);
  echo();
  EXPECT_FALSE(ex->anyCoilOn());
}

TEST_F(Jog, LeavingTakesNoMoreClicksOrPressesAndSendsOnlyTheOff) {
  ex->typeField("Dltxt", "9");
  ex->click("LCcmd");  // waiting, not yet sent
  ex->press("ZXcmd");
  ex->beginLeave();    // the held button is released on the way out
  ex->press("FXcmd");
  ex->click("LCcmd");
  QList<QByteArray> sent;
  for (int t = 0; t < 10; ++t) {
    const QByteArray s = step();
    if (!s.isEmpty()) {
      sent << s;
      echo();
    }
  }
  EXPECT_EQ(sent, QList<QByteArray>{"010508340000"});
  EXPECT_FALSE(ex->anyCoilOn());
}

// The steps and conditions a project screen needs, on a small screen of their own.
class Steps : public Engine {
 protected:
  void SetUp() override {
    ScreenDecl d{.intervalMs = 50};
    d.reads = {Read{.reg = 0x1025, .field = "PRtxt"},
               Read{.reg = 0x10FF, .field = "Label9", .texts = {{2, "开启XYZCA轴普通功能"}},
                    .also = {Show{"Label8", {{1, "关闭XY轴画直线"}, {2, "关闭XY轴画直线"}}}}}};
    d.sequences = {
        Sequence{.button = "PRcmd", .steps = {Write{.reg = 0x1025, .field = "PRtxt", .range = range(1, 10)}},
                 .onDone = {ForgetBanked{}}},
        Sequence{.button = "QCcmd",
                 .steps = {Coil{.coil = 0x0809}},
                 .confirm = Confirm{" 删除数据提醒",
                                    [](const auto& lastRead) {
                                      return QStringLiteral("是否删除%1号工程的基本参数？").arg(lastRead("PRtxt").value_or(0));
                                    }},
                 .guards = {refusedWhile({"PRcmd"}, "busy"), needsRead({"PRtxt"}, "unread")}},
        Sequence{.button = "DQcmd", .steps = {Pulse{.coil = 0x0808, .onMs = 2000, .afterMs = 2000, .undelivered = "not reset"}}},
    };
    build(d);
    ex->setAsker([this](const QString& title, const QString& text) {
      asked << title + "|" + text;
      return answer;
    });
  }
  QStringList asked;
  bool answer = false;
};

TEST_F(Steps, ConfirmationNamesTheProjectReadAndCancelSendsNothing) {
  ex->click("QCcmd");
  EXPECT_EQ(messages, QStringList{"unread"}) << "not before the project number has been read";
  messages.clear();
  ASSERT_EQ(step(), "010310250001");
  answerWord(3);
  ex->typeField("PRtxt", "7");  // typed, not yet written: the question names the project read
  ex->click("QCcmd");
  EXPECT_EQ(asked, QStringList{" 删除数据提醒|是否删除3号工程的基本参数？"});
  EXPECT_FALSE(ex->isPending("QCcmd"));
  for (int t = 0; t < 3; ++t) {
    const QByteArray sent = step();
    EXPECT_FALSE(sent.startsWith("0105")) << "Cancel sends nothing";
    if (!sent.isEmpty()) answerWord(2);
  }
  answer = true;
  ex->click("PRcmd");
  ex->click("QCcmd");
  EXPECT_EQ(messages, QStringList{"busy"}) << "refused while the project number is not acknowledged";
}

TEST_F(Steps, ThePulseWaitsSendingNothingAndItsOffIsGuaranteed) {
  ex->click("DQcmd");
  EXPECT_EQ(step(), "01050808FF00");
  echo();
  QList<QByteArray> during;
  for (int t = 0; t < 38; ++t) during << step(50);  // 1.9 s of the 2 s wait
  EXPECT_EQ(during.join(), QByteArray()) << "a timed wait sends nothing";
  EXPECT_TRUE(ex->isPending("DQcmd"));
  // A message box opens: the OFF still goes out when the time is up.
  duringMessage = [&] {
    QByteArray s;
    for (int t = 0; t < 4 && s.isEmpty(); ++t) s = step(50);
    EXPECT_EQ(s, "010508080000");
    echo();
  };
  type("PRtxt", "abc");
  ex->click("PRcmd");
  for (int t = 0; t < 38; ++t) EXPECT_EQ(step(50), QByteArray()) << "the wait after the OFF";
  for (int t = 0; t < 3 && ex->isPending("DQcmd"); ++t) step();
  EXPECT_FALSE(ex->isPending("DQcmd"));
}

TEST_F(Steps, LeavingDuringThePulseSendsItsOffAndTellsWhenItDoesNotGetThrough) {
  ex->click("DQcmd");
  ASSERT_EQ(step(), "01050808FF00");
  echo();
  step();
  ex->beginLeave();
  EXPECT_EQ(step(), "010508080000") << "the OFF at once, not after the wait";
  EXPECT_EQ(ex->undeliveredPulses(), QStringList{"not reset"});
  echo();
  EXPECT_TRUE(ex->undeliveredPulses().isEmpty());
  EXPECT_FALSE(ex->hasSafetyWork());
}

TEST_F(Steps, AReadFillsSeveralControlsAndAStepChangeForgetsBankedValues) {
  QHash<QString, QString> shown;
  QObject::connect(ex.get(), &Exchange::fieldShown, [&](const Name& f, const QString& t) { shown[f] = t; });
  ASSERT_EQ(step(), "010310250001");
  answerWord(2);
  ASSERT_EQ(step(), "010310FF0001");
  answerWord(2);
  EXPECT_EQ(shown.value("Label9"), "开启XYZCA轴普通功能");
  EXPECT_EQ(shown.value("Label8"), "关闭XY轴画直线");
  ASSERT_EQ(step(), "010310250001");
  answerWord(2);
  ASSERT_EQ(step(), "010310FF0001");
  answerWord(4);
  EXPECT_EQ(shown.value("Label9"), "") << "a value without a text blanks the control";
  EXPECT_EQ(shown.value("Label8"), "");
  type("PRtxt", "5");
  ex->lockField("Label9");
  ex->click("PRcmd");
  ASSERT_EQ(step(), "011010250001020005");
  echo();
  EXPECT_FALSE(ex->isLocked("Label9")) << "a project change clears every lock";
  EXPECT_FALSE(ex->lastRead("Label9").has_value()) << "and forgets the step's values";
}

TEST(EngineStop, StopGoesFirstCancelsAWaitingStartAndIsNeverLost) {
  ScriptedPort port;
  Link link(&port);
  std::int64_t now = 0;
  ScreenDecl d;
  d.reads = {Read{.reg = 0x1058, .field = "Djlel"}, Read{.reg = 0x10DE, .field = "Dltxt"}};
  Sequence start{.button = "Qdcmd", .steps = {Coil{.coil = 0x0832}}, .onDone = {Restore{{"Tzcmd"}}}};
  Sequence stop{.button = "Tzcmd",
                .steps = {Coil{.coil = 0x0833}},
                .kind = Sequence::Kind::Stop,
                .cancels = {"Qdcmd"},
                .onDone = {Restore{{"Qdcmd"}}}};
  Sequence count{.button = "lc1cmd", .steps = {Write{.reg = 0x10DE, .field = "Dltxt"}}};
  d.sequences = {start, stop, count};
  Exchange ex(d);
  ex.setClock([&] { return now; });
  ex.setLink(&link);
  auto tick = [&] {
    now += 50;
    const auto n = port.written.size();
    ex.tick();
    return port.written.size() > n ? port.lastBody() : QByteArray();
  };
  ex.typeField("Dltxt", "9");
  ex.click("Qdcmd");
  ex.click("Tzcmd");
  ex.click("lc1cmd");  // a later click does not remove the stop
  EXPECT_EQ(tick(), "01050833FF00");
  for (int t = 0; t < 20; ++t) {
    now += 200;
    EXPECT_EQ(tick(), "01050833FF00") << "the stop repeats until answered";
  }
  port.deliver(buildFrame("01050833FF00"));
  EXPECT_FALSE(ex.isPending("Tzcmd"));
  EXPECT_FALSE(ex.isPending("Qdcmd")) << "the discarded start is shown as not pending any more";
  EXPECT_EQ(tick(), "011010DE0001020009") << "the start never went out";
}

}  // namespace
