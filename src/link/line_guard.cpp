#include "link/line_guard.h"

#include <algorithm>
#include <cmath>

#include "frames/registers.h"
#include "frames/reply.h"

namespace lorvane {

namespace {
constexpr int kControllerAllowanceMs = 100;  // what a controller may take to start answering
constexpr double kMsPerChar = 10.0 * 1000.0 / 9600.0;  // 8N1: ten bits a character
constexpr std::size_t kMostOwed = 32;       // beyond this the oldest owed request is taken as lost
constexpr qsizetype kAnswersKept = 32;      // answers remembered to know a second copy of one
constexpr int kLongestSettlingRead = 6;     // registers a settling read asks for at the most
constexpr std::uint16_t kLastRegister = 0x10FF;

// Two answers that only their values tell apart: the same function and length, and for a write
// or a coil the same echo.
bool sameShape(const QByteArray& a, const QByteArray& b) {
  if (a.size() != b.size() || a.mid(3, 2) != b.mid(3, 2)) return false;
  return a.mid(3, 2) == "03" || a.left(13) == b.left(13);
}
}  // namespace

int LineGuard::baseTimeoutMs(const Request& r) {
  const int chars = static_cast<int>(r.body().size()) + 5 + r.replyChars();
  return static_cast<int>(std::ceil(chars * kMsPerChar)) + kControllerAllowanceMs;
}

int LineGuard::replyTimeoutMs(const Request& request) const { return std::max(baseTimeoutMs(request), slowReplyMs_); }

bool LineGuard::owes(const Request& request) const {
  return std::any_of(owed_.cbegin(), owed_.cend(), [&](const Owed& o) { return o.request == request; });
}

// Requests owed for very long are lost; so are the oldest of too many. The request in flight
// stays.
void LineGuard::forget(std::int64_t now) {
  restampIfReopened(now);
  const auto keep = [&] { return state_ == State::Waiting && owed_.size() == 1; };
  while (!owed_.empty() && !keep() && (owed_.front().sentAt + kForgetMs <= now || owed_.size() > kMostOwed))
    owed_.pop_front();
}

bool LineGuard::looksOwed(const Request& request, const Request* except) const {
  return std::any_of(owed_.cbegin(), owed_.cend(), [&](const Owed& o) {
    return !(except && o.request == *except) && o.request.answerLooksLike(request);
  });
}

int LineGuard::quietMs() const {
  return std::max(repeatGuardMs_, trial_ && answersTaken_ < kAnswersOnTrial ? kTrialQuietMs : 0);
}

LineGuard::Clearance LineGuard::clear(const Request& want, std::int64_t now) {
  using W = Clearance::What;
  if (state_ == State::Waiting) return {W::Wait, {}};
  if (state_ == State::Settling) {
    if (now < quietUntil_) return {W::Wait, {}};
    state_ = State::Free;
    owed_.clear();
    inStepSince_ = now;
  }
  if (lastTakenAt_ >= 0 && now < lastTakenAt_ + quietMs()) return {W::Wait, {}};
  forget(now);
  if (!looksOwed(want, &want)) return {W::Go, want};
  // Its answer could be taken for an owed one's: a read of another length goes first. For a read,
  // a longer read of the same register, which carries its value too; else a read of the run
  // status.
  QList<Request> settling;
  if (want.fn == Request::Fn::Read)
    for (int n = want.count + 1; n <= kLongestSettlingRead && want.address + n - 1 <= kLastRegister; ++n)
      settling << Request::read(want.address, n);
  for (int n = 1; n <= kLongestSettlingRead; ++n) settling << Request::read(reg::RunStatus, n);
  for (const Request& settle : settling)
    if (!looksOwed(settle, nullptr)) return {W::Instead, settle};
  return {W::Wait, {}};
}

void LineGuard::sent(const Request& request, const Sender& sender, std::int64_t now) {
  owed_.push_back(Owed{request, now, sender});
  state_ = State::Waiting;
  deadline_ = now + replyTimeoutMs(request);
  forget(now);
}

void LineGuard::restampIfReopened(std::int64_t now) {
  if (!restamp_) return;
  restamp_ = false;
  for (Owed& o : owed_) o.sentAt = now;
  if (state_ == State::Waiting && !owed_.empty()) deadline_ = now + replyTimeoutMs(owed_.back().request);
}

std::optional<LineGuard::Owed> LineGuard::expire(std::int64_t now) {
  restampIfReopened(now);
  if (state_ != State::Waiting || now < deadline_) return std::nullopt;
  state_ = State::Free;
  return owed_.back();
}

LineGuard::Verdict LineGuard::take(const QByteArray& frame, std::int64_t now) {
  restampIfReopened(now);
  if (!isWellFormed(frame)) return {Kind::Malformed};
  if (state_ == State::Settling) {
    learnRepeat(frame, now);
    quietUntil_ = std::max(quietUntil_, now + std::max({kSettleMs, repeatGuardMs_, slowReplyMs_}));
    return {Kind::Stray};
  }
  for (std::size_t i = 0; i < owed_.size(); ++i) {
    const lorvane::Verdict v = checkReply(owed_[i].request, frame);
    if (v == lorvane::Verdict::Dropped) continue;
    // The oldest request it can answer. Every request sent before it is answered or lost.
    const Owed hit = owed_[i];
    const std::optional<Owed> flight = inFlight() ? std::optional<Owed>(*inFlight()) : std::nullopt;
    owed_.erase(owed_.begin(), owed_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    Verdict out{.kind = Kind::Late, .owed = hit, .refusal = v == lorvane::Verdict::Refused,
                .tookMs = static_cast<int>(now - hit.sentAt)};
    if (flight && flight->request == hit.request) {
      // The request in flight, or an earlier copy of it (whose answer is as good): its sender
      // has its answer. A copy of it still owed stays owed.
      state_ = State::Free;
      out.kind = out.refusal ? Kind::Refused : Kind::Answer;
      out.owed->sender = flight->sender;
    } else {
      learnLate(hit, now);
    }
    lastTakenAt_ = now;
    ++answersTaken_;
    taken_.append(Taken{frame, now});
    if (taken_.size() > kAnswersKept) taken_.removeFirst();
    return out;
  }
  return unmatched(frame, now);
}

// An answer no request in flight could take: the controller is that slow.
void LineGuard::learnLate(const Owed& owed, std::int64_t now) {
  const std::int64_t took = now - owed.sentAt;
  if (took < replyTimeoutMs(owed.request)) return;
  slowReplyMs_ = static_cast<int>(std::min<std::int64_t>(kMaxReplyMs, std::max<std::int64_t>(slowReplyMs_, took + took / 4)));
}

// A frame that answers nothing owed. A second copy of an answer taken is harmless as long as no
// answer that looks like it was taken since (that one may have been a copy too); the line keeps
// quiet after each answer from now on for as long as the copy took. Anything else, or a copy
// after such an answer, means the line is out of step.
LineGuard::Verdict LineGuard::unmatched(const QByteArray& frame, std::int64_t now) {
  if (const qsizetype j = learnRepeat(frame, now); j >= 0) {
    const bool since = std::any_of(taken_.cbegin() + j + 1, taken_.cend(), [&](const Taken& t) { return sameShape(t.frame, frame); });
    if (!since) return {Kind::Copy};
  }
  // Out of step. The answer taken last may itself have been a copy of an earlier one, taken for
  // the request this frame answers: its gap teaches the quiet too.
  if (!taken_.isEmpty()) {
    const Taken last = taken_.takeLast();
    learnRepeat(last.frame, last.at);
    taken_.append(last);
  }
  Verdict out{.kind = Kind::OutOfStep};
  if (inFlight()) out.owed = *inFlight();
  outOfStep(now);
  return out;
}

// A frame the same as an answer taken a moment ago is taken to be its second copy: from now on the
// line keeps quiet after each answer for as long as the copy took. Returns where that answer
// stands in the answers taken, -1 for none.
qsizetype LineGuard::learnRepeat(const QByteArray& frame, std::int64_t now) {
  for (qsizetype j = taken_.size() - 1; j >= 0; --j) {
    if (taken_[j].frame != frame) continue;
    const std::int64_t gap = now - taken_[j].at;
    if (gap > 2 * kMaxReplyMs) return -1;
    repeatGuardMs_ = static_cast<int>(std::min<std::int64_t>(kMaxReplyMs, std::max<std::int64_t>(repeatGuardMs_, gap + gap / 4 + 10)));
    return j;
  }
  return -1;
}

void LineGuard::outOfStep(std::int64_t now) {
  state_ = State::Settling;
  owed_.clear();
  quietUntil_ = now + std::max({kSettleMs, repeatGuardMs_, slowReplyMs_});
}

}  // namespace lorvane
