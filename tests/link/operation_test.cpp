// Operations (a tool's or a window's reads, writes and commands) on the engine, stepped tick by
// tick against a scripted line: how each ends, and that the engine's rules hold for them too.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "frames/frames.h"
#include "link/exchange.h"
#include "link/link.h"
#include "scripted_port.h"

using namespace lorvane;
using lorvane::test::ScriptedPort;

namespace {

using Result = Operation::Result;

class Operations : public ::testing::Test {
 protected:
  void SetUp() override {
    ScreenDecl d;
    d.intervalMs = 50;
    d.reads = {Read{.reg = 0x10DE, .field = "LCtxt"}};
    d.momentaries = {Momentary{"ZXcmd", 0x0834}};
    ex = std::make_unique<Exchange>(d);
    ex->setClock([this] { return now; });
    ex->setLink(&link);
  }
  QByteArray step(int ms = 50) {
    now += ms;
    const auto before = port.written.size();
    ex->tick();
    return port.written.size() > before ? port.lastBody() : QByteArray();
  }
  void reply(const QByteArray& body) { port.deliver(buildFrame(body)); }
  void word(int v) { reply("010302" + hex4(static_cast<std::uint16_t>(v))); }
  void echo() { reply(port.lastBody().left(12)); }

  ScriptedPort port;
  Link link{&port};
  std::unique_ptr<Exchange> ex;
  std::int64_t now = 0;
};

TEST_F(Operations, AReadGoesAheadOfTheCycleAndEndsDoneWithItsValuesInOrder) {
  Operation* op = ex->submit(QList<Register>{{0x1025, 1}, {0x1064, 2}});
  QSignalSpy progressed(op, &Operation::progressed);
  QSignalSpy finished(op, &Operation::finished);
  EXPECT_EQ(step(), "010310250001");
  word(7);
  EXPECT_EQ(step(), "010310640002");
  reply("010304FF38FFFF");  // -200, low word first
  ASSERT_EQ(op->result(), Result::Done);
  EXPECT_EQ(op->values(), (QList<std::int64_t>{7, -200}));
  EXPECT_EQ(progressed.size(), 2);
  EXPECT_EQ(finished.size(), 1);
  EXPECT_EQ(op->counts().answered, 2);
  EXPECT_EQ(step(), "010310DE0001") << "the screen's cycle goes on";
  EXPECT_EQ(ex->submit(QList<Register>{})->result(), Result::Done) << "an empty read is done at once";
}

// The OFF of a jog released while an operation's read keeps repeating unanswered is the next
// request on the line.
TEST_F(Operations, AnOffGoesAheadOfAReadThatKeepsRepeating) {
  ex->press("ZXcmd");
  EXPECT_EQ(step(), "01050834FF00");
  echo();
  Operation* op = ex->submit(QList<Register>{{0x1025, 1}});
  EXPECT_EQ(step(), "010310250001");
  now += ex->replyTimeoutOnLine(Request::read(0x1025, 1));
  EXPECT_EQ(step(), "010310250001") << "repeated, its answer lost";
  ex->release("ZXcmd");
  now += ex->replyTimeoutOnLine(Request::read(0x1025, 1));
  EXPECT_EQ(step(), "010508340000");
  echo();
  EXPECT_FALSE(ex->anyCoilOn());
  EXPECT_EQ(step(), "010310250001") << "the read goes on after the OFF";
  word(3);
  EXPECT_EQ(op->values(), QList<std::int64_t>{3});
}

TEST_F(Operations, ARefusedWriteEndsThereAndSendsNothingMoreOfIt) {
  Operation* op = ex->submit(QList<RegisterWrite>{{0x1025, 1, 3}, {0x1027, 1, 60}});
  EXPECT_EQ(step(), "011010250001020003");
  reply("019003");
  EXPECT_EQ(op->result(), Result::Refused);
  EXPECT_EQ(op->failedRequest(), Request::write(0x1025, 1, 3));
  EXPECT_EQ(step(), "010310DE0001") << "the second write is not sent";
}

TEST_F(Operations, ASilentControllerEndsItTimedOutAfterItsTimeOnlyAndARequestOnTheLineStaysOwed) {
  Operation* op = ex->submit(QList<Register>{{0x1025, 1}});
  op->setTimeoutMs(1000);
  int sent = 0;
  while (!op->isFinished() && now < 5000)
    if (!step().isEmpty()) ++sent;
  EXPECT_EQ(op->result(), Result::TimedOut);
  EXPECT_GE(now, 1000);
  EXPECT_LT(now, 1200);
  EXPECT_GE(sent, 2) << "repeated until it timed out";
  EXPECT_EQ(op->failedRequest(), Request::read(0x1025, 1));
  // A command waits its time after the coil's echo without being taken for silent.
  Operation* command = ex->submitCommand(0x0807, 3000);
  command->setTimeoutMs(1000);
  while (step() != "01050807FF00" && now < 10000) {}
  echo();
  while (!command->isFinished() && now < 20000) step();
  EXPECT_EQ(command->result(), Result::Done);
}

TEST_F(Operations, CancelledWithARequestOutItsAnswerIsNotTakenForTheNext) {
  Operation* first = ex->submit(QList<Register>{{0x1025, 1}});
  EXPECT_EQ(step(), "010310250001");
  first->cancel();
  EXPECT_EQ(first->result(), Result::Cancelled);
  Operation* second = ex->submit(QList<Register>{{0x1027, 1}});
  EXPECT_NE(step(), "010310270001") << "a read whose answer looks the same waits while the first is owed";
  word(9);  // the first one's answer
  for (int i = 0; i < 40 && !second->isFinished(); ++i) {
    const QByteArray sent = step();
    if (sent == "010310270001") word(4);
    if (sent == "010310270002") reply("01030400040000");  // a settling read
  }
  EXPECT_EQ(second->values(), QList<std::int64_t>{4});
}

// An answer that matches nothing owed puts the line out of step: the values the operation took
// since the line was last known in step may belong to other registers, so it reads them again.
TEST_F(Operations, OutOfStepItReadsAgainWhatItReadSince) {
  Operation* op = ex->submit(QList<Register>{{0x1025, 1}, {0x1027, 1}});
  EXPECT_EQ(step(), "010310250001");
  word(2);
  EXPECT_EQ(step(), "010310270001");
  reply("01050807FF00");  // a coil's echo nobody asked for
  now += LineGuard::kSettleMs;
  QByteArray next;
  while ((next = step()).isEmpty() && now < 5000) {}
  EXPECT_EQ(next, "010310250001");
  word(5);
  EXPECT_EQ(step(), "010310270001");
  word(6);
  EXPECT_EQ(op->values(), (QList<std::int64_t>{5, 6}));
}

// A window reading through a screen's engine holds its read cycle: the controller may have
// another step selected meanwhile.
TEST_F(Operations, HeldReadsWaitAndOperationsGoOn) {
  ex->holdReads();
  EXPECT_EQ(step(), "");
  Operation* op = ex->submit(QList<RegisterWrite>{{0x1027, 1, 5}});
  EXPECT_EQ(step(), "011010270001020005");
  echo();
  EXPECT_EQ(op->result(), Result::Done);
  EXPECT_EQ(step(), "");
  ex->releaseReads();
  EXPECT_EQ(step(), "010310DE0001");
}

TEST_F(Operations, LeavingTheScreenOrLosingThePortEndsThem) {
  Operation* left = ex->submit(QList<Register>{{0x1025, 1}});
  ex->beginLeave();
  EXPECT_EQ(left->result(), Result::Cancelled);
  ex->endLeave();
  Operation* lost = ex->submit(QList<RegisterWrite>{{0x1025, 1, 1}});
  ex->handOver();
  EXPECT_EQ(lost->result(), Result::PortLost);
  Operation* gone = ex->submit(QList<Register>{{0x1025, 1}});
  QSignalSpy finished(gone, &Operation::finished);
  ex.reset();
  EXPECT_EQ(finished.size(), 1) << "the engine going ends it";
}

}  // namespace
