#pragma once
// What the program knows of the serial line to the controller, and the rules that keep every
// answer with its own request. One guard belongs to one port for as long as the program runs:
// the controller knows nothing of screens, and answers still on their way when a screen closes
// the port arrive after the next screen has opened it.
//
// The controller answers requests in the order they came, each one once, and an answer does not
// name its register. Hence these rules, and the invariant they keep:
//
//   INVARIANT: no two requests owed at one time have answers that look alike, unless they are
//   copies of the same request. So a frame belongs to at most one owed request: the oldest copy
//   of the one request it can answer.
//
//  - A request is owed from the moment it is sent until its answer comes, or an answer to a
//    request sent after it proves it answered or lost (the controller answers in order).
//  - A request whose answer would look like an owed request's (another register of the same
//    length, another value to the same register) does not go out. A settling read of another
//    length goes in its place; its answer settles every request before it. A read is settled
//    by a longer read of the same register, which also carries its value.
//  - A late answer is timed from the copy it answers (the oldest owed), and only an answer that
//    no request in flight could take teaches the line a longer time-out.
//  - A frame that answers nothing owed shows the line out of step: a second copy of an answer
//    (the controller repeats), or an answer taken for the wrong request before. The values taken
//    since the line was last known in step are no longer to be trusted, and nothing goes out
//    until the line has been quiet for a while.
//  - No rule assumes the line's speed: an answer may come at once (a USB virtual port) or later
//    than any time-out.
#include <QByteArray>
#include <QList>
#include <cstdint>
#include <deque>
#include <optional>

#include "frames/request.h"

namespace lorvane {

// Who sent a request, so that its answer, even a late one, reaches only its own sender.
struct Sender {
  std::uint64_t owner = 0;  // the engine that sent it (0: nobody waits for the answer)
  int job = 0;              // the job it belongs to, 0 for a read
  int read = -1;            // the index of the read in the owner's read table
  std::uint64_t table = 0;  // which read table of the owner the index is of
};

class LineGuard {
 public:
  // Free: nothing in flight. Waiting: a request in flight until its deadline. Settling: the line
  // was found out of step; nothing goes out until it has been quiet.
  enum class State { Free, Waiting, Settling };

  // What became of a frame from the line.
  enum class Kind {
    Answer,     // the answer to the request in flight (or to an earlier copy of it)
    Refused,    // the controller refused the request in flight
    Late,       // the answer (or refusal) of an owed request no longer in flight
    Copy,       // a second copy of an answer taken; it answers nothing
    OutOfStep,  // answers nothing owed: the line is out of step
    Stray,      // a frame while the line settles
    Malformed,  // not a whole frame with a right LRC from slave 01
  };

  struct Owed {
    Request request = {};
    std::int64_t sentAt = 0;
    Sender sender = {};
  };

  struct Verdict {
    Kind kind = Kind::Malformed;
    std::optional<Owed> owed = {};  // the request it answers (Answer, Refused, Late)
    bool refusal = false;      // an exception reply (Refused, or a Late refusal)
    int tookMs = -1;           // from the copy it answers to the answer
  };

  // What the line allows for a request now.
  struct Clearance {
    enum class What { Go, Wait, Instead };
    What what = What::Wait;
    Request request = {};  // with Instead: the settling read to send in its place
  };

  // A controller seen answering late gets a longer reply time-out, up to this.
  static constexpr int kMaxReplyMs = 1000;
  // A request still owed after this long is taken to be lost.
  static constexpr int kForgetMs = 8000;
  // Quiet kept after each of a port's first answers, so that a controller answering twice shows
  // it before it can do harm.
  static constexpr int kAnswersOnTrial = 10;
  static constexpr int kTrialQuietMs = 30;
  // How long the line must be quiet after it was found out of step, at the least.
  static constexpr int kSettleMs = 250;

  // Both frames on a 9600-baud line plus the controller's allowance.
  static int baseTimeoutMs(const Request& request);
  // The time-out in force for a request on this line.
  int replyTimeoutMs(const Request& request) const;

  // Whether `want` may go out now, or what goes out instead.
  Clearance clear(const Request& want, std::int64_t now);
  // A request went out (it must have been cleared).
  void sent(const Request& request, const Sender& sender, std::int64_t now);
  // The request in flight has passed its deadline: it is no longer in flight (still owed). Returns
  // it, once.
  std::optional<Owed> expire(std::int64_t now);
  // Classifies a whole frame from the line and moves the state on.
  Verdict take(const QByteArray& frame, std::int64_t now);
  // The line stays quiet after answers while the first ones are on trial (a paced line only).
  void setTrial(bool on) { trial_ = on; }
  // The port is open again. Answers to requests owed from before may still come (a pty keeps
  // what was written while it was closed), however long it was closed: what is owed is kept as
  // long again from the first moment the line is used, and the time closed counts neither
  // towards forgetting it nor as the controller's slowness.
  void reopened() { restamp_ = true; }

  State state() const { return state_; }
  bool waiting(std::int64_t now) const { return state_ == State::Waiting && now < deadline_; }
  const Owed* inFlight() const { return state_ == State::Waiting && !owed_.empty() ? &owed_.back() : nullptr; }
  // A copy of this request is owed (sending it again is a resend).
  bool owes(const Request& request) const;
  // When the line was last known in step: values taken before a loss of step found later are
  // counted from here.
  std::int64_t inStepSince() const { return inStepSince_; }
  int slowReplyMs() const { return slowReplyMs_; }
  int repeatGuardMs() const { return repeatGuardMs_; }

 private:
  struct Taken {
    QByteArray frame;
    std::int64_t at = 0;
  };

  void forget(std::int64_t now);
  void restampIfReopened(std::int64_t now);
  bool looksOwed(const Request& request, const Request* except) const;
  int quietMs() const;
  void learnLate(const Owed& owed, std::int64_t now);
  Verdict unmatched(const QByteArray& frame, std::int64_t now);
  qsizetype learnRepeat(const QByteArray& frame, std::int64_t now);
  void outOfStep(std::int64_t now);

  State state_ = State::Free;
  std::deque<Owed> owed_;  // oldest first; while Waiting, the last one is in flight
  std::int64_t deadline_ = 0;
  std::int64_t lastTakenAt_ = -1;
  std::int64_t quietUntil_ = 0;  // Settling: nothing goes out before
  std::int64_t inStepSince_ = 0;
  QList<Taken> taken_;  // the latest answers taken, to know a second copy of one
  int slowReplyMs_ = 0;
  int repeatGuardMs_ = 0;
  int answersTaken_ = 0;
  bool trial_ = false;
  bool restamp_ = false;  // reopened: the owed requests' times start again at the next use
};

}  // namespace lorvane
