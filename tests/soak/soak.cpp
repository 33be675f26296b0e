// A soak of the whole program against a faulty controller: an operator, driven by a seeded
// random generator, walks every screen through the real route buttons and does what operators
// do (types good and bad values, clicks write buttons, holds and releases jog buttons, leaves
// screens mid-sequence, steps through projects and steps, pulls the adapter now and then and
// opens the port again on the main screen), while the line loses replies, corrupts some, answers
// late and the controller refuses requests. Time is the test clock's, so a minute of wall time
// covers much more controller time.
//
// All along it checks what an operator relies on:
//   done   - a write button that goes from red to done: the controller holds what was encoded
//            from the field texts at the click;
//   off    - a released hold-to-run coil is OFF in the controller within the bounded OFF retry
//            time, or the operator was told the axis may still run;
//   shown  - a field shows only a value its register held since the read was sent;
//   port   - never two ports open at once, and the program never ends by itself;
//   memory - what the program holds on its heap does not grow from the warm-up, once every cache
//            is full, to the end, nor does resident memory (unsanitized builds).
// Any break is printed with the seed, the action number, the screen, the control and the values,
// and the run fails.
//
//   soak --seconds N --seed S [--quiet] [--warmup ACTIONS] [--memory-log FILE]
#include <QApplication>
#include <QBackingStore>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMap>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <deque>
#include <malloc.h>
#include <optional>
#include <random>

#include "frames/encode.h"
#include "frames/frames.h"
#include "frames/registers.h"
#include "frames/reply.h"
#include "link/traffic.h"
#include "screen_env.h"
#include "shell/screen_map.h"
#include "ui/screen.h"
#include "ui/widgets.h"

using namespace lorvane;
using lorvane::test::ScreenEnv;
using lorvane::test::SimPort;

namespace {

const QString kAxisMayRun = QStringLiteral("串口通讯中断，轴可能仍在运行，请立即检查设备！");
const QString kMain = QStringLiteral("Mainfrm1");

struct Options {
  int seconds = 60;
  quint64 seed = 1;
  bool quiet = false;
  // Actions before memory is measured, at least. The warm-up goes on until every screen has been
  // visited and the traffic record holds its last 10,000 frames (about 2.2 MB), so that whatever
  // the program keeps (that record, the style's pixmaps with their 1 MB bound, font glyphs) is
  // full before the figures it is judged by are taken.
  int warmup = 3000;
  // What the program holds on its heap may grow by this much from the warm-up to the end: a
  // fixed allowance and half a kilobyte per screen change between the samples compared. A leak of
  // 1 kB per screen change goes beyond it once more than about 1,000 screen changes lie between
  // them (a 10-minute run makes several thousand).
  long heapToleranceKb = 512;
  double heapTolerancePerChangeKb = 0.5;
  // Resident memory, a coarse check besides: the allocator keeps what was freed for reuse, up to
  // the highest the heap has been.
  double rssToleranceMb = 10;  // or this share of the start figure, whichever is larger
  double rssToleranceShare = 0.10;
  QString memoryLog;  // a line per sample, from the start
};

// Memory now, in kB (Linux, glibc): resident, and the heap the program holds. Of the heap in use,
// the windows' pictures (a backing store per window shown, several MB for a large screen) are
// counted apart: they come and go with the windows, and are no cache.
struct Memory {
  long residentKb = 0;
  long peakKb = 0;
  long allocatedKb = 0;
  long picturesKb = 0;
  long heldKb() const { return allocatedKb - picturesKb; }
};
Memory readMemory() {
  Memory m;
  QFile f(QStringLiteral("/proc/self/status"));
  if (f.open(QIODevice::ReadOnly)) {
    for (const QByteArray& line : f.readAll().split('\n')) {
      const auto kb = [&] { return line.mid(6).trimmed().split(' ').value(0).toLong(); };
      if (line.startsWith("VmRSS:")) m.residentKb = kb();
      if (line.startsWith("VmHWM:")) m.peakKb = kb();
    }
  }
  const struct mallinfo2 heap = mallinfo2();
  m.allocatedKb = static_cast<long>((heap.uordblks + heap.hblkhd) / 1024);
  for (QWidget* w : QApplication::topLevelWidgets())
    if (const QBackingStore* b = w->backingStore())
      m.picturesKb += static_cast<long>(qint64(b->size().width()) * b->size().height() * 4 / 1024);
  return m;
}

int byteAt(const QByteArray& b, int i) { return static_cast<unsigned char>(b[i]); }
int wordAt(const QByteArray& b, int i) { return byteAt(b, i) * 256 + byteAt(b, i + 1); }

// The text a read shows for a raw value, as the engine makes it.
QString readText(const Read& r, std::int64_t v) {
  return !r.texts.isEmpty() ? r.texts.value(v) : r.text ? r.text(v) : scaledText(v, r.scale);
}

class Soak : public QObject {
 public:
  explicit Soak(const Options& o) : opt_(o), rng_(o.seed), lineSeeds_(o.seed ^ 0x5EEDF00DULL) {}

  int run();

 private:
  // ---- the operator
  void act();
  void openPortOnMain();
  void navigate(bool preferNew);
  void typeAndMaybeWrite();
  void clickWrite(const QString& button);
  void hold();
  void enterStepPage();
  void unplug();
  void idle(int n);

  // ---- helpers
  ui::Form* form() const { return env_.map().current(); }
  QString formName() const { return form() ? form()->objectName() : QStringLiteral("<none>"); }
  ui::Screen* screen() const { return env_.currentScreen(); }
  bool portUp() const { return screen() && screen()->portOpen(); }
  int pick(int n) { return n <= 1 ? 0 : std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  QList<shell::Route> routesHere() const;
  QList<QPushButton*> usable(const QStringList& names) const;
  void clickRoute(const shell::Route& r);
  void ticks(int n);
  void afterAction();
  void watch();
  void onPortOpened(SimPort& port);
  void harvest(SimPort* port, bool closing = false);
  void countAction(const char* kind) { ++actions_[QString::fromLatin1(kind)]; }
  void fail(const QString& what, const QString& control, const QString& detail);

  // ---- the invariants
  void onRequest(const QByteArray& frame);
  void onHandled(const QByteArray& request, const QByteArray& reply);
  void onShown(Exchange* ex, const QString& screenName, const Name& field, const QString& text);
  void onPending(Exchange* ex, const QString& screenName, const Name& button, bool pending);
  void checkOffs();
  void dumpTraffic() const;
  void pressing(std::uint16_t coil, const QString& button);  // presses a hold-to-run button
  void noteRelease(std::uint16_t coil, const QString& button, const char* how);
  bool warnedSince(qsizetype boxesAt) const;
  std::optional<QList<Request>> expectedWrites(Exchange& ex, const Sequence& seq);

  Options opt_;
  std::mt19937_64 rng_;
  std::mt19937_64 lineSeeds_;
  QElapsedTimer wall_;
  QElapsedTimer sinceTick_;
  bool ticking_ = false;
  long action_ = 0;

  // Counts.
  QMap<QString, long> actions_;
  QMap<QString, long> visits_;
  long requests_ = 0, replies_ = 0, dropped_ = 0, corrupted_ = 0, refused_ = 0, unplugs_ = 0;
  long latePorts_ = 0, ports_ = 0;
  long offsHandedOn_ = 0;
  long shownChecked_ = 0, doneChecked_ = 0, doneSkipped_ = 0, offsChecked_ = 0, offsWarned_ = 0;
  long breaks_ = 0;
  QStringList breakLines_;
  long screenChanges_ = 0;
  // Memory every kSampleEvery actions after the warm-up, on the main screen.
  struct Sample {
    long action = 0;
    long screenChanges = 0;
    Memory memory;
  };
  QList<Sample> samples_;
  Memory memoryEnd_;
  static constexpr int kSampleEvery = 250;
  QString warmupMissing() const;
  bool warmedUp() const { return action_ >= opt_.warmup && warmupMissing().isEmpty(); }
  void judgeMemory();
  QStringList memoryLines_;
  bool ended_ = false;

  // The values each read request found in the controller, per (register, count), oldest first;
  // the reads of the port now open only.
  QHash<QPair<int, int>, std::deque<std::int64_t>> readValues_;
  // Where the last write of each register landed: project, step and the step's Z/A choice.
  struct Bank {
    int project = 0;
    int step = 0;
    std::uint16_t za = 0;
  };
  QHash<int, Bank> writeBank_;
  // The writes a click queued, by engine and button; checked when the button shows done.
  struct Expect {
    QList<Request> writes;
    long action = 0;
    QStringList texts;
    int runs = 0;  // runs the controller had finished at the click
  };
  QHash<QPair<Exchange*, QString>, Expect> expects_;
  QString clicking_;  // the button the operator is clicking now
  QSet<Exchange*> watched_;
  // Hold-to-run coils released and not yet seen OFF.
  struct Off {
    std::uint16_t coil;
    std::int64_t deadline;
    qsizetype boxesAt;
    QString screen, button;
    long action;
    const char* how;
    bool offSeen = false;     // the controller has carried out an OFF of the coil since
    bool superseded = false;  // the operator pressed a button of the coil again since
  };
  QList<Off> offs_;
  // Last, so that it goes first: its screens tell the records above that they are gone.
  mutable ScreenEnv env_;  // its map has no const access
};

// ---- setting up ------------------------------------------------------------------------------

void Soak::onPortOpened(SimPort& port) {
  ++ports_;
  port.setSeed(lineSeeds_());
  port.setDropFraction(0.10);
  port.setCorruptFraction(0.01);
  port.setRefuseFraction(0.01);
  // Most ports answer briskly; some are slow, some answer after the reply time-out (late).
  port.setPacing(5, [this] { return double(env_.now + (ticking_ ? 0 : sinceTick_.elapsed())); });
  const int profile = pick(100);
  if (profile < 75) port.setLatencyRange(2, 20);
  else if (profile < 93) port.setLatencyRange(5, 150);
  else {
    port.setLatencyRange(80, 700);
    ++latePorts_;
  }
  readValues_.clear();
  connect(&port, &SimPort::requestSeen, this, &Soak::onRequest);
  connect(&port, &SimPort::handled, this, &Soak::onHandled);
  connect(&port, &QIODevice::aboutToClose, this, [this, p = &port] { harvest(p, true); });
}

// Counts what a port saw and lets go of its history (the soak's own memory stays flat); once it
// closes, its faults too.
void Soak::harvest(SimPort* port, bool closing) {
  if (!port || port->property("harvested").toBool()) return;
  requests_ += port->sent().size();
  replies_ += port->replies().size();
  port->clearHistory();
  if (!closing) return;
  port->setProperty("harvested", true);
  dropped_ += port->faults().dropped();
  corrupted_ += port->faults().corrupted();
  refused_ += port->faults().refused();
}

// What the line and the engine did just before a break (the first few breaks only).
void Soak::dumpTraffic() const {
  if (breaks_ >= 3) return;
  const auto& h = Traffic::instance().history();
  const char* names[] = {"sent", "resent", "answered", "refused", "timed out", "late", "stray", "unmatched", "malformed"};
  for (size_t i = h.size() > 40 ? h.size() - 40 : 0; i < h.size(); ++i)
    std::fprintf(stderr, "  %s %-9s %s (for %s)\n", qPrintable(h[i].time.toString(QStringLiteral("ss.zzz"))),
                 names[int(h[i].outcome)], h[i].frame.trimmed().constData(), h[i].request.constData());
}

void Soak::fail(const QString& what, const QString& control, const QString& detail) {
  ++breaks_;
  const QString line = QStringLiteral("BREAK %1: seed %2, action %3, screen %4, control %5: %6")
                           .arg(what)
                           .arg(opt_.seed)
                           .arg(action_)
                           .arg(formName(), control, detail);
  if (breakLines_.size() < 50) breakLines_ << line;
  std::fprintf(stderr, "%s\n", qPrintable(line));
}

// Connects the invariants to every screen that appears, and takes over its ticks.
void Soak::watch() {
  if (ui::Screen* s = screen(); s && s->timer().isActive()) env_.drive(s);
  for (ui::Form* f : env_.map().loadedForms()) {
    auto* s = qobject_cast<ui::Screen*>(f);
    if (!s || watched_.contains(&s->exchange())) continue;
    Exchange* ex = &s->exchange();
    watched_.insert(ex);
    const QString name = s->objectName();
    connect(ex, &QObject::destroyed, this, [this, ex] {
      watched_.remove(ex);
      for (auto it = expects_.begin(); it != expects_.end();) it = it.key().first == ex ? expects_.erase(it) : std::next(it);
    });
    connect(ex, &Exchange::fieldShown, this, [this, ex, name](const Name& f2, const QString& t) { onShown(ex, name, f2, t); });
    connect(ex, &Exchange::pendingChanged, this, [this, ex, name](const Name& b, bool p) { onPending(ex, name, b, p); });
  }
}

// ---- time ------------------------------------------------------------------------------------

void Soak::ticks(int n) {
  for (int i = 0; i < n; ++i) {
    watch();
    ticking_ = true;
    if (ui::Screen* s = screen(); s && s->portOpen()) {
      env_.ticks(s, 1);
    } else {
      // A menu or the main screen with the port closed: the machine's time still passes.
      env_.model.advance(50);
      env_.now += 50;
      QCoreApplication::processEvents();
    }
    ticking_ = false;
    sinceTick_.restart();
    checkOffs();
    if (ended_) return;
  }
}

void Soak::idle(int n) {
  countAction("wait");
  ticks(n);
}

// ---- the operator ----------------------------------------------------------------------------

QList<shell::Route> Soak::routesHere() const {
  QList<shell::Route> out;
  if (!form()) return out;
  for (const shell::Route& r : env_.map().routes()) {
    if (r.from != form()->objectName()) continue;
    auto* b = form()->findChild<QPushButton*>(r.button);
    if (b && b->isEnabled()) out << r;
  }
  return out;
}

QList<QPushButton*> Soak::usable(const QStringList& names) const {
  QList<QPushButton*> out;
  for (const QString& n : names)
    if (auto* b = form()->findChild<QPushButton*>(n); b && b->isEnabled()) out << b;
  return out;
}

void Soak::clickRoute(const shell::Route& r) {
  env_.click(r.button);
  watch();
}

void Soak::act() {
  ++action_;
  watch();
  if (!form()) {
    fail(QStringLiteral("no screen"), QString(), QStringLiteral("no form is current"));
    ended_ = true;
    return;
  }
  if (formName() == kMain && !portUp()) return openPortOnMain();

  const bool communicating = portUp();
  const ScreenDecl* decl = communicating ? &screen()->exchange().declaration() : nullptr;
  const bool canHold = decl && !decl->momentaries.isEmpty();
  const bool canWrite = decl && !decl->sequences.isEmpty();
  const int r = pick(100);
  if (formName() == QLatin1String("Mainfrm13") && r < 12) return enterStepPage();
  if (r < (communicating ? 22 : 70)) return navigate(chance(0.6));
  if (communicating && r < 25 && chance(0.08)) return unplug();
  if (canWrite && r < 55) return typeAndMaybeWrite();
  if (canWrite && r < 70) {
    const Sequence& s = decl->sequences[pick(int(decl->sequences.size()))];
    return clickWrite(s.button);
  }
  if (canHold && r < 88) return hold();
  idle(chance(0.1) ? 40 + pick(160) : 1 + pick(15));
}

void Soak::openPortOnMain() {
  countAction("open port");
  auto* field = form()->findChild<QLineEdit*>(QStringLiteral("CKtxt"));
  if (field && field->text() != QLatin1String("1")) env_.type(QStringLiteral("CKtxt"), QStringLiteral("1"));
  env_.click(QStringLiteral("Okcmd"));
  watch();
  ticks(1 + pick(5));
}

void Soak::navigate(bool preferNew) {
  const QList<shell::Route> routes = routesHere();
  if (routes.isEmpty()) return idle(1);
  countAction("change screen");
  int chosen = pick(int(routes.size()));
  if (preferNew) {
    long fewest = -1;
    for (int i = 0; i < routes.size(); ++i) {
      const long seen = routes[i].to.isEmpty() ? 1000000 : visits_.value(routes[i].to);
      if (fewest < 0 || seen < fewest) {
        fewest = seen;
        chosen = i;
      }
    }
  }
  clickRoute(routes[chosen]);
  ticks(1 + pick(10));
}

// The values an operator types: good ones in range, the edges and beyond, and mistakes.
QString operatorValue(std::mt19937_64& rng, const std::optional<Range>& range) {
  const auto pickOf = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  const double lo = range ? range->min : 0;
  const double hi = range ? range->max : 1000;
  switch (pickOf(12)) {
    case 0: return QStringLiteral("abc");
    case 1: return QString();
    case 2: return QStringLiteral("-5");
    case 3: return QStringLiteral("1.5");
    case 4: return QStringLiteral("99999999999");
    case 5: return QString::number(hi + 1);
    case 6: return QString::number(lo);
    case 7: return QString::number(hi);
    case 8: return QStringLiteral("12abc");
    default: {
      const double span = std::min(hi - lo, 100000.0);
      return QString::number(static_cast<long long>(lo + std::uniform_real_distribution<double>(0, 1)(rng) * span));
    }
  }
}

void Soak::typeAndMaybeWrite() {
  const ScreenDecl& decl = screen()->exchange().declaration();
  // The fields the write buttons take their values from, and their buttons.
  QList<QPair<Name, const Sequence*>> targets;
  for (const Sequence& s : decl.sequences)
    for (const QList<Step>& steps : {s.steps, s.whenChanged ? s.whenChanged->steps : QList<Step>{}})
      for (const Step& st : steps)
        if (const auto* w = std::get_if<Write>(&st)) {
          auto* f = form()->findChild<QLineEdit*>(w->field);
          if (f && f->isEnabled() && w->field != QLatin1String("CKtxt")) targets << qMakePair(w->field, &s);
        }
  if (targets.isEmpty()) return idle(1);
  const auto [field, seq] = targets[pick(int(targets.size()))];
  std::optional<Range> range;
  for (const Step& st : seq->steps)
    if (const auto* w = std::get_if<Write>(&st); w && w->field == field && w->range) {
      Range scaled = *w->range;
      scaled.min /= w->scale;
      scaled.max /= w->scale;
      range = scaled;
    }
  countAction("type");
  const QString button = seq->button;
  env_.type(field, operatorValue(rng_, range));
  afterAction();
  if (chance(0.75)) {
    ticks(pick(3));
    clickWrite(button);
  } else {
    ticks(1 + pick(5));
  }
}

void Soak::clickWrite(const QString& button) {
  if (!portUp() || usable({button}).isEmpty()) return idle(1);
  countAction("click write");
  Exchange& ex = screen()->exchange();
  const Sequence* seq = nullptr;
  for (const Sequence& s : ex.declaration().sequences)
    if (s.button == button) seq = &s;
  std::optional<QList<Request>> expected;
  if (seq) expected = expectedWrites(ex, *seq);
  QPointer<ui::Screen> at = screen();
  clicking_ = button;
  const qsizetype boxesAt = env_.boxes.size();
  env_.click(button);
  clicking_.clear();
  const auto key = qMakePair(&ex, button);
  if (at && env_.boxes.size() != boxesAt) {
    // Refused or asked about: what the engine took cannot be told from here; not checked.
    if (expects_.remove(key)) ++doneSkipped_;
  } else if (at && &at->exchange() == &ex && ex.waits(button)) {
    if (expected) {
      QStringList texts;
      for (const Request& q : *expected) texts << QStringLiteral("%1=%2").arg(q.address, 4, 16, QLatin1Char('0')).arg(q.value);
      expects_[key] = Expect{*expected, action_, texts, env_.model.completedRuns()};
    } else {
      expects_.remove(key);  // the operator's values could not be worked out here: not checked
      ++doneSkipped_;
    }
  }
  afterAction();
  ticks(1 + pick(12));
}

void Soak::hold() {
  const QList<Momentary> ms = screen()->exchange().declaration().momentaries;
  const Momentary m = ms[pick(int(ms.size()))];
  QPointer<QPushButton> b = form()->findChild<QPushButton*>(m.button);
  if (!b || !b->isEnabled()) return idle(1);
  const int style = pick(100);
  if (style < 70) {
    countAction("hold and release");
    pressing(m.coil, m.button);
    ticks(pick(30));
    if (!b) return;  // the screen went (the line was lost)
    noteRelease(m.coil, m.button, "release");  // first: the OFF may go out during the release itself
    env_.release(m.button);
    ticks(1 + pick(5));
  } else if (style < 85) {
    countAction("hold several times");
    for (int i = 2 + pick(3); i > 0 && b; --i) {
      pressing(m.coil, m.button);
      ticks(pick(6));
      if (!b) return;
      noteRelease(m.coil, m.button, "repeated release");
      env_.release(m.button);
      ticks(pick(4));
    }
  } else {
    countAction("hold and leave");
    pressing(m.coil, m.button);
    ticks(1 + pick(10));
    const QList<shell::Route> routes = routesHere();
    if (!b || routes.isEmpty()) return;
    const qsizetype boxesAt = env_.boxes.size();
    QPointer<ui::Form> before = form();
    clickRoute(routes[pick(int(routes.size()))]);
    if (before && form() == before.data()) {  // the button led nowhere now: let go here
      if (!b) return;
      noteRelease(m.coil, m.button, "release");
      env_.release(m.button);
      ticks(1 + pick(5));
      return;
    }
    // The leave is over: the coil is OFF, or the operator was told.
    offs_.removeIf([&](const Off& o) { return o.coil == m.coil && o.superseded && !o.offSeen && ++offsHandedOn_; });
    offs_ << Off{m.coil, env_.now, boxesAt, formName(), m.button, action_, "left while held"};
    if (b) QTest::mouseRelease(b, Qt::LeftButton);  // the mouse comes up over the old window
    checkOffs();
    ticks(1 + pick(5));
  }
}

// On the step hub: choose a function, let the labels be read, then open its page.
void Soak::enterStepPage() {
  struct Choice {
    const char* choose;
    const char* enter;
    const char* page;
  };
  const Choice choices[] = {{"SJcmd", "JScmd", "Mainfrm16"},
                            {"YHcmd", "JYcmd", "Mainfrm14"},
                            {"ZXcmd", "JZcmd", "Mainfrm15"},
                            {"PTcmd", "JPcmd", "Mainfrm17"}};
  int at = pick(4);
  if (chance(0.6))  // mostly the page seen least so far
    for (int i = 0; i < 4; ++i)
      if (visits_.value(QString::fromLatin1(choices[i].page)) < visits_.value(QString::fromLatin1(choices[at].page))) at = i;
  const Choice c = choices[at];
  countAction("enter step page");
  if (portUp() && chance(0.7)) {
    clickWrite(QString::fromLatin1(c.choose));
    for (int i = 0; i < 80 && screen() && formName() == QLatin1String("Mainfrm13") &&
                    screen()->exchange().waits(QString::fromLatin1(c.choose));
         ++i)
      ticks(1);
    ticks(10 + pick(15));
  }
  if (!form() || formName() != QLatin1String("Mainfrm13")) return;
  env_.click(QString::fromLatin1(c.enter));
  watch();
  ticks(1 + pick(5));
}

void Soak::unplug() {
  countAction("unplug");
  ++unplugs_;
  harvest(env_.port());
  env_.port()->unplug();
  ticks(3);
}

void Soak::afterAction() {
  watch();
  if (env_.port()) harvest(env_.port());
  if (env_.openAtOnce > 1) {
    fail(QStringLiteral("port"), QString(), QStringLiteral("%1 ports open at once").arg(env_.openAtOnce));
    env_.openAtOnce = 1;
  }
  if (env_.boxes.size() > 100) {
    // The soak's own record stays small (its memory is measured with the program's): the boxes
    // no release still waits on go.
    qsizetype cut = env_.boxes.size();
    for (const Off& o : offs_) cut = std::min(cut, o.boxesAt);
    for (Off& o : offs_) o.boxesAt -= cut;
    env_.boxes.remove(0, cut);
    env_.boxTitles.remove(0, std::min(cut, env_.boxTitles.size()));
  }
}

// ---- invariant: what a field shows -----------------------------------------------------------

void Soak::onRequest(const QByteArray& frame) {
  const QByteArray msg = frameMessage(frame);
  if (msg.size() < 6) return;
  const int fn = byteAt(msg, 1);
  const int first = wordAt(msg, 2);
  const int count = wordAt(msg, 4);
  if (fn == 0x03 && count >= 1) {
    // A read carries the values of the shorter reads at its first register too (a longer read
    // sent to settle the line fills the field of the shorter one).
    const auto a = static_cast<std::uint16_t>(first);
    for (int c = 1; c <= std::min(count, 2); ++c) {
      const std::int64_t v = c == 1 ? std::int64_t{env_.model.reg(a)} : std::int64_t{env_.model.regLong(a)};
      std::deque<std::int64_t>& d = readValues_[qMakePair(first, c)];
      d.push_back(v);
      if (d.size() > 4096) d.pop_front();  // never reached in practice: every show trims the list
    }
  } else if (fn == 0x10) {
    const Bank bank{env_.model.currentProject(), env_.model.currentStep(), env_.model.reg(reg::ZReplacedByA)};
    for (int i = 0; i < count; ++i) writeBank_[first + i] = bank;
  }
}

void Soak::onShown(Exchange* ex, const QString& screenName, const Name& field, const QString& text) {
  if (text.isEmpty() || !watched_.contains(ex)) return;  // blanked, or a value without a text
  bool any = false;
  QStringList held;
  for (const Read& r : ex->declaration().reads) {
    const bool main = r.field == field;
    const Show* also = nullptr;
    for (const Show& s : r.also)
      if (s.control == field) also = &s;
    if (!main && !also) continue;
    any = true;
    std::deque<std::int64_t>& d = readValues_[qMakePair(int(r.reg), r.count)];
    for (size_t i = 0; i < d.size(); ++i) {
      const QString t = main ? readText(r, d[i]) : also->texts.isEmpty() ? scaledText(d[i], r.scale) : also->texts.value(d[i]);
      if (t != text) continue;
      // Replies come in the order of their requests: what was read before this one cannot be
      // shown any more.
      if (main) d.erase(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(i));
      ++shownChecked_;
      return;
    }
    for (std::int64_t v : d) held << QString::number(v);
    held << QStringLiteral("(reg %1)").arg(r.reg, 4, 16, QLatin1Char('0'));
  }
  if (!any) return;  // not a read's field (a screen's own display)
  dumpTraffic();
  fail(QStringLiteral("shown"), field,
       QStringLiteral("on %1 it shows \"%2\" but since its read was sent the register held only: %3")
           .arg(screenName, text, held.join(' ')));
}

// ---- invariant: a write button shows done only with its values in the controller ------------

std::optional<QList<Request>> Soak::expectedWrites(Exchange& ex, const Sequence& seq) {
  QList<Step> steps = seq.steps;
  if (seq.whenChanged) {
    const auto last = ex.lastRead(seq.whenChanged->field);
    if (last && leadingNumber(ex.fieldText(seq.whenChanged->field)) != double(*last)) steps = seq.whenChanged->steps;
  }
  Fields fields;
  for (const Step& st : steps) {
    const auto* w = std::get_if<Write>(&st);
    if (!w) continue;
    if (w->onlyIfEdited) return std::nullopt;  // whether it is written depends on typing the engine saw
    FieldState f;
    f.text = ex.fieldText(w->field);
    f.lastRead = ex.lastRead(w->field);
    f.known = true;
    f.locked = ex.isLocked(w->field);
    fields[w->field] = f;
  }
  const auto planned = plan(steps, fields, seq.kind == Sequence::Kind::Stop);
  if (std::holds_alternative<QString>(planned)) return std::nullopt;
  QList<Request> writes;
  for (const Planned& p : std::get<QList<Planned>>(planned))
    if (p.kind == Planned::Kind::Send && p.request.fn == Request::Fn::Write) writes << p.request;
  return writes;
}

void Soak::onPending(Exchange* ex, const QString& screenName, const Name& button, bool pending) {
  const auto key = qMakePair(ex, button);
  if (pending) {
    // Clicked by the screen itself (a sequence that starts another): values unknown here.
    if (clicking_ != button) expects_.remove(key);
    return;
  }
  if (!expects_.contains(key)) return;
  const Expect e = expects_.take(key);
  for (const Request& q : e.writes) {
    const Bank now{env_.model.currentProject(), env_.model.currentStep(), 0};
    const Bank at = writeBank_.value(q.address, now);
    // A Z/A setting of a step whose Z/A choice changed since it was written: held elsewhere now.
    if (q.address != reg::ZReplacedByA && env_.model.stepRegister(at.project, at.step, reg::ZReplacedByA) != at.za) {
      ++doneSkipped_;
      continue;
    }
    std::int64_t held = env_.model.stepRegister(at.project, at.step, q.address);
    if (q.count == 2)
      held = static_cast<std::int32_t>(static_cast<std::uint32_t>(held) |
                                       (std::uint32_t{env_.model.stepRegister(at.project, at.step, static_cast<std::uint16_t>(q.address + 1))} << 16));
    // The controller counts finished runs in the production count by itself.
    if (q.address == reg::ProductionCount && env_.model.completedRuns() != e.runs) {
      ++doneSkipped_;
      continue;
    }
    ++doneChecked_;
    if (held != q.value)
      fail(QStringLiteral("done"), button,
           QStringLiteral("on %1 it shows done (clicked at action %2 with %3) but register %4 of project %5 step %6 holds %7, not %8")
               .arg(screenName)
               .arg(e.action)
               .arg(e.texts.join(' '))
               .arg(q.address, 4, 16, QLatin1Char('0'))
               .arg(at.project)
               .arg(at.step)
               .arg(held)
               .arg(q.value));
  }
}

// ---- invariant: no coil left ON after its button was released --------------------------------

void Soak::noteRelease(std::uint16_t coil, const QString& button, const char* how) {
  // A release of a coil pressed again before its OFF was carried out: the engine sends the OFF
  // afresh, with its bounded retry time from now, so this release is judged in place of those.
  offs_.removeIf([&](const Off& o) {
    if (o.coil != coil || !o.superseded || o.offSeen) return false;
    ++offsHandedOn_;
    return true;
  });
  // The engine warns after kStopWarnMs; a few ticks more for the warning to be shown.
  offs_ << Off{coil, env_.now + Exchange::kStopWarnMs + 500, env_.boxes.size(), formName(), button, action_, how};
}

void Soak::onHandled(const QByteArray& request, const QByteArray& reply) {
  const QByteArray msg = frameMessage(request);
  const QByteArray answer = frameMessage(reply);
  if (msg.size() != 6 || byteAt(msg, 1) != 0x05 || answer.size() < 2 || (byteAt(answer, 1) & 0x80)) return;
  if (wordAt(msg, 4) != 0) return;
  const int coil = wordAt(msg, 2);
  for (Off& o : offs_)
    if (o.coil == coil) o.offSeen = true;
}

bool Soak::warnedSince(qsizetype boxesAt) const {
  for (qsizetype i = std::max<qsizetype>(0, boxesAt); i < env_.boxes.size(); ++i) {
    if (env_.boxes[i] == kAxisMayRun) return true;
  }
  return false;
}

// A release is met when, once its time is up, the coil is OFF in the controller (or, pressed
// again meanwhile, an OFF was carried out before the new press), or when the operator was told
// that the axis may still run.
void Soak::checkOffs() {
  for (qsizetype i = 0; i < offs_.size();) {
    const Off o = offs_[i];
    if (warnedSince(o.boxesAt)) {
      ++offsWarned_;
      offs_.removeAt(i);
      continue;
    }
    if (o.superseded && o.offSeen) {
      ++offsChecked_;
      offs_.removeAt(i);
      continue;
    }
    if (env_.now < o.deadline) {
      ++i;
      continue;
    }
    offs_.removeAt(i);
    if (!o.superseded && !env_.model.coil(o.coil)) {
      ++offsChecked_;
      continue;
    }
    dumpTraffic();
    fail(QStringLiteral("off"), o.button,
         QStringLiteral("coil %1 %2 at %3 ms (due by %4 ms) after the %5 on %6 (action %7), and the operator was not told")
             .arg(o.coil, 4, 16, QLatin1Char('0'))
             .arg(o.superseded ? QStringLiteral("got no OFF before it was pressed again") : QStringLiteral("still ON"))
             .arg(env_.now)
             .arg(o.deadline)
             .arg(QString::fromLatin1(o.how), o.screen)
             .arg(o.action));
  }
}

void Soak::pressing(std::uint16_t coil, const QString& button) {
  // A coil already OFF in the controller now has met its releases (an OFF may have gone out
  // before the release was noted: focus lost while held releases every button).
  const bool off = !env_.model.coil(coil);
  for (Off& o : offs_)
    if (o.coil == coil) {
      o.offSeen = o.offSeen || off;
      o.superseded = true;
    }
  env_.press(button);
}

// ---- memory ----------------------------------------------------------------------------------

// What the warm-up still waits for: screens not visited yet, the traffic record not yet full.
QString Soak::warmupMissing() const {
  QStringList missing;
  for (const QString& n : shell::formNames())
    if (!visits_.contains(n)) missing << n;
  const std::size_t events = Traffic::instance().history().size();
  QString what = missing.isEmpty() ? QString() : QStringLiteral("screens not visited: %1").arg(missing.join(' '));
  if (events < Traffic::kHistory)
    what += QStringLiteral("%1traffic record at %2 of %3 events").arg(what.isEmpty() ? "" : "; ").arg(events).arg(Traffic::kHistory);
  return what;
}

// The heap the program holds: the lowest of the first samples after the warm-up against the
// lowest of the last ones (the lowest, because what comes and goes, the traffic record's frames
// of one length or another, only ever adds a little). Resident memory: typical (median) figures,
// as a coarse check.
void Soak::judgeMemory() {
#if defined(__SANITIZE_ADDRESS__)
  const bool sanitized = true;  // AddressSanitizer keeps what is freed for a while: no figure means anything
#else
  const bool sanitized = false;
#endif
  const qsizetype window = std::min<qsizetype>(8, samples_.size() / 2);
  if (samples_.isEmpty()) {
    memoryLines_ << QStringLiteral("memory: not judged, the warm-up did not end in the time of the run (%1)").arg(warmupMissing());
    return;
  }
  const Sample& first = samples_.first();
  memoryLines_ << QStringLiteral("memory: warm-up over at action %1 (%2 screen changes; every screen visited, traffic record full): "
                                 "resident %3 kB, heap in use %4 kB of which windows' pictures %5 kB, held %6 kB")
                      .arg(first.action)
                      .arg(first.screenChanges)
                      .arg(first.memory.residentKb)
                      .arg(first.memory.allocatedKb)
                      .arg(first.memory.picturesKb)
                      .arg(first.memory.heldKb());
  memoryLines_ << QStringLiteral("memory: at the end, action %1 (%2 screen changes): resident %3 kB (peak %4 kB), heap in use "
                                 "%5 kB of which windows' pictures %6 kB, held %7 kB")
                      .arg(action_)
                      .arg(screenChanges_)
                      .arg(memoryEnd_.residentKb)
                      .arg(memoryEnd_.peakKb)
                      .arg(memoryEnd_.allocatedKb)
                      .arg(memoryEnd_.picturesKb)
                      .arg(memoryEnd_.heldKb());
  if (sanitized || window < 2) {
    memoryLines_ << QStringLiteral("memory: not judged (%1)")
                        .arg(sanitized ? QStringLiteral("AddressSanitizer") : QStringLiteral("%1 samples after the warm-up, too few").arg(samples_.size()));
    return;
  }
  const QList<Sample> early = samples_.mid(0, window);
  const QList<Sample> late = samples_.mid(samples_.size() - window);
  const auto lowest = [](const QList<Sample>& v) {
    long low = v.first().memory.heldKb();
    for (const Sample& x : v) low = std::min(low, x.memory.heldKb());
    return low;
  };
  const auto median = [](const QList<Sample>& v) {
    QList<long> r;
    for (const Sample& x : v) r << x.memory.residentKb;
    std::sort(r.begin(), r.end());
    return r[r.size() / 2];
  };
  const long heldEarly = lowest(early), heldLate = lowest(late);
  const long changes = late.first().screenChanges - early.first().screenChanges;
  const long heapAllowKb = opt_.heapToleranceKb + static_cast<long>(opt_.heapTolerancePerChangeKb * double(changes));
  const long rssEarly = median(early), rssLate = median(late);
  const long rssAllowKb = static_cast<long>(std::max(opt_.rssToleranceMb * 1024, rssEarly * opt_.rssToleranceShare));
  memoryLines_ << QStringLiteral("memory: heap held, lowest of the first %1 samples %2 kB, of the last %1 %3 kB: %4 kB over %5 screen "
                                 "changes (allowed %6 kB: 512 kB and 0.5 kB a change); resident, typical %7 kB early, %8 kB late "
                                 "(allowed %9 kB more); %10 samples")
                      .arg(window)
                      .arg(heldEarly)
                      .arg(heldLate)
                      .arg(heldLate - heldEarly, 0, 10)
                      .arg(changes)
                      .arg(heapAllowKb)
                      .arg(rssEarly)
                      .arg(rssLate)
                      .arg(rssAllowKb)
                      .arg(samples_.size());
  if (heldLate - heldEarly > heapAllowKb)
    fail(QStringLiteral("memory"), QString(),
         QStringLiteral("the heap the program holds grew from %1 kB to %2 kB over %3 screen changes (allowed %4 kB more)")
             .arg(heldEarly)
             .arg(heldLate)
             .arg(changes)
             .arg(heapAllowKb));
  if (rssLate > rssEarly + rssAllowKb)
    fail(QStringLiteral("memory"), QString(),
         QStringLiteral("resident memory grew from %1 kB to %2 kB (medians of the first and last %3 samples; allowed %4 kB more)")
             .arg(rssEarly)
             .arg(rssLate)
             .arg(window)
             .arg(rssAllowKb));
}

// ---- the run ---------------------------------------------------------------------------------

int Soak::run() {
  env_.onOpen = [this](SimPort& p) { onPortOpened(p); };
  connect(&env_.map(), &shell::ScreenMap::changed, this, [this](ui::Form* f) {
    if (!f) return;
    ++visits_[f->objectName()];
    ++screenChanges_;
  });
  FILE* log = opt_.memoryLog.isEmpty() ? nullptr : std::fopen(qPrintable(opt_.memoryLog), "w");
  bool sampleDue = false;
  connect(&env_.map(), &shell::ScreenMap::programEnds, this, [this] {
    fail(QStringLiteral("port"), QString(), QStringLiteral("the program ended by itself"));
    ended_ = true;
  });
  // Replies due while a screen waits in real time for an OFF (leaving) arrive in real time too.
  QTimer lineTimer;
  lineTimer.setInterval(2);
  connect(&lineTimer, &QTimer::timeout, this, [this] {
    if (!ticking_ && env_.port() && env_.port()->paced())
      env_.port()->deliverDue(double(env_.now + sinceTick_.elapsed()));
  });
  lineTimer.start();

  wall_.start();
  sinceTick_.start();
  env_.start();
  watch();
  while (!ended_ && wall_.elapsed() < qint64(opt_.seconds) * 1000) {
    act();
    afterAction();
    checkOffs();
    // Every kSampleEvery actions, at the next moment the main screen is the only window: samples
    // taken with the same window open, not with whichever screen the operator is on.
    if (action_ % kSampleEvery == 0) sampleDue = true;
    if (sampleDue && formName() == kMain && env_.map().loadedForms().size() == 1) {
      sampleDue = false;
      // The screens left are deleted first, as the program's event loop does between two events
      // (the soak's own loop runs events without it; they would wait for the next nested wait).
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      const Memory m = readMemory();
      if (!samples_.isEmpty() || warmedUp()) samples_ << Sample{action_, screenChanges_, m};
      if (log) {
        // action, seconds, screen changes, resident, heap in use, windows' pictures, heap held (kB),
        // traffic record events
        std::fprintf(log, "%ld %lld %ld %ld %ld %ld %ld %zu\n", action_, wall_.elapsed() / 1000, screenChanges_, m.residentKb,
                     m.allocatedKb, m.picturesKb, m.heldKb(), Traffic::instance().history().size());
        std::fflush(log);
      }
    }
    if (!opt_.quiet && action_ % 1000 == 0)
      std::fprintf(stderr, "action %ld, %lld s, screen %s, breaks %ld, resident %ld kB\n", action_,
                   wall_.elapsed() / 1000, qPrintable(formName()), breaks_, readMemory().residentKb);
  }
  if (log) std::fclose(log);
  if (env_.port()) harvest(env_.port(), true);
  memoryEnd_ = readMemory();
  // Releases still open at the end: given their time, then judged.
  for (int i = 0; i < 40 && !offs_.isEmpty() && !ended_; ++i) ticks(1);

  judgeMemory();

  QStringList all = shell::formNames();
  QStringList missing;
  for (const QString& n : all)
    if (!visits_.contains(n)) missing << n;

  std::printf("soak: seed %llu, %lld s wall, %lld s controller time\n", static_cast<unsigned long long>(opt_.seed),
              wall_.elapsed() / 1000, static_cast<long long>(env_.model.elapsedMs() / 1000));
  std::printf("actions: %ld", action_);
  for (auto it = actions_.cbegin(); it != actions_.cend(); ++it) std::printf(", %s %ld", qPrintable(it.key()), it.value());
  std::printf("\nscreens visited: %lld of %lld", static_cast<long long>(all.size() - missing.size()),
              static_cast<long long>(all.size()));
  if (!missing.isEmpty()) std::printf(" (not: %s)", qPrintable(missing.join(' ')));
  std::printf("\nvisits:");
  for (auto it = visits_.cbegin(); it != visits_.cend(); ++it) std::printf(" %s %ld", qPrintable(it.key()), it.value());
  std::printf("\nline: %ld ports opened (%ld answering late), %ld requests, %ld replies delivered\n", ports_, latePorts_,
              requests_, replies_);
  std::printf("faults: %ld replies dropped, %ld corrupted, %ld requests refused, %ld unplugs\n", dropped_, corrupted_,
              refused_, unplugs_);
  std::printf("checked: %ld shown values, %ld done writes (%ld not checkable), %ld releases OFF, %ld releases warned, "
              "%ld releases judged with a later one\n",
              shownChecked_, doneChecked_, doneSkipped_, offsChecked_, offsWarned_, offsHandedOn_);
  for (const QString& l : memoryLines_) std::printf("%s\n", qPrintable(l));
  std::printf("invariant breaks: %ld\n", breaks_);
  for (const QString& l : breakLines_) std::printf("  %s\n", qPrintable(l));
  std::fflush(stdout);
  return breaks_ == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  Options o;
  const QStringList args = app.arguments();
  for (int i = 1; i < args.size(); ++i) {
    const QString a = args[i];
    const QString next = i + 1 < args.size() ? args[i + 1] : QString();
    if (a == QLatin1String("--seconds")) o.seconds = next.toInt(), ++i;
    else if (a == QLatin1String("--seed")) o.seed = next.toULongLong(), ++i;
    else if (a == QLatin1String("--warmup")) o.warmup = next.toInt(), ++i;
    else if (a == QLatin1String("--quiet")) o.quiet = true;
    else if (a == QLatin1String("--memory-log")) o.memoryLog = next, ++i;
    else {
      std::fprintf(stderr, "usage: soak [--seconds N] [--seed S] [--warmup ACTIONS] [--quiet] [--memory-log FILE]\n");
      return 2;
    }
  }
  int rc = 0;
  {
    Soak soak(o);
    rc = soak.run();
  }
  return rc;
}
