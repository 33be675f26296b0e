// The line discipline as a table: what was sent and what came back, when, and what the guard
// made of each frame or allowed for each request.
#include <gtest/gtest.h>

#include "frames/frames.h"
#include "link/line_guard.h"

using namespace lorvane;
using K = LineGuard::Kind;

namespace {

const Request X = Request::read(0x10DE);     // count 1
const Request Y = Request::read(0x1025);     // count 1, another register
const Request P = Request::read(0x1064, 2);  // a pair
const Request W5 = Request::write(0x1004, 1, 5);
const Request W8 = Request::write(0x1004, 1, 8);
const Request On = Request::coil(0x0807, true);

// The controller's genuine answer to a request, carrying `value` for a read.
QByteArray answer(const Request& r, int value = 1) {
  if (r.fn == Request::Fn::Read) {
    QByteArray data;
    for (int i = 0; i < r.count; ++i) data += hex4(static_cast<std::uint16_t>(value + i));
    return buildFrame("0103" + hex4(static_cast<std::uint16_t>(2 * r.count)).right(2) + data);
  }
  return buildFrame(r.body().left(12));
}

struct Event {
  enum What { Send, Frame, Clear, Reopen } what;
  int at;
  Request request = {};
  QByteArray frame = {};  // Frame: the bytes (default: the answer to `request`)
  // Frame: the kind; Clear: "go", "wait" or the body of the settling read sent instead.
  QString expect = {};
};

Event send(int at, Request r) { return {Event::Send, at, r}; }
Event reply(int at, Request r, const char* kind, int value = 1) { return {Event::Frame, at, r, answer(r, value), kind}; }
Event bytes(int at, QByteArray f, const char* kind) { return {Event::Frame, at, {}, f, kind}; }
Event clear(int at, Request r, const char* what) { return {Event::Clear, at, r, {}, what}; }
Event reopen(int at) { return {Event::Reopen, at}; }

QString kindName(K k) {
  switch (k) {
    case K::Answer: return "answer";
    case K::Refused: return "refused";
    case K::Late: return "late";
    case K::Copy: return "copy";
    case K::OutOfStep: return "out of step";
    case K::Stray: return "stray";
    case K::Malformed: return "malformed";
  }
  return {};
}

// Runs the events; returns the guard for checks of what it learned.
LineGuard run(const char* name, const QList<Event>& events) {
  LineGuard g;
  for (const Event& e : events) {
    SCOPED_TRACE(::testing::Message() << name << " at " << e.at << " ms");
    if (e.what == Event::Reopen) {
      g.reopened();
      continue;
    }
    g.expire(e.at);
    switch (e.what) {
      case Event::Send: g.sent(e.request, Sender{1, 0, 0, 1}, e.at); break;
      case Event::Reopen: break;
      case Event::Frame: EXPECT_EQ(kindName(g.take(e.frame, e.at).kind), e.expect); break;
      case Event::Clear: {
        const LineGuard::Clearance c = g.clear(e.request, e.at);
        const QString got = c.what == LineGuard::Clearance::What::Go     ? QStringLiteral("go")
                            : c.what == LineGuard::Clearance::What::Wait ? QStringLiteral("wait")
                                                                         : QString::fromLatin1(c.request.body());
        EXPECT_EQ(got, e.expect);
        break;
      }
    }
  }
  return g;
}

TEST(LineGuard, Table) {
  struct Case {
    const char* name;
    QList<Event> events;
  };
  const Case cases[] = {
      {"an answer in time, and one at once (no line speed assumed)",
       {send(0, X), reply(40, X, "answer"), clear(41, Y, "go"), send(41, Y), reply(41, Y, "answer")}},
      {"another register of the same length waits behind a late one: a longer read of it settles",
       {send(0, X), clear(200, Y, "010310250002"), send(200, Request::read(0x1025, 2)),
        reply(700, X, "late"), reply(760, Request::read(0x1025, 2), "late"), clear(800, Y, "go")}},
      {"a read of another length goes at once while a late answer is owed",
       {send(0, X), clear(200, P, "go"), send(200, P), reply(300, X, "late"), reply(320, P, "answer")}},
      {"an answer to a later request proves the earlier one lost",
       {send(0, X), send(200, P), reply(260, P, "answer"), clear(270, Y, "go")}},
      {"copies of one request: any answer is its answer, the rest stay owed",
       {send(0, X), send(400, X), reply(500, X, "answer"), clear(520, Y, "010310250002"), reply(1100, X, "late")}},
      {"a second copy of an answer, nothing alike taken since: harmless, the line keeps quiet after answers",
       {send(0, X), reply(40, X, "answer", 5), bytes(100, answer(X, 5), "copy"), clear(110, Y, "wait"),
        clear(200, Y, "go")}},
      {"a copy after an answer that looks alike: out of step, then quiet until settled",
       {send(0, X), reply(40, X, "answer", 5), send(50, Y), reply(90, Y, "answer", 6),
        bytes(120, answer(X, 5), "out of step"), clear(130, Y, "wait"), bytes(300, answer(Y, 6), "stray"),
        clear(500, Y, "wait"), clear(800, Y, "go")}},
      {"a frame that answers nothing owed: out of step",
       {send(0, X), reply(40, X, "answer"), bytes(60, answer(P, 3), "out of step"), clear(70, X, "wait")}},
      {"a refusal belongs to the oldest owed request of its function",
       {send(0, X), send(200, P), bytes(300, buildFrame("018302"), "late"), reply(320, P, "answer")}},
      {"another value to the same register waits for a read of it",
       {send(0, W5), clear(300, W8, "010310580001"), clear(300, W5, "go"), send(300, W5),
        reply(400, W5, "answer")}},
      {"the same coil command again is a copy; its echo answers it",
       {send(0, On), clear(300, On, "go"), send(300, On), reply(400, On, "answer"), reply(700, On, "late")}},
      {"a request owed for very long is taken as lost",
       {send(0, X), clear(LineGuard::kForgetMs + 10, Y, "go")}},
      {"the port closed for long with an answer on its way, then open again: the request stays owed as long again",
       {send(0, X), reopen(20000), clear(20000, Y, "wait"), reply(20050, X, "answer"), clear(20100, Y, "go")}},
      {"and is taken as lost once the line has been open that long",
       {send(0, X), reopen(20000), clear(20000, Y, "wait"), clear(20000 + LineGuard::kForgetMs + 10, Y, "go")}},
      {"garbage is malformed and changes nothing", {send(0, X), bytes(10, ":01GARBAGE\r\n", "malformed"), reply(40, X, "answer")}},
  };
  for (const Case& c : cases) run(c.name, c.events);
}

TEST(LineGuard, LearnsFromAnswersNoRequestInFlightCouldTake) {
  // Timed from the copy answered (the oldest owed), not from the last copy sent.
  LineGuard g = run("late", {send(0, X), send(400, X), send(600, P), reply(700, X, "late"), reply(1100, X, "late")});
  EXPECT_EQ(g.slowReplyMs(), 875);
  // An answer a copy in flight takes is not proof of slowness (it may be the copy's own).
  LineGuard h = run("ambiguous", {send(0, X), send(400, X), reply(500, X, "answer")});
  EXPECT_EQ(h.slowReplyMs(), 0);
  // A controller slower than the longest time-out is still matched, and the time-out stops there.
  LineGuard s = run("slow", {send(0, X), clear(1400, Y, "010310250002"), reply(1500, X, "late")});
  EXPECT_EQ(s.slowReplyMs(), LineGuard::kMaxReplyMs);
}

TEST(LineGuard, OutOfStepKeepsWhenTheLineWasLastInStep) {
  LineGuard g = run("step", {send(0, X), reply(40, X, "answer", 5), send(50, Y), reply(90, Y, "answer", 6),
                             bytes(100, answer(X, 5), "out of step")});
  EXPECT_EQ(g.inStepSince(), 0);
  EXPECT_EQ(g.state(), LineGuard::State::Settling);
  EXPECT_EQ(g.clear(X, 2000).what, LineGuard::Clearance::What::Go);
  EXPECT_EQ(g.inStepSince(), 2000);
  EXPECT_GE(g.repeatGuardMs(), 60);  // the copy came 60 ms after its answer
}

}  // namespace
