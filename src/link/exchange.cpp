#include "link/exchange.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <memory>

#include "link/frames.h"
#include "link/registers.h"
#include "link/reply.h"

namespace lorvane {

namespace {
// What the controller may take to start answering, beyond the characters on the line.
constexpr int kControllerAllowanceMs = 100;
constexpr double kMsPerChar = 10.0 * 1000.0 / 9600.0;  // 8N1: ten bits a character
constexpr int kSettleMarginMs = 50;
}  // namespace

int Exchange::replyTimeoutMs(const Request& r) {
  const int chars = static_cast<int>(r.body().size()) + 5 + r.replyChars();
  return static_cast<int>(std::ceil(chars * kMsPerChar)) + kControllerAllowanceMs;
}

int Exchange::replyTimeoutMs(const QByteArray& body) { return replyTimeoutMs(Request::fromBody(body)); }

int Exchange::replyTimeoutOnLine(const Request& request) const {
  const LineTiming& t = link_ ? link_->timing() : ownTiming_;
  return std::max(replyTimeoutMs(request), t.slowReplyMs);
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

void Exchange::note(Outcome outcome, const QByteArray& frame, const std::optional<Request>& request, bool sent) {
  TrafficEvent e;
  e.time = QDateTime::currentDateTime();
  e.sent = sent;
  e.frame = frame;
  e.outcome = outcome;
  if (request) {
    e.request = request->body();
    e.replyTimeoutMs = replyTimeoutOnLine(*request);
  }
  Traffic::instance().record(std::move(e));
}

// ---- the tick ------------------------------------------------------------------------------

void Exchange::tick() {
  ++silent_;
  if (expired()) timeOut();
  // An OFF or a stop that is not getting through: the operator must know the axis may still run.
  for (Job& job : queue_.jobs()) {
    if (job.mustReach() && !job.warned && now() - job.queuedAt >= kStopWarnMs) {
      job.warned = true;
      emit stopNotDelivered();
    }
  }
  if (silent_ >= decl_.silentLimit && line_ == Line::Free) {
    silent_ = 0;
    abandon();
  }
  if (line_ == Line::Waiting) {
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
  const Outstanding o = out_;
  line_ = Line::Free;
  note(Outcome::TimedOut, {}, o.request);
  bool stall = !decl_.repeatingReads;
  if (o.job) {
    const Job* job = queue_.find(o.job);
    stall = job && job->current() && !job->current()->repeat;
  }
  stalled_ = stalled_ || stall;
  if (!unsettledFor(o.request)) unsettled_.append(Unsettled{o.request, {o.sentAt}});
}

// A sequence in a timed wait moves on once the time is up, whether or not anything may be sent
// now: the OFF of a pulse that follows must not wait for a message box to close.
void Exchange::advanceWaits() {
  for (Job& job : queue_.jobs()) {
    while (job.step > 0 && job.current() && job.current()->kind == Planned::Kind::Wait) {
      if (job.waitUntil < 0) job.waitUntil = now() + job.current()->waitMs;
      if (now() < job.waitUntil) break;
      job.waitUntil = -1;
      ++job.step;
    }
  }
  std::deque<Job> done;
  for (const Job& job : queue_.jobs())
    if (!job.current()) done.push_back(job);
  for (Job& job : done) finish(std::move(job));
}

void Exchange::sendNext() {
  advanceWaits();
  // Commands first, in click order (OFFs and stops stand at the front). While a message box is
  // open or the screen is being left, only those go out.
  const bool gated = modal_ > 0 || leaving_;
  if (Job* job = queue_.next(gated)) {
    const Planned* p = job->current();
    if (!p || p->kind == Planned::Kind::Wait) return;  // a sequence waits: nothing else goes out
    if (stalled_ && job->sent && !job->mustReach()) return;  // wait for the silent-tick limit
    if (!mayGoOut(p->request)) return;
    job->sent = true;
    if (p->pulseOn) job->pulseCoil = p->request.address;
    send(p->request, job->id, -1);
    return;
  }
  if (!queue_.empty() || gated || stalled_ || decl_.reads.isEmpty()) return;
  const int n = static_cast<int>(decl_.reads.size());
  for (int tries = 0; tries < n; ++tries) {
    const Read& r = decl_.reads[cycle_];
    if (!r.field.isEmpty() && fields_.value(r.field).locked) {
      cycle_ = (cycle_ + 1) % n;  // a field being edited is skipped, the rest keeps refreshing
      continue;
    }
    const Request request = Request::read(r.reg, r.count);
    if (mayGoOut(request)) send(request, 0, cycle_);
    return;
  }
}

// How long the line stays quiet after an answer before the next request. While a port's first
// answers are on trial, about two frames' time on a real line: a second copy of an answer sent
// that soon arrives while nothing waits for it, or before the next answer could, and is dropped.
// A line that has shown such copies waits as long as they took, for as long as the program runs.
int Exchange::answerQuietMs() {
  const LineTiming& t = timing();
  const bool onTrial = link_ && link_->charMs() > 0 && t.answersTaken < LineTiming::kAnswersOnTrial;
  return std::max(t.repeatGuardMs, onTrial ? kAnswerQuietMs : 0);
}

// Whether a request may go out now: not within the quiet kept after an answer, and not while a
// request whose answer looks the same may still be answered late.
bool Exchange::mayGoOut(const Request& request) {
  const std::int64_t t = now();
  if (lastAnswerAt_ >= 0 && t < lastAnswerAt_ + answerQuietMs()) return false;
  for (qsizetype i = 0; i < unsettled_.size();) {
    const Unsettled& u = unsettled_[i];
    // Settled by time: the copies sent last have had as long as the slowest answer seen took,
    // or, with none seen, the longest a controller may take.
    const std::int64_t wait = u.firstAnswerAt >= 0                ? u.firstAnswerAt - u.sentAt.first()
                              : u.request.fn == Request::Fn::Read ? LineTiming::kMaxReplyMs
                                                                  : replyTimeoutOnLine(u.request);
    if (t >= u.sentAt.last() + wait + kSettleMarginMs) {
      unsettled_.removeAt(i);
      continue;
    }
    if (!(u.request == request) && u.request.answerLooksLike(request)) return false;
    ++i;
  }
  return true;
}

void Exchange::send(const Request& request, int job, int read) {
  const std::int64_t t = now();
  const QByteArray body = request.body();
  // A new request starts the silent-tick count again; a copy of the one that went unanswered
  // does not, so a write that is never answered is still given up at the limit.
  if (!link_ || link_->lastBody() != body) silent_ = 0;
  line_ = Line::Waiting;
  out_ = Outstanding{request, t, t + replyTimeoutOnLine(request), job, read};
  Unsettled* copy = unsettledFor(request);
  if (copy) copy->sentAt << t;
  stalled_ = false;
  if (!link_) return;
  link_->send(body);
  note(copy ? Outcome::Resent : Outcome::Sent, buildFrame(body), request, true);
}

// After the silent-tick limit: the command being sent is given up (its button stays red) unless
// it is an OFF, a stop or the ON of a button still held. The read cycle goes on with the read that
// went unanswered, so that on a lossy line every field keeps being refreshed in turn.
void Exchange::abandon() {
  stalled_ = false;
  if (queue_.empty()) return;
  Job& front = queue_.front();
  if (front.sent && !front.mustReach() && front.kind != JobKind::HoldOn && !front.pulseCoil) queue_.remove(front.id);
}

Exchange::Unsettled* Exchange::unsettledFor(const Request& request) {
  for (Unsettled& u : unsettled_)
    if (u.request == request) return &u;
  return nullptr;
}

void Exchange::forgetUnsettled(const Request& request) {
  unsettled_.removeIf([&](const Unsettled& u) { return u.request == request; });
}

// ---- replies -------------------------------------------------------------------------------

void Exchange::onFrame(const QByteArray& frame) {
  if (!isWellFormed(frame)) {
    note(Outcome::Malformed, frame);
    return;
  }
  if (expired()) timeOut();  // in by the deadline or not at all
  if (line_ != Line::Waiting || checkReply(out_.request, frame) == Verdict::Dropped) {
    // Nothing waits for it: a late answer to a request given up on, or a second copy of an answer.
    if (answersUnsettled(frame)) {
      note(Outcome::Late, frame);
    } else {
      note(line_ == Line::Waiting ? Outcome::Unmatched : Outcome::Stray, frame,
           line_ == Line::Waiting ? std::optional<Request>(out_.request) : std::nullopt);
      strayFrame(frame);
    }
    return;
  }
  Unsettled* copy = unsettledFor(out_.request);
  if (copy) {
    // One of several copies of the same request: any of their answers is the answer.
    if (copy->answered < copy->sentAt.size()) ++copy->answered;
    if (copy->firstAnswerAt < 0) copy->firstAnswerAt = now();
    if (copy->answered >= copy->sentAt.size()) forgetUnsettled(copy->request);
  } else if (link_ && now() - out_.sentAt < minRoundTripMs(out_.request, link_->charMs())) {
    // Complete before the request and its answer could have crossed the line: not its answer.
    note(Outcome::Stray, frame, out_.request);
    strayFrame(frame);
    return;
  }
  const bool refused = checkReply(out_.request, frame) == Verdict::Refused;
  note(refused ? Outcome::Refused : Outcome::Answered, frame, out_.request);
  silent_ = 0;
  lastAnswerAt_ = now();
  ++timing().answersTaken;
  line_ = Line::Free;
  stalled_ = false;
  answered(out_, refused, frame);
  if (owed_ && line_ == Line::Free) {
    owed_ = false;
    sendNext();
  }
}

void Exchange::answered(const Outstanding& done, bool refused, const QByteArray& frame) {
  if (refused) {
    // The controller refused: the command ends, its button stays red. An OFF or a stop is not
    // given up: it goes out again at the next tick. A refused read is passed over.
    const Job* job = queue_.find(done.job);
    if (job && !job->mustReach()) queue_.remove(done.job);
    if (!done.job && !decl_.reads.isEmpty()) cycle_ = (cycle_ + 1) % static_cast<int>(decl_.reads.size());
  } else if (done.job) {
    acknowledge(done.job);
  } else if (done.read >= 0 && done.read < decl_.reads.size()) {
    const Read read = decl_.reads[done.read];
    cycle_ = (done.read + 1) % static_cast<int>(decl_.reads.size());
    show(read, frame);
  }
}

// A frame that answers a request given up on: counted against its copies (the controller answers
// each request once, in order). It shows the controller is slow: the port's reply time-out grows
// to what this answer took (from the copy it answers), up to the bound.
bool Exchange::answersUnsettled(const QByteArray& frame) {
  for (Unsettled& u : unsettled_) {
    if (checkReply(u.request, frame) == Verdict::Dropped) continue;
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
    if (took >= replyTimeoutOnLine(u.request))
      timing.slowReplyMs = static_cast<int>(std::min<std::int64_t>(LineTiming::kMaxReplyMs,
                                                                   std::max<std::int64_t>(timing.slowReplyMs, took + took / 4)));
    ++u.answered;
  }
  if (u.firstAnswerAt < 0) u.firstAnswerAt = t;
  if (u.answered >= u.sentAt.size()) forgetUnsettled(u.request);
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
    FieldState& f = fields_[read.field];
    if (!f.locked) {
      f.text = !read.texts.isEmpty() ? read.texts.value(value) : read.text ? read.text(value) : scaledText(value, read.scale);
      f.known = true;
      f.edited = false;
      f.lastRead = value;
      emit fieldShown(read.field, f.text);
    }
  }
  for (const Show& s : read.also)
    emit fieldShown(s.control, s.texts.isEmpty() ? scaledText(value, read.scale) : s.texts.value(value));
  if (read.then) read.then(value);
}

void Exchange::acknowledge(int jobId) {
  Job* job = queue_.find(jobId);
  if (!job) return;  // released or replaced meanwhile
  const Planned* p = job->current();
  if (p && !p->written.isEmpty()) {
    if (job->clears == ClearLocks::All) {
      for (FieldState& f : fields_) f.locked = false;
    } else {
      fields_[p->written].locked = false;
    }
    fields_[p->written].edited = false;
  }
  if (p && p->mustReach && p->request.isCoil() && !p->request.value && job->pulseCoil == p->request.address)
    job->pulseCoil = 0;  // the pulse's OFF is in
  ++job->step;
  job->sent = false;
  if (job->current() && job->current()->kind == Planned::Kind::Wait) job->waitUntil = now() + job->current()->waitMs;
  if (job->current()) return;
  Job done = std::move(*job);
  queue_.remove(jobId);
  finish(std::move(done));
}

// Everything of a job is acknowledged: its button gets its colour back and its effects run.
void Exchange::finish(Job job) {
  queue_.remove(job.id);
  // The OFF is in; but a button of the same coil pressed again since then has its ON on the way
  // or in, so the coil is still counted on.
  if (job.kind == JobKind::HoldOff && std::none_of(held_.cbegin(), held_.cend(), [&](const Name& b) {
        const Momentary* m = momentary(b);
        return m && m->coil == job.coil;
      }))
    coilsOn_.removeAll(job.coil);
  if (job.kind == JobKind::HoldOn) return;  // the button shows red for as long as it is held
  if (job.kind == JobKind::HoldOff || job.kind == JobKind::PulseOff) return;
  setPending(job.button, false);
  run(job.onDone, job.button);
}

void Exchange::run(const Effects& effects, const Name& button) {
  bool cycleSet = false;
  for (const Effect& e : effects) {
    if (const auto* r = std::get_if<Restore>(&e)) {
      for (const Name& b : r->buttons) setPending(b, false);
    } else if (const auto* at = std::get_if<ResumeAt>(&e)) {
      for (qsizetype i = 0; i < decl_.reads.size(); ++i)
        if (decl_.reads[i].field == at->field) cycle_ = static_cast<int>(i);
      cycleSet = true;
    } else if (std::holds_alternative<KeepCycle>(e)) {
      cycleSet = true;
    } else if (const auto* iv = std::get_if<SetInterval>(&e)) {
      setInterval(iv->ms);
    } else if (std::holds_alternative<RestartTimer>(e)) {
      emit timerRestart();
    } else if (std::holds_alternative<ForgetBanked>(e)) {
      forgetBanked();
    } else if (const auto* m = std::get_if<Message>(&e)) {
      notify(m->text);
    } else if (const auto* st = std::get_if<StartSequence>(&e)) {
      if (st->button != button) click(st->button);
    } else if (const auto* b = std::get_if<Blank>(&e)) {
      blank(b->controls);
    }
  }
  if (!cycleSet) cycle_ = 0;  // by default reading starts over at the first read
}

// ---- operator actions ----------------------------------------------------------------------

void Exchange::lockField(const Name& field) { fields_[field].locked = true; }

void Exchange::typeField(const Name& field, const QString& text) {
  FieldState& f = fields_[field];
  f.text = text;
  f.known = true;
  f.edited = true;
}

const Sequence* Exchange::sequence(const Name& button) const {
  for (const Sequence& s : decl_.sequences)
    if (s.button == button) return &s;
  return nullptr;
}

void Exchange::click(const Name& button) {
  if (leaving_) return;
  const Sequence* found = sequence(button);
  if (!found) return;
  const Sequence seq = *found;  // the declaration may change while a box is open
  setPending(button, true);
  // What happens at the click happens whatever follows; the effects once done come later.
  for (const Effect& e : seq.onClick) {
    if (const auto* iv = std::get_if<SetInterval>(&e)) setInterval(iv->ms);
    else if (std::holds_alternative<RestartTimer>(e)) emit timerRestart();
    else if (std::holds_alternative<ForgetBanked>(e)) forgetBanked();
    else if (const auto* b = std::get_if<Blank>(&e)) blank(b->controls);
  }
  for (const Name& other : seq.refusedWhile) {
    if (queue_.waits(other)) {
      notify(seq.busyMessage);
      return;
    }
  }
  for (const Name& field : seq.needsRead) {
    if (!fields_.value(field).lastRead) {
      notify(seq.unreadMessage);
      return;
    }
  }
  QList<Step> steps = seq.steps;
  Effects done = seq.onDone;
  if (seq.whenChanged) {
    const FieldState f = fields_.value(seq.whenChanged->field);
    const double typed = leadingNumber(f.text);
    if (f.lastRead && typed != double(*f.lastRead)) {
      steps = seq.whenChanged->steps;
      done = seq.whenChanged->done;
    }
  }
  const auto planned = plan(steps, fields_, seq.kind == Sequence::Kind::Stop);
  if (const auto* refusal = std::get_if<QString>(&planned)) {
    notify(*refusal);  // nothing is sent; the typed texts and their locks stay
    return;
  }
  if (seq.confirm) {
    const auto lastRead = [this](const Name& field) { return fields_.value(field).lastRead; };
    if (!ask(seq.confirm->title, seq.confirm->text(lastRead))) {
      setPending(button, false);  // the operator said no: nothing is pending
      return;
    }
  }
  const int onLine = line_ == Line::Waiting ? out_.job : 0;
  queue_.cancel(seq.cancels, onLine);
  Job job{.kind = seq.kind == Sequence::Kind::Stop ? JobKind::Stop : JobKind::Sequence,
          .button = button,
          .steps = std::get<QList<Planned>>(planned),
          .clears = seq.clears,
          .onDone = done};
  if (job.steps.isEmpty()) {
    finish(std::move(job));
    return;
  }
  queue_.add(std::move(job), now());
}

void Exchange::press(const Name& button) {
  const Momentary* m = momentary(button);
  if (!m || held_.contains(button) || leaving_) return;
  held_ << button;
  setPending(button, true);
  queue_.add(Job{.kind = JobKind::HoldOn, .button = button,
                 .steps = {Planned{.request = Request::coil(m->coil, true), .repeat = true}}, .coil = m->coil},
             now());
  if (!coilsOn_.contains(m->coil)) coilsOn_ << m->coil;
}

void Exchange::release(const Name& button) {
  const Momentary* m = momentary(button);
  if (!m || !held_.contains(button)) return;
  held_.removeAll(button);
  setPending(button, false);
  // An ON not yet answered is not tried again; an OFF already waiting is not doubled.
  std::erase_if(queue_.jobs(), [&](const Job& j) {
    return (j.kind == JobKind::HoldOn || j.kind == JobKind::HoldOff) && j.coil == m->coil;
  });
  queue_.add(Job{.kind = JobKind::HoldOff, .button = button,
                 .steps = {Planned{.request = Request::coil(m->coil, false), .repeat = true, .mustReach = true}},
                 .coil = m->coil},
             now());
}

void Exchange::releaseAll() {
  const QList<Name> held = held_;
  for (const Name& b : held) release(b);
}

void Exchange::beginLeave() {
  releaseAll();
  leaving_ = true;
  queue_.leave(line_ == Line::Waiting ? out_.job : 0, now());
}

QStringList Exchange::undeliveredPulses() const {
  QStringList texts;
  for (const Job& j : const_cast<CommandQueue&>(queue_).jobs())
    if (j.kind == JobKind::PulseOff && j.current() && !j.current()->undelivered.isEmpty()) texts << j.current()->undelivered;
  return texts;
}

// ---- declarations and state ----------------------------------------------------------------

void Exchange::setReads(QList<Read> reads, bool forgetValues) {
  decl_.reads = std::move(reads);
  cycle_ = 0;
  stalled_ = false;
  out_.read = -1;  // a reply to the old table shows nothing
  if (forgetValues)
    for (FieldState& f : fields_) {
      f.known = false;
      f.lastRead.reset();
    }
}

void Exchange::forgetBanked() {
  for (const Read& r : decl_.reads) {
    if (!reg::banked(r.reg)) continue;
    FieldState& f = fields_[r.field];
    f.known = false;
    f.edited = false;
    f.lastRead.reset();
  }
  for (FieldState& f : fields_) f.locked = false;
}

void Exchange::blank(const QList<Name>& controls) {
  for (const Name& c : controls) {
    FieldState& f = fields_[c];
    f.text.clear();
    f.known = false;
    f.edited = false;
    f.locked = false;  // else a field being edited would never be read again
    f.lastRead.reset();
    emit fieldShown(c, QString());
  }
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
    if (queue_.waits(button) || !pending_.contains(button)) return;
    pending_.removeAll(button);
  }
  emit pendingChanged(button, on);
}

void Exchange::notify(const QString& text) {
  enterModal();
  if (notify_) notify_(text);
  leaveModal();
}

bool Exchange::ask(const QString& title, const QString& text) {
  enterModal();
  const bool ok = ask_ ? ask_(title, text) : false;
  leaveModal();
  return ok;
}

const Momentary* Exchange::momentary(const Name& button) const {
  for (const Momentary& m : decl_.momentaries)
    if (m.button == button) return &m;
  return nullptr;
}

}  // namespace lorvane
