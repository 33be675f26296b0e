#include "link/exchange.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <memory>

#include "frames/frames.h"
#include "frames/registers.h"
#include "frames/reply.h"

namespace lorvane {

namespace {
// One clock for every engine of the program: the line's times outlive a screen.
std::int64_t programClock() {
  static const QElapsedTimer timer = [] {
    QElapsedTimer t;
    t.start();
    return t;
  }();
  return timer.elapsed();
}

std::uint64_t nextEngineId() {
  static std::uint64_t id = 0;
  return ++id;
}
}  // namespace

Exchange::Exchange(ScreenDecl decl, QObject* parent)
    : QObject(parent), decl_(std::move(decl)), clock_(defaultClock()), id_(nextEngineId()) {}

Exchange::Clock& Exchange::defaultClock() {
  static Clock clock = programClock;
  return clock;
}

void Exchange::setDefaultClock(Clock clock) { defaultClock() = clock ? std::move(clock) : Clock(programClock); }

// Operations still under way end here: their caller learns that the engine has gone.
Exchange::~Exchange() { endOperations(Operation::Result::Cancelled); }

void Exchange::setLink(Link* link) {
  if (link_) disconnect(link_, nullptr, this, nullptr);
  link_ = link;
  if (!link) return;
  connect(link, &Link::frameReceived, this, &Exchange::onFrame);
  connect(link, &Link::portLost, this, [this] { endOperations(Operation::Result::PortLost); });
  guard().setTrial(link->charMs() > 0);
  guard().reopened();
  // OFFs and stops owed from before: they stand first, and the coils stay counted on until the
  // OFFs are acknowledged.
  std::deque<Job>& owed = link->port().owedStops;
  for (Job& job : owed) {
    job.carried = true;
    job.sent = false;
    job.warned = false;
    if (job.isOff() && !coilsOn_.contains(job.coil)) coilsOn_ << job.coil;
    queue_.add(std::move(job), now());
  }
  owed.clear();
}

void Exchange::handOver() {
  if (!link_) return;
  endOperations(Operation::Result::PortLost);  // the port is no longer this engine's
  releaseAll();  // the port is gone or left: no button is held any more, its OFF is owed
  std::deque<Job>& owed = link_->port().owedStops;
  for (const Job& job : queue_.jobs())
    if (job.mustReach()) owed.push_back(job);
  std::erase_if(queue_.jobs(), [](const Job& j) { return j.mustReach(); });
}

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
  if (const auto o = guard().expire(now())) timeOut(*o);
  checkOperations();
  // An OFF or a stop that is not getting through: the operator must know the axis may still run.
  for (Job& job : queue_.jobs()) {
    if (job.mustReach() && !job.warned && now() - job.queuedAt >= kStopWarnMs) {
      job.warned = true;
      emit stopNotDelivered();
    }
  }
  if (silent_ >= decl_.silentLimit && guard().state() != LineGuard::State::Waiting) {
    silent_ = 0;
    abandon();
  }
  if (guard().state() == LineGuard::State::Waiting) {
    owed_ = true;  // the line is busy: this tick's request goes out as soon as it is free
    return;
  }
  owed_ = false;
  sendNext();
}

// Unanswered in time. A request that repeats goes out again at the next tick; a single-shot one
// leaves the screen waiting for the silent-tick limit. Its answer may still come: the line keeps
// it owed, and no request whose answer looks the same goes out meanwhile.
void Exchange::timeOut(const LineGuard::Owed& o) {
  note(Outcome::TimedOut, {}, o.request);
  if (!mine(o)) return;  // a request of a screen gone
  if (Operation* op = operationOf(o.sender.job)) ++op->counts_.timeouts;
  bool stall = !decl_.repeatingReads;
  if (o.sender.job) {
    const Job* job = queue_.find(o.sender.job);
    stall = job && job->current() && !job->current()->repeat;
  }
  stalled_ = stalled_ || stall;
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
    const Request request = p->request;
    const bool pulseOn = p->pulseOn;
    const int id = job->id;
    if (offer(request, id, -1) && queue_.find(id)) {
      Job* sent = queue_.find(id);
      sent->sent = true;
      if (pulseOn) sent->pulseCoil = request.address;
    }
    return;
  }
  if (!queue_.empty() || gated || stalled_ || decl_.reads.isEmpty() || readsHeld_ > 0) return;
  const int n = static_cast<int>(decl_.reads.size());
  for (int tries = 0; tries < n; ++tries) {
    const Read& r = decl_.reads[cycle_];
    if (!r.field.isEmpty() && fields_.value(r.field).locked) {
      cycle_ = (cycle_ + 1) % n;  // a field being edited is skipped, the rest keeps refreshing
      continue;
    }
    offer(Request::read(r.reg, r.count), 0, cycle_);
    return;
  }
}

// True when the request itself went out. A settling read sent in its place carries the values
// of a read (it starts at the same register and is longer), or only settles the line.
bool Exchange::offer(const Request& request, int job, int read) {
  const LineGuard::Clearance c = guard().clear(request, now());
  switch (c.what) {
    case LineGuard::Clearance::What::Go:
      send(request, job, read);
      return true;
    case LineGuard::Clearance::What::Instead: {
      const bool carries = read >= 0 && c.request.address == request.address && c.request.count >= request.count;
      send(c.request, 0, carries ? read : -1);
      return false;
    }
    case LineGuard::Clearance::What::Wait:
      break;
  }
  return false;
}

void Exchange::send(const Request& request, int job, int read) {
  const std::int64_t t = now();
  const QByteArray body = request.body();
  // A new request starts the silent-tick count again; a copy of the one that went unanswered
  // does not, so a write that is never answered is still given up at the limit.
  if (!link_ || link_->lastBody() != body) silent_ = 0;
  const bool copy = guard().owes(request);
  guard().sent(request, Sender{id_, job, read, table_}, t);
  stalled_ = false;
  if (Operation* op = operationOf(job)) {
    ++op->counts_.sent;
    if (op->lastHeard_ < 0) op->lastHeard_ = t;
  }
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
  // An operation is not given up by ticks: it has its own time-out.
  if (front.sent && !front.mustReach() && front.kind != JobKind::HoldOn && front.kind != JobKind::Operation &&
      !front.pulseCoil)
    queue_.remove(front.id);
}

// ---- replies -------------------------------------------------------------------------------

void Exchange::onFrame(const QByteArray& frame) {
  if (decl_.restartTickOnReply) emit timerRestart();
  if (!isWellFormed(frame)) {
    note(Outcome::Malformed, frame);
    return;
  }
  heard_ = now();
  if (const auto o = guard().expire(now())) timeOut(*o);  // in by the deadline or not at all
  const std::int64_t inStepSince = guard().inStepSince();
  const LineGuard::Verdict v = guard().take(frame, now());
  using K = LineGuard::Kind;
  switch (v.kind) {
    case K::Answer:
    case K::Refused:
      if (!mine(*v.owed)) {
        note(Outcome::Late, frame, v.owed->request);  // the request of a screen gone
        break;
      }
      note(v.refusal ? Outcome::Refused : Outcome::Answered, frame, v.owed->request);
      silent_ = 0;
      stalled_ = false;
      answered(*v.owed, v.refusal, frame);
      break;
    case K::Late:
      note(mine(*v.owed) && !v.refusal && takeLate(*v.owed, frame) ? Outcome::LateTaken : Outcome::Late, frame,
           v.owed->request);
      break;
    case K::Copy:
    case K::Stray:
    case K::Malformed:
      note(Outcome::Stray, frame);
      break;
    case K::OutOfStep:
      note(Outcome::OutOfStep, frame, v.owed ? std::optional<Request>(v.owed->request) : std::nullopt);
      lostStep(v, inStepSince);
      break;
  }
  // The line is free: a tick that came while it was busy sends now. An operation's next request
  // waits for its tick like any other: a controller that sends each answer twice must have its copy
  // come before the next request of the same shape is out, or the copy is taken for its answer.
  if (owed_ && guard().state() == LineGuard::State::Free) {
    owed_ = false;
    sendNext();
  }
}

void Exchange::answered(const LineGuard::Owed& done, bool refused, const QByteArray& frame) {
  const int jobId = done.sender.job;
  const int readAt = done.sender.table == table_ ? done.sender.read : -1;
  if (refused) {
    // The controller refused: the command ends, its button stays red. An OFF or a stop is not
    // given up: it goes out again at the next tick. A refused read is passed over.
    const Job* job = queue_.find(jobId);
    if (job && !job->mustReach()) queue_.remove(jobId);
    if (Operation* op = ops_.take(jobId)) {
      op->failed_ = done.request;
      op->end(Operation::Result::Refused);
    }
    if (!jobId && !decl_.reads.isEmpty()) cycle_ = (cycle_ + 1) % static_cast<int>(decl_.reads.size());
  } else if (jobId) {
    acknowledge(jobId, frame);
  } else if (readAt >= 0 && readAt < decl_.reads.size()) {
    const Read read = decl_.reads[readAt];
    cycle_ = (readAt + 1) % static_cast<int>(decl_.reads.size());
    show(read, frame);
  }
}

// An answer of this engine's that came after its time-out, when no request in flight could take
// it. The line has matched it to its request, so it is used: a read's value is shown (unless the
// values have been forgotten since it was sent), a write's or a coil's step is done.
bool Exchange::takeLate(const LineGuard::Owed& owed, const QByteArray& frame) {
  if (owed.sender.job) {
    const Job* job = queue_.find(owed.sender.job);
    if (!job || !job->current() || !(job->current()->request == owed.request)) return false;
    acknowledge(owed.sender.job, frame);
    return true;
  }
  const int at = owed.sender.read;
  if (owed.sender.table != table_ || at < 0 || at >= decl_.reads.size()) return false;
  return show(decl_.reads[at], frame);
}

// The line was out of step: what was read since it was last known in step may have come from
// another register. Those fields show nothing and count as unread until read again, so no
// download can write them meanwhile; the answers still owed are no longer taken.
void Exchange::lostStep(const LineGuard::Verdict& verdict, std::int64_t since) {
  QList<Name> unread;
  for (auto it = fields_.cbegin(); it != fields_.cend(); ++it)
    if (it->lastRead && it->readAt >= since && !it->edited) unread << it.key();  // typed text stays
  blank(unread);
  cycle_ = 0;
  // A read operation drops the values it took since then and reads them again.
  for (auto it = ops_.cbegin(); it != ops_.cend(); ++it) {
    Operation* op = *it;
    Job* job = queue_.find(it.key());
    if (!op || !job || job->steps.isEmpty() || !job->steps.first().request.isRead()) continue;
    qsizetype keep = 0;
    while (keep < op->takenAt_.size() && op->takenAt_[keep] < since) ++keep;
    op->values_.resize(keep);
    op->takenAt_.resize(keep);
    op->done_ = static_cast<int>(keep);
    job->step = static_cast<int>(keep);
    job->sent = false;
  }
  if (verdict.owed && mine(*verdict.owed)) {
    bool stall = !decl_.repeatingReads;
    if (const Job* job = queue_.find(verdict.owed->sender.job)) stall = job->current() && !job->current()->repeat;
    stalled_ = stalled_ || stall;
  }
}

bool Exchange::show(const Read& read, const QByteArray& frame) {
  const std::int64_t value = read.count == 2 ? std::int64_t{replyLong(frame)} : std::int64_t{replyWord(frame)};
  if (!read.field.isEmpty()) {
    FieldState& f = fields_[read.field];
    if (!f.locked) {
      f.text = !read.texts.isEmpty() ? read.texts.value(value) : read.text ? read.text(value) : scaledText(value, read.scale);
      f.known = true;
      f.edited = false;
      f.lastRead = value;
      f.readAt = now();
      emit fieldShown(read.field, f.text);
    }
  }
  for (const Show& s : read.also) {
    FieldState& shown = fields_[s.control];  // a label: remembered only to blank it if need be
    shown.lastRead = value;
    shown.readAt = now();
    emit fieldShown(s.control, s.texts.isEmpty() ? scaledText(value, read.scale) : s.texts.value(value));
  }
  if (read.interval)
    if (const std::optional<int> ms = read.interval(value)) setInterval(*ms);
  return true;
}

void Exchange::acknowledge(int jobId, const QByteArray& frame) {
  Job* job = queue_.find(jobId);
  if (!job) return;  // released or replaced meanwhile
  const Planned* p = job->current();
  if (Operation* op = operationOf(jobId); op && p) {
    if (p->request.isRead())
      op->take(p->request.count == 2 ? std::int64_t{replyLong(frame)} : std::int64_t{replyWord(frame)}, now());
    ++op->done_;
    ++op->counts_.answered;
    op->counts_.lineChars += p->request.body().size() + 5 + frame.size();  // ":" body LRC CR LF, and the reply
    op->lastHeard_ = now();
    emit op->progressed(op->done_, op->total_);
  }
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

int Exchange::jobOnLine() const {
  const LineGuard::Owed* o = lineGuard().inFlight();
  return o && o->sender.owner == id_ ? o->sender.job : 0;
}

// Everything of a job is acknowledged: its button gets its colour back and its effects run.
void Exchange::finish(Job job) {
  queue_.remove(job.id);
  if (job.kind == JobKind::Operation) {
    if (Operation* op = ops_.take(job.id)) op->end(Operation::Result::Done);
    return;
  }
  if (job.carried) emit stopDelivered();
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

void Exchange::run(const DoneEffects& effects, const Name& button) {
  bool cycleSet = false;
  for (const DoneEffect& e : effects) {
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

void Exchange::clickField(const Name& field) {
  const FieldState& f = fields_.value(field);
  if (f.lastRead || f.edited) lockField(field);
}

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
  // The tick the click asks for is taken whatever follows.
  for (const ClickEffect& e : seq.onClick) {
    if (const auto* iv = std::get_if<SetInterval>(&e)) setInterval(iv->ms);
    else if (std::holds_alternative<RestartTimer>(e)) emit timerRestart();
  }
  for (const Guard& g : seq.guards) {
    if (refuses(g)) {
      notify(g.message);
      return;
    }
  }
  QList<Step> steps = seq.steps;
  DoneEffects done = seq.onDone;
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
  // The click is taken: the values it makes stale are forgotten now. A refused click forgets
  // nothing (the operator's typed text and what the screen shows stay); the effects once done come
  // later.
  for (const ClickEffect& e : seq.onClick) {
    if (std::holds_alternative<ForgetBanked>(e)) forgetBanked();
    else if (const auto* b = std::get_if<Blank>(&e)) blank(b->controls);
  }
  const int onLine = jobOnLine();
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

bool Exchange::refuses(const Guard& guard) const {
  switch (guard.when) {
    case Guard::When::Waits:
      return std::any_of(guard.names.cbegin(), guard.names.cend(), [this](const Name& b) { return queue_.waits(b); });
    case Guard::When::Unread:
      return std::any_of(guard.names.cbegin(), guard.names.cend(), [this](const Name& f) { return !fields_.value(f).lastRead; });
  }
  return false;
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
  endOperations(Operation::Result::Cancelled);
  leaving_ = true;
  queue_.leave(jobOnLine(), now());
}

QStringList Exchange::undeliveredPulses() const {
  QStringList texts;
  for (const Job& j : const_cast<CommandQueue&>(queue_).jobs())
    if (j.kind == JobKind::PulseOff && j.current() && !j.current()->undelivered.isEmpty()) texts << j.current()->undelivered;
  return texts;
}

// ---- operations ----------------------------------------------------------------------------

Operation* Exchange::submit(const QList<Register>& reads) {
  QList<Planned> steps;
  for (const Register& r : reads) steps << Planned{.request = Request::read(r.address, r.count), .repeat = true};
  return start(std::move(steps), static_cast<int>(reads.size()));
}

Operation* Exchange::submit(const QList<RegisterWrite>& writes) {
  QList<Planned> steps;
  for (const RegisterWrite& w : writes)
    steps << Planned{.request = Request::write(w.address, w.count, static_cast<std::int32_t>(w.value)), .repeat = true};
  return start(std::move(steps), static_cast<int>(writes.size()));
}

Operation* Exchange::submitCommand(std::uint16_t coil, int msAfter) {
  return start({Planned{.request = Request::coil(coil, true), .repeat = true},
                Planned{.kind = Planned::Kind::Wait, .waitMs = msAfter}},
               1);
}

Operation* Exchange::start(QList<Planned> steps, int total) {
  auto* op = new Operation(this, total);
  if (steps.isEmpty()) {
    op->end(Operation::Result::Done);
    return op;
  }
  queue_.add(Job{.kind = JobKind::Operation, .steps = std::move(steps)}, now());
  op->job_ = queue_.jobs().back().id;
  ops_.insert(op->job_, op);
  return op;
}

void Exchange::dropOperation(Operation* op) {
  if (!ops_.contains(op->job_)) return;
  ops_.remove(op->job_);
  // A request of it on the line stays owed on the line: its answer is not taken for another's.
  queue_.remove(op->job_);
}

void Exchange::endOperations(Operation::Result result) {
  const auto ops = ops_;
  for (auto it = ops.cbegin(); it != ops.cend(); ++it) {
    queue_.remove(it.key());
    ops_.remove(it.key());
    if (*it) (*it)->end(result);
  }
}

// Nothing heard from the controller for the operation's time-out while it has a request out.
// Any whole frame counts as the controller being there.
void Exchange::checkOperations() {
  const auto ops = ops_;
  for (auto it = ops.cbegin(); it != ops.cend(); ++it) {
    Operation* op = *it;
    if (!op || op->lastHeard_ < 0) continue;
    const Job* job = queue_.find(it.key());
    if (job && job->current() && job->current()->kind == Planned::Kind::Wait) {
      op->lastHeard_ = now();  // the controller works: silence counts from the end of the wait
      continue;
    }
    if (now() - std::max(op->lastHeard_, heard_) <= op->timeoutMs_) continue;
    if (job && job->current()) op->failed_ = job->current()->request;
    queue_.remove(it.key());
    ops_.remove(it.key());
    op->end(Operation::Result::TimedOut);
  }
}

// ---- declarations and state ----------------------------------------------------------------

void Exchange::setReads(QList<Read> reads, bool forgetValues) {
  decl_.reads = std::move(reads);
  cycle_ = 0;
  stalled_ = false;
  ++table_;  // an answer to a read of the old table shows nothing
  if (forgetValues)
    for (FieldState& f : fields_) {
      f.known = false;
      f.lastRead.reset();
    }
}

void Exchange::forgetBanked() {
  ++table_;  // a read sent before may carry the other step's value
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
