// The in-process port that screen and engine tests talk through: replies arrive later, as from
// a real port, and the faults it injects are the ones asked for and repeatable.
#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "frames.h"
#include "link.h"
#include "reply.h"
#include "sim_port.h"

namespace lorvane::test {
namespace {

const QByteArray kReadCount = buildFrame(readBody(reg::ProductionCount, 1));

void settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

TEST(SimPort, ReplyComesAfterTheWriteReturnsWithReadyRead) {
  SimPort port;
  port.model().writeRegister(reg::ProductionCount, 100);
  QSignalSpy ready(&port, &QIODevice::readyRead);
  ASSERT_EQ(port.write(kReadCount), kReadCount.size());
  EXPECT_EQ(port.bytesAvailable(), 0) << "nothing before the event loop runs";
  EXPECT_EQ(port.sent(), QList<QByteArray>{kReadCount});
  settle();
  EXPECT_EQ(ready.count(), 1);
  EXPECT_EQ(port.readAll(), QByteArray(":010302006496\r\n"));
}

TEST(SimPort, RequestWrittenInPiecesIsAnsweredOnceWhole) {
  SimPort port;
  port.write(kReadCount.left(5));
  settle();
  EXPECT_EQ(port.bytesAvailable(), 0);
  port.write(kReadCount.mid(5));
  settle();
  EXPECT_EQ(port.replies().size(), 1);
  EXPECT_EQ(port.sent().size(), 1);
}

TEST(SimPort, ChunkedRepliesArriveOverSeveralReads) {
  SimPort port;
  port.setChunkSize(4);
  QSignalSpy ready(&port, &QIODevice::readyRead);
  port.write(kReadCount);
  settle();
  EXPECT_EQ(ready.count(), 4);  // 15 bytes in pieces of 4
  EXPECT_EQ(port.readAll(), QByteArray(":0103020000FA\r\n"));
}

TEST(SimPort, DropAndCorruptFractionsAreRoughlyRightAndRepeatable) {
  const auto run = [](quint64 seed) {
    SimPort port;
    port.setSeed(seed);
    port.setDropFraction(0.2);
    port.setCorruptFraction(0.1);
    QString pattern;
    for (int i = 0; i < 500; ++i) {
      port.write(kReadCount);
      settle();
      const QByteArray got = port.readAll();
      pattern += got.isEmpty() ? 'd' : checkReply(readBody(reg::ProductionCount, 1), got) == Verdict::Accepted ? '.' : 'c';
    }
    return pattern;
  };
  const QString a = run(7);
  EXPECT_EQ(a, run(7));
  EXPECT_NE(a, run(8));
  EXPECT_NEAR(a.count('d'), 100, 35);
  EXPECT_NEAR(a.count('c'), 40, 25);  // a tenth of the replies that were not dropped
}

TEST(SimPort, DropNextLosesExactlyThoseReplies) {
  SimPort port;
  port.dropNext(2);
  for (int i = 0; i < 3; ++i) port.write(kReadCount);
  settle();
  EXPECT_EQ(port.replies().size(), 1);
  EXPECT_EQ(port.sent().size(), 3);
}

TEST(SimPort, SilentControllerTakesRequestsButNeverAnswers) {
  SimPort port;
  port.setSilent(true);
  port.write(buildFrame(writeWordBody(reg::ProductionCount, "0007")));
  settle();
  EXPECT_EQ(port.bytesAvailable(), 0);
  EXPECT_EQ(port.model().reg(reg::ProductionCount), 0);
}

TEST(SimPort, UnplugEndsTheReadChannelAndFailsLaterWrites) {
  SimPort port;
  QSignalSpy finished(&port, &QIODevice::readChannelFinished);
  port.write(kReadCount);  // its reply is still on the way when the adapter goes
  port.unplug();
  EXPECT_EQ(finished.count(), 1);
  EXPECT_EQ(port.write(kReadCount), -1);
  settle();
  EXPECT_EQ(port.bytesAvailable(), 0);
}

TEST(SimPort, CloseDiscardsRepliesStillOnTheWay) {
  SimPort port;
  port.write(kReadCount);
  port.close();
  ASSERT_TRUE(port.open(QIODevice::ReadWrite));
  settle();
  EXPECT_EQ(port.bytesAvailable(), 0);
  port.write(kReadCount);
  settle();
  EXPECT_EQ(port.readAll(), QByteArray(":0103020000FA\r\n"));
}

TEST(SimPort, SharesAModelWithOtherPorts) {
  sim::ControllerModel model;
  SimPort first(&model), second(&model);
  first.write(buildFrame(writeWordBody(reg::ProductionCount, "0009")));
  second.write(kReadCount);
  settle();
  EXPECT_EQ(replyWord(second.readAll()), 9);
}

TEST(SimPort, ALinkOnItGetsWholeFramesThatCheckOut) {
  SimPort port;
  port.setChunkSize(3);
  port.model().setPosition(reg::X, -150);
  Link link(&port);
  QSignalSpy frames(&link, &Link::frameReceived);
  link.send(readBody(reg::Position[reg::X], 2));
  settle();
  ASSERT_EQ(frames.count(), 1);
  const QByteArray frame = frames.at(0).at(0).toByteArray();
  EXPECT_EQ(checkReply(readBody(reg::Position[reg::X], 2), frame), Verdict::Accepted);
  EXPECT_EQ(replyLong(frame), -150);
}

TEST(SimPort, ALinkLosesThePortWhenItIsUnplugged) {
  SimPort port;
  Link link(&port);
  QSignalSpy lost(&link, &Link::portLost);
  port.unplug();
  settle();
  EXPECT_GE(lost.count(), 1);
}

}  // namespace
}  // namespace lorvane::test
