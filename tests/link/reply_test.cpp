#include <gtest/gtest.h>

#include "frames/frames.h"
#include "frames/reply.h"

using namespace lorvane;

namespace {
QByteArray framed(const char* body) { return buildFrame(body); }
}  // namespace

TEST(ReplyCheck, OnlyTheMatchingAnswerCounts) {
  struct Case { const char* name; const char* request; QByteArray reply; Verdict want; };
  QByteArray badLrc = framed("0103020064");
  badLrc[11] = '0';
  const Case cases[] = {
      {"read one", "010310DE0001", framed("0103020064"), Verdict::Accepted},
      {"read pair", "010310640002", framed("010304FF6AFFFF"), Verdict::Accepted},
      {"lower-case hex", "010310DE0001", framed("0103020064").toLower(), Verdict::Accepted},
      {"bad LRC", "010310DE0001", badLrc, Verdict::Dropped},
      {"other address", "010310DE0001", framed("0203020064"), Verdict::Dropped},
      {"other function", "010310DE0001", framed("010510DE0001"), Verdict::Dropped},
      {"byte count too small", "010310640002", framed("0103020064"), Verdict::Dropped},
      {"byte count lies", "010310DE0001", framed("010304006400"), Verdict::Dropped},
      {"register write echo", "011010DE0001020064", framed("011010DE0001"), Verdict::Accepted},
      {"echo of another register", "011010DE0001020064", framed("011010DF0001"), Verdict::Dropped},
      {"read reply to a write", "011010DE0001020064", framed("0103020064"), Verdict::Dropped},
      {"coil echo", "01050838FF00", framed("01050838FF00"), Verdict::Accepted},
      {"coil echo wrong value", "010508340000", framed("01050834FF00"), Verdict::Dropped},
      {"coil echo other coil", "01050834FF00", framed("01050835FF00"), Verdict::Dropped},
      {"exception", "01050834FF00", framed("018502"), Verdict::Refused},
      {"exception of other function", "01050834FF00", framed("019002"), Verdict::Dropped},
      {"truncated", "010310DE0001", QByteArray(":01030200\r\n"), Verdict::Dropped},
      {"not hex", "010310DE0001", QByteArray(":0103020G6496\r\n"), Verdict::Dropped},
      {"no CR LF", "010310DE0001", framed("0103020064").chopped(2), Verdict::Dropped},
  };
  for (const Case& c : cases) EXPECT_EQ(checkReply(c.request, c.reply), c.want) << c.name;
}

TEST(FrameAssembler, SplitsJoinsAndSkipsNoise) {
  FrameAssembler a;
  const QByteArray one = framed("0103020064");
  const QByteArray two = framed("01050838FF00");
  struct Case { const char* name; QList<QByteArray> reads; QList<QByteArray> frames; };
  const Case cases[] = {
      {"whole", {one}, {one}},
      {"garbage before colon", {"\x00\xffxx" + one}, {one}},
      {"split over reads", {one.left(3), one.mid(3, 6), one.mid(9)}, {one}},
      {"two in one read", {one + two}, {one, two}},
      {"split CR and LF", {one.chopped(1), "\n"}, {one}},
      {"partial then new frame", {":0103\r" , two}, {two}},
  };
  for (const Case& c : cases) {
    a.clear();
    QList<QByteArray> got;
    for (const QByteArray& r : c.reads) got += a.feed(r);
    EXPECT_EQ(got, c.frames) << c.name;
  }
  a.clear();
  EXPECT_TRUE(a.feed(QByteArray(5000, 'A').prepend(':')).isEmpty());  // endless noise is bounded
  EXPECT_EQ(a.feed(one), QList<QByteArray>{one});
}
