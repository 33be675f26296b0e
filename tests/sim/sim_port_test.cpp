// The in-process port that screen and engine tests talk through: replies arrive later, as from
// a real port, and the faults it injects are the ones asked for and repeatable.
#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <set>

#include "frames/frames.h"
#include "link/link.h"
#include "frames/reply.h"
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

// A paced port on a clock the test moves. Each request reads the production count, set to the
// request's own number just before, so a reply tells which request it answers. The line runs
// from one event to the next (a scripted step or a held reply falling due) until all is out.
class PacedLine {
 public:
  struct Step {
    double at;
    std::function<void(PacedLine&)> act;
  };
  struct Delivery {
    double at;  // when its last character arrived
    int number;
  };

  PacedLine() { port.setPacing(5, [this] { return now; }); }

  static Step ask(double at, int number) {
    return {at, [number](PacedLine& l) {
              l.port.model().writeRegister(reg::ProductionCount, static_cast<std::uint16_t>(number));
              l.port.write(kReadCount);
              ++l.asked;
            }};
  }

  QList<Delivery> run(const QList<Step>& steps) {
    QList<Delivery> out;
    qsizetype next = 0, seen = port.replies().size();
    while (next < steps.size() || port.nextDue() >= 0) {
      const double due = port.nextDue();
      if (next < steps.size() && (due < 0 || steps[next].at <= due)) {
        now = steps[next].at;
        steps[next++].act(*this);
        continue;
      }
      now = due;
      port.deliverDue(now);
      settle();
      while (seen < port.replies().size()) out.append({now, replyWord(port.replies()[seen++])});
    }
    return out;
  }

  static std::string render(const QList<Delivery>& ds) {
    QStringList out;
    for (const Delivery& d : ds) out << QStringLiteral("#%1 at %2").arg(d.number).arg(d.at, 0, 'f', 3);
    return out.join(QStringLiteral(", ")).toStdString();
  }

  SimPort port;
  double now = 0;
  qsizetype asked = 0;
};

TEST(SimPort, PacedLatencyChangesRepeatedRepliesAndEveryNthLoss) {
  const double round = (17 + 15) * SimPort::kCharMs;  // a read on the line, there and back
  const double reply = 15 * SimPort::kCharMs;
  using L = PacedLine;
  const auto latency = [](double at, int ms) { return L::Step{at, [ms](L& l) { l.port.setLatency(ms); }}; };
  struct Case {
    const char* name;
    std::function<void(SimPort&)> setup;
    QList<L::Step> steps;
    QList<L::Delivery> expected;
  };
  const Case cases[] = {
      {"latency changed at run time", {},
       {L::ask(0, 1), latency(100, 40), L::ask(100, 2), latency(200, 0), L::ask(200, 3)},
       {{round + 5, 1}, {100 + round + 40, 2}, {200 + round, 3}}},
      {"repeat: the same reply again 100 ms after the first", [](SimPort& p) { p.setRepeatAfter(100); },
       {L::ask(0, 1)},
       {{round + 5, 1}, {round + 105, 1}}},
      {"repeat sooner than the reply lasts: the copy follows right after it", [](SimPort& p) { p.setRepeatAfter(5); },
       {L::ask(0, 1)},
       {{round + 5, 1}, {round + 5 + reply, 1}}},
      {"a copy waiting for its time holds no later reply back", [](SimPort& p) { p.setRepeatAfter(100); },
       {L::ask(0, 1), L::ask(50, 2)},
       {{round + 5, 1}, {50 + round + 5, 2}, {round + 105, 1}, {50 + round + 105, 2}}},
      {"a copy takes only its own time on the line: a reply meeting it follows right after it",
       [](SimPort& p) { p.setRepeatAfter(60); },
       {L::ask(0, 1), L::ask(50, 2)},
       {{round + 5, 1}, {round + 65, 1}, {round + 65 + reply, 2}, {round + 65 + reply + 60, 2}}},
      {"dropEvery(2) loses exactly every second reply", [](SimPort& p) { p.dropEvery(2); },
       {L::ask(0, 1), L::ask(100, 2), L::ask(200, 3), L::ask(300, 4), L::ask(400, 5), L::ask(500, 6)},
       {{round + 5, 1}, {200 + round + 5, 3}, {400 + round + 5, 5}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PacedLine line;
    if (c.setup) c.setup(line.port);
    const QList<L::Delivery> got = line.run(c.steps);
    ASSERT_EQ(got.size(), c.expected.size()) << L::render(got);
    for (qsizetype i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].number, c.expected[i].number) << L::render(got);
      EXPECT_NEAR(got[i].at, c.expected[i].at, 1e-6) << L::render(got);
    }
    EXPECT_EQ(line.port.sent().size(), line.asked) << "every request reached the controller";
  }
}

TEST(SimPort, RandomLatencyStaysInItsRangeFollowsTheSeedAndNeverReordersReplies) {
  const double round = (17 + 15) * SimPort::kCharMs;
  const double reply = 15 * SimPort::kCharMs;
  const auto run = [](quint64 seed) {
    PacedLine line;
    line.port.setSeed(seed);
    line.port.setLatencyRange(10, 200);
    QList<PacedLine::Step> steps;
    for (int i = 0; i < 10; ++i) steps << PacedLine::ask(i * 1000.0, i + 1);  // one at a time
    for (int i = 10; i < 20; ++i) steps << PacedLine::ask(20000, i + 1);      // all at once
    return line.run(steps);
  };
  const QList<PacedLine::Delivery> got = run(5);
  ASSERT_EQ(got.size(), 20) << PacedLine::render(got);
  std::set<long> latencies;
  for (int i = 0; i < 10; ++i) {
    const double ms = got[i].at - i * 1000.0 - round;
    EXPECT_GE(ms, 10 - 1e-6) << PacedLine::render(got);
    EXPECT_LE(ms, 200 + 1e-6) << PacedLine::render(got);
    latencies.insert(std::lround(ms));
  }
  EXPECT_GE(latencies.size(), 5u) << "the latency is drawn for every reply";
  for (int i = 0; i < 20; ++i) EXPECT_EQ(got[i].number, i + 1) << PacedLine::render(got);
  for (int i = 11; i < 20; ++i) EXPECT_GE(got[i].at - got[i - 1].at, reply - 1e-6) << "one reply at a time on the line";
  EXPECT_EQ(PacedLine::render(run(5)), PacedLine::render(got));
  EXPECT_NE(PacedLine::render(run(6)), PacedLine::render(got));
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
