#include "link/exchange.h"

#include <QElapsedTimer>
#include <algorithm>
#include <memory>
#include <cmath>
#include <limits>

#include "link/frames.h"
#include "link/link.h"
#include "link/reply.h"
#include "link/traffic.h"

namespace lorvane {

namespace {
// What the controller may take to start answering, beyond the characters on the line.
constexpr int kControllerAllowanceMs = 100;
constexpr double kMsPerChar = 10.0 * 1000.0 / 9600.0;  // 8N1: ten bits a character

int replyChars(const QByteArray& body) {
  const QByteArray b = hexBytes(body);
  if (b.size() >= 6 && static_cast<unsigned char>(b[1]) == kFnReadHolding)
    return 11 + 4 * (static_cast<unsigned char>(b[4]) * 256 + static_cast<unsigned char>(b[5]));
  return 17;  // echo of a write
}
}  // namespace

QString rangeMessage(const QString& range) {
  return QStringLiteral("输入的信号范围不在") + range + QStringLiteral("内");
}

QString msg::tooLarge(const QString& max) {
  return QStringLiteral("输入的数据超出0-") + max + QStringLiteral("范围");
}

int Exchange::replyTimeoutMs(const QByteArray& body) {
  const int chars = static_cast<int>(body.size()) + 5 + replyChars(body);
  return static_cast<int>(std::ceil(chars * kMsPerChar)) + kControllerAllowanceMs;
}

int Exchange::replyTimeoutOnLine(const QByteArray& body) const {
  const LineTiming& t = link_ ? link_->timing() : ownTiming_;
  return std::max(replyTimeoutMs(body), t.slowReplyMs);
}

Exchange::Exchange(ScreenDecl decl, QObject* parent) : QObject(parent), decl_(std::move(decl)) {
  auto timer = std::make_shared<QElapsedTimer>();
  timer->start();
  clock_ = [timer] { return timer->elapsed(); };
}

Exchange::~Exchange() = default;

void Exchange::setLink(Link* link) {
  if (link_) disconnect(link_, nullptr, this, nullptr);
  link_ = link;
  if (link) connect(link, &Link::frameReceived, this, &Exchange::onFrame);
}

LineTiming& Exchange::timing() { return link_ ? link_->timing() : ownTiming_; }

void Exchange::note(Outcome outcome, const QByteArray& frame, const QByteArray& request, bool sent) {
  TrafficEvent e;
  e.time = QDateTime::currentDateTime();
  e.sent = sent;
  e.frame = frame;
  e.request = request;
  e.outcome = outcome;
  if (!request.isEmpty()) e.replyTimeoutMs = replyTimeoutOnLine(request);
  Traffic::instance().record(std::move(e));
}

// ---- the tick ------------------------------------------------------------------------------

void Exchange::tick() {
  ++silent_;
  if (expired()) timeOut();
  // An OFF or a stop that is not getting through: the operator must know the axis may still run.
  for (Job& job : queue_) {
    if (job.persistent && !job.warned && now() - job.queuedAt >= kStopWarnMs) {
      job.warned = true;
      emit stopNotDelivered();
    }
  }
  if (silent_ >= decl_.silentLimit && !outstanding_) {
    silent_ = 0;
    abandon();
  }
  if (outstanding_) {
    owed_ = true;  // the line is busy: this tick's request goes out as soon as it is free
    return;
  }
  owed_ = false;
  sendNext();
}

// Unanswered in time. A request that repeats goes out again at the next tick; a single-shot one
// leaves the screen waiting for the silent-tick limit. Its answer may still come: it is no
// longer taken as an answer, but it is counted (see Unsettled).
void Exchange::timeOut() {
  const Outstanding o = *outstanding_;
  outstanding_.reset();
  note(Outcome::TimedOut, {}, o.body);
  bool stall = !decl_.repeatingReads;
  if (o.job) {
    const auto job = findJob(o.job);
    stall = job != queue_.end() && !job->repeat.value(job->step);
  }
  stalled_ = stalled_ || stall;
  if (!unsettledFor(o.body)) unsettled_.append(Unsettled{o.body, {o.sentAt}});
}

void Exchange::sendNext() {
  // Commands first, in click order (OFFs and stops stand at the front).
  for (Job& job : queue_) {
    if ((modal_ > 0 || leaving_) && !job.persistent) break;
    if (stalled_ && job.sent && !job.persistent) return;  // wait for the silent-tick limit
    if (!mayGoOut(job.bodies[job.step])) return;
    job.sent = true;
    send(job.bodies[job.step], job.id, -1);
    return;
  }
  if (modal_ > 0 || leaving_ || stalled_ || decl_.reads.isEmpty()) return;
  const int n = static_cast<int>(decl_.reads.size());
  for (int tries = 0; tries < n; ++tries) {
    const Read& r = decl_.reads[cycle_];
    if (!r.field.isEmpty() && fields_.value(r.field).locked) {
      cycle_ = (cycle_ + 1) % n;  // a field being edited is skipped, the rest keeps refreshing
      continue;
    }
    const QByteArray body = readBody(r.reg, r.count);
    if (mayGoOut(body)) send(body, 0, cycle_);
    return;
  }
}

namespace {
// Requests whose answers cannot be told apart: reads of as many registers, writes of the same
// registers (their echo does not carry the value), the same coil command.
bool answersLookAlike(const QByteArray& a, const QByteArray& b) {
  if (a.left(4) != b.left(4)) return false;
  if (a.startsWith("0103")) return a.mid(8, 4) == b.mid(8, 4);
  return a.mid(4, 8) == b.mid(4, 8);
}
constexpr int kSettleMarginMs = 50;
}  // namespace

// Whether a request may go out now: not within the quiet kept after an answer on a line that
// answers twice, and not while a request whose answer looks the same may still be answered late.
bool Exchange::mayGoOut(const QByteArray& body) {
  const std::int64_t t = now();
  if (lastAnswerAt_ >= 0 && t < lastAnswerAt_ + answerQuietMs()) return false;
  for (qsizetype i = 0; i < unsettled_.size();) {
    const Unsettled& u = unsettled_[i];
    // Settled by time: the copies sent last have had as long as the slowest answer seen took,
    // or, with none seen, the longest a controller may take.
    const std::int64_t wait = u.firstAnswerAt >= 0 ? u.firstAnswerAt - u.sentAt.first()
                              : u.body.startsWith("0103") ? LineTiming::kMaxReplyMs
                                                        : replyTimeoutOnLine(u.body);
    if (t >= u.sentAt.last() + wait + kSettleMarginMs) {
      unsettled_.removeAt(i);
      continue;
    }
    if (u.body != body && answersLookAlike(u.body, body)) return false;
    ++i;
  }
  return true;
}

void Exchange::send(const QByteArray& body, int job, int read) {
  const std::int64_t t = now();
  // A new request starts the silent-tick count again; a copy of the one that went unanswered
  // does not, so a write that is never answered is still given up at the limit.
  if (!link_ || link_->lastBody() != body) silent_ = 0;
  outstanding_ = Outstanding{body, t, t + replyTimeoutOnLine(body), job, read};
  Unsettled* copy = unsettledFor(body);
  if (copy) copy->sentAt << t;
  stalled_ = false;
  if (!link_) return;
  link_->send(body);
  note(copy ? Outcome::Resent : Outcome::Sent, buildFrame(body), body, true);
}

// After the silent-tick limit: the command being sent is given up (its button stays red) unless
// it is an OFF, a stop or the ON of a button still held. The read cycle goes on with the read that
// went unanswered, so that on a lossy line every field keeps being refreshed in turn.
void Exchange::abandon() {
  stalled_ = false;
  if (!queue_.empty() && queue_.front().sent && !queue_.front().persistent && !queue_.front().onCoil)
    queue_.pop_front();
}

void Exchange::forgetUnsettled(const QByteArray& body) {
  unsettled_.removeIf([&](const Unsettled& u) { return u.body == body; });
}

Exchange::Unsettled* Exchange::unsettledFor(const QByteArray& body) {
  for (Unsettled& u : unsettled_)
    if (u.body == body) return &u;
  return nullptr;
}

// ---- replies -------------------------------------------------------------------------------

void Exchange::onFrame(const QByteArray& frame) {
  if (!isWellFormed(frame)) {
    note(Outcome::Malformed, frame);
    return;
  }
  if (expired()) timeOut();  // in by the deadline or not at all
  if (!outstanding_ || checkReply(outstanding_->body, frame) == Verdict::Dropped) {
    // Nothing waits for it: a late answer to a request given up on, or a second copy of an answer.
    if (answersUnsettled(frame)) {
      note(Outcome::Late, frame);
    } else {
      note(outstanding_ ? Outcome::Unmatched : Outcome::Stray, frame, outstanding_ ? outstanding_->body : QByteArray());
      strayFrame(frame);
    }
    return;
  }
  Unsettled* copy = unsettledFor(outstanding_->body);
  if (copy) {
    // One of several copies of the same request: any of their answers is the answer.
    if (copy->answered < copy->sentAt.size()) ++copy->answered;
    if (copy->firstAnswerAt < 0) copy->firstAnswerAt = now();
    if (copy->answered >= copy->sentAt.size()) forgetUnsettled(copy->body);
  } else if (link_ && now() - outstanding_->sentAt < minRoundTripMs(outstanding_->body, link_->charMs())) {
    // Complete before the request and its answer could have crossed the line: not its answer.
    note(Outcome::Stray, frame, outstanding_->body);
    strayFrame(frame);
    return;
  }
  const Verdict verdict = checkReply(outstanding_->body, frame);
  note(verdict == Verdict::Refused ? Outcome::Refused : Outcome::Answered, frame, outstanding_->body);
  silent_ = 0;
  lastAnswerAt_ = now();
  const Outstanding done = *outstanding_;
  outstanding_.reset();
  stalled_ = false;
  if (verdict == Verdict::Refused) {
    // The controller refused: the command ends, its button stays red. An OFF or a stop is not
    // given up: it goes out again at the next tick. A refused read is passed over.
    const auto job = findJob(done.job);
    if (job != queue_.end() && !job->persistent) queue_.erase(job);
    if (!done.job && !decl_.reads.isEmpty()) cycle_ = (cycle_ + 1) % static_cast<int>(decl_.reads.size());
  } else if (done.job) {
    acknowledge(done.job);
  } else if (done.read >= 0 && done.read < decl_.reads.size()) {
    const Read read = decl_.reads[done.read];
    cycle_ = (done.read + 1) % static_cast<int>(decl_.reads.size());
    show(read, frame);
  }
  if (owed_ && !outstanding_) {
    owed_ = false;
    sendNext();
  }
}

// A frame that answers a request given up on: counted against its copies (the controller answers
// each request once, in order). It shows the controller is slow: the port's reply time-out grows
// to what this answer took (from the copy it answers), up to the bound.
bool Exchange::answersUnsettled(const QByteArray& frame) {
  for (Unsettled& u : unsettled_) {
    if (checkReply(u.body, frame) == Verdict::Dropped) continue;
    lateAnswer(u);
    return true;
  }
  return false;
}

void Exchange::lateAnswer(Unsettled& u) {
  const std::int64_t t = now();
  if (u.answered < u.sentAt.size()) {
    const std::int64_t took = t - u.sentAt[u.answered];
    LineTiming& timing = this->timing();
    if (took >= replyTimeoutOnLine(u.body))
      timing.slowReplyMs = static_cast<int>(std::min<std::int64_t>(LineTiming::kMaxReplyMs,
                                                                   std::max<std::int64_t>(timing.slowReplyMs, took + took / 4)));
    ++u.answered;
  }
  if (u.firstAnswerAt < 0) u.firstAnswerAt = t;
  if (u.answered >= u.sentAt.size()) forgetUnsettled(u.body);
}

// How long the line stays quiet after an answer before the next request. On a real line about two
// frames' time: a second copy of an answer sent that soon arrives while nothing waits for it, or
// before the next answer could, and is dropped. A line that has shown such copies waits as long
// as they took.
int Exchange::answerQuietMs() {
  const bool paced = link_ && link_->charMs() > 0;
  return std::max(timing().repeatGuardMs, paced ? kAnswerQuietMs : 0);
}

// A well-formed frame that answers nothing the engine sent, or came too early to be the answer:
// the controller sends some answers twice. From now on the line stays quiet after each answer for
// as long as that copy took, so that such copies arrive while nothing waits for them.
void Exchange::strayFrame(const QByteArray& frame) {
  if (lastAnswerAt_ < 0 || !isWellFormed(frame)) return;
  const std::int64_t gap = now() - lastAnswerAt_;
  if (gap > LineTiming::kMaxReplyMs) return;
  LineTiming& t = timing();
  t.repeatGuardMs = static_cast<int>(std::min<std::int64_t>(LineTiming::kMaxReplyMs,
                                                            std::max<std::int64_t>(t.repeatGuardMs, gap + gap / 4 + 10)));
}

void Exchange::show(const Read& read, const QByteArray& frame) {
  const std::int64_t value = read.count == 2 ? std::int64_t{replyLong(frame)} : std::int64_t{replyWord(frame)};
  if (!read.field.isEmpty()) {
    Field& f = fields_[read.field];
    if (!f.locked) {
      f.text = read.text ? read.text(value) : scaledText(value, read.divisor);
      f.known = true;
      emit fieldShown(read.field, f.text);
    }
  }
  if (read.then) read.then(value);
}

void Exchange::acknowledge(int jobId) {
  const auto it = findJob(jobId);
  if (it == queue_.end()) return;  // released or replaced meanwhile
  Job& job = *it;
  const Name written = job.written.value(job.step);
  if (!written.isEmpty()) {
    if (job.seq.clears == ClearLocks::All) {
      for (Field& f : fields_) f.locked = false;
    } else {
      fields_[written].locked = false;
    }
  }
  if (++job.step < job.bodies.size()) return;
  if (job.offCoil) coilsOn_.removeAll(job.offCoil);
  const Sequence seq = job.seq;
  const Name button = job.button;
  const bool momentaryOn = job.onCoil != 0;
  queue_.erase(it);
  if (momentaryOn) return;  // the button shows red for as long as it is held
  setPending(button, false);
  for (const Name& b : seq.alsoRestores) setPending(b, false);
  if (seq.resumeAt >= 0 && seq.resumeAt < decl_.reads.size()) cycle_ = seq.resumeAt;
  if (seq.intervalAfter > 0) setInterval(seq.intervalAfter);
}

// ---- operator actions ----------------------------------------------------------------------

void Exchange::lockField(const Name& field) { fields_[field].locked = true; }

void Exchange::typeField(const Name& field, const QString& text) {
  Field& f = fields_[field];
  f.text = text;
  f.known = true;
}

std::optional<Exchange::Job> Exchange::encode(const Sequence& seq, QString* error) {
  Job job;
  job.button = seq.button;
  job.seq = seq;
  job.persistent = seq.stop;
  for (const WriteStep& step : seq.steps) {
    if (const auto* c = std::get_if<CoilWrite>(&step)) {
      job.bodies << coilBody(c->coil, c->on);
      job.written << Name();
      job.repeat << (c->repeat || seq.stop);
      continue;
    }
    const auto& w = std::get<RegisterWrite>(step);
    const Field f = fields_.value(w.field);
    if (!f.known) {
      *error = msg::Unknown;
      return std::nullopt;
    }
    const std::optional<double> plain = plainNumber(f.text);
    if (w.wholeText && !plain) {
      *error = msg::NotANumber;
      return std::nullopt;
    }
    const double checked = (w.wholeText ? *plain : leadingNumber(f.text)) * w.scale;
    if (w.range && (checked < w.range->min || checked > w.range->max)) {
      *error = w.range->message;
      return std::nullopt;
    }
    if (!plain) {
      *error = msg::NotANumber;
      return std::nullopt;
    }
    const double v = roundHalfEven(*plain * w.scale);
    if (w.count == 1) {
      if (v < 0) {
        *error = msg::Negative;
        return std::nullopt;
      }
      if (v > 65535) {
        *error = msg::tooLarge(scaledText(65535, w.scale));
        return std::nullopt;
      }
      job.bodies << writeWordBody(w.reg, hexWord(v));
    } else {
      if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) {
        *error = msg::tooLarge(scaledText(std::numeric_limits<std::int32_t>::max(), w.scale));
        return std::nullopt;
      }
      job.bodies << writeLongBody(w.reg, hexLongLowFirst(static_cast<std::int32_t>(v)));
    }
    job.written << w.field;
    job.repeat << true;  // register writes go out again at every tick until answered
  }
  return job;
}

void Exchange::click(const Name& button) {
  if (leaving_) return;
  const auto seq = std::find_if(decl_.sequences.cbegin(), decl_.sequences.cend(),
                                [&](const Sequence& s) { return s.button == button; });
  if (seq == decl_.sequences.cend()) return;
  setPending(button, true);
  if (seq->intervalOnClick > 0) setInterval(seq->intervalOnClick);
  if (seq->restartTimer) emit timerRestart();
  QString error;
  std::optional<Job> job = encode(*seq, &error);
  if (!job) {
    notify(error);  // nothing is sent; the typed texts and their locks stay
    return;
  }
  for (const Name& other : seq->cancels) {
    std::erase_if(queue_, [&](const Job& j) {
      return j.button == other && !(outstanding_ && outstanding_->job == j.id);
    });
  }
  // Clicked again before it went out: the new values replace the waiting ones.
  for (Job& waiting : queue_) {
    if (waiting.button == button && !waiting.sent) {
      job->id = waiting.id;
      waiting = std::move(*job);
      return;
    }
  }
  enqueue(std::move(*job));
}

void Exchange::press(const Name& button) {
  const Momentary* m = momentary(button);
  if (!m || held_.contains(button) || leaving_) return;
  held_ << button;
  setPending(button, true);
  Job on;
  on.button = button;
  on.bodies << coilBody(m->coil, true);
  on.written << Name();
  on.repeat << true;
  on.onCoil = m->coil;
  enqueue(std::move(on));
  if (!coilsOn_.contains(m->coil)) coilsOn_ << m->coil;
}

void Exchange::release(const Name& button) {
  const Momentary* m = momentary(button);
  if (!m || !held_.contains(button)) return;
  held_.removeAll(button);
  setPending(button, false);
  // An ON not yet answered is not tried again; an OFF already waiting is not doubled.
  std::erase_if(queue_, [&](const Job& j) { return j.onCoil == m->coil || j.offCoil == m->coil; });
  Job off;
  off.button = button;
  off.bodies << coilBody(m->coil, false);
  off.written << Name();
  off.repeat << true;
  off.persistent = true;
  off.offCoil = m->coil;
  off.seq.button = button;
  enqueue(std::move(off));
}

void Exchange::releaseAll() {
  const QList<Name> held = held_;
  for (const Name& b : held) release(b);
}

void Exchange::beginLeave() {
  releaseAll();
  leaving_ = true;
  // What the operator asked for and has not gone out is dropped with the screen; OFFs and stops
  // stay, and so does a request already on the line (its answer is still awaited).
  std::erase_if(queue_, [&](const Job& j) {
    return !j.persistent && !(outstanding_ && outstanding_->job == j.id);
  });
}

void Exchange::enqueue(Job job) {
  job.id = nextJobId_++;
  job.queuedAt = now();
  if (!job.persistent) {
    queue_.push_back(std::move(job));
    return;
  }
  // OFFs and stops go ahead of every ordinary command, behind earlier OFFs and stops.
  auto pos = std::find_if(queue_.begin(), queue_.end(), [](const Job& j) { return !j.persistent; });
  queue_.insert(pos, std::move(job));
}

bool Exchange::hasSafetyWork() const {
  return std::any_of(queue_.begin(), queue_.end(), [](const Job& j) { return j.persistent; });
}

// ---- declarations and state ----------------------------------------------------------------

void Exchange::setReads(QList<Read> reads, bool forgetValues) {
  decl_.reads = std::move(reads);
  cycle_ = 0;
  stalled_ = false;
  if (outstanding_) outstanding_->read = -1;  // a reply to the old table shows nothing
  if (forgetValues)
    for (Field& f : fields_) f.known = false;
}

void Exchange::setInterval(int ms) {
  if (ms == decl_.intervalMs) return;
  decl_.intervalMs = ms;
  emit intervalChanged(ms);
}

void Exchange::setPending(const Name& button, bool on) {
  if (on) {
    if (!pending_.contains(button)) pending_ << button;
  } else {
    // Still red while another click of the same button waits to go out.
    const bool waiting = std::any_of(queue_.begin(), queue_.end(), [&](const Job& j) {
      return j.button == button && j.onCoil == 0 && j.offCoil == 0;
    });
    if (waiting || !pending_.contains(button)) return;
    pending_.removeAll(button);
  }
  emit pendingChanged(button, on);
}

void Exchange::notify(const QString& text) {
  enterModal();
  if (notify_) notify_(text);
  leaveModal();
}

const Momentary* Exchange::momentary(const Name& button) const {
  for (const Momentary& m : decl_.momentaries)
    if (m.button == button) return &m;
  return nullptr;
}

std::deque<Exchange::Job>::iterator Exchange::findJob(int id) {
  return std::find_if(queue_.begin(), queue_.end(), [id](const Job& j) { return j.id == id; });
}

}  // namespace lorvane
