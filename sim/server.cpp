#include "sim/server.h"

#include <QFile>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "sim/console.h"

namespace lorvane::sim {

namespace {
constexpr double kCharMs = 10.0 * 1000.0 / 9600.0;  // start, 8 data and stop bit at 9600 baud
constexpr int kModelTickMs = 10;

QString printable(const QByteArray& bytes) {
  QString out;
  for (char c : bytes) {
    if (c == '\r') out += QLatin1String("\\r");
    else if (c == '\n') out += QLatin1String("\\n");
    else if (c >= 32 && c < 127) out += QLatin1Char(c);
    else out += QStringLiteral("\\x%1").arg(static_cast<unsigned char>(c), 2, 16, QLatin1Char('0'));
  }
  return out;
}
}  // namespace

PtyServer::PtyServer(ControllerModel& model, Faults& faults, Options options, QObject* parent)
    : QObject(parent), model_(model), faults_(faults), options_(std::move(options)), slave_(model) {
  clock_.start();
  pumpTimer_.setTimerType(Qt::PreciseTimer);
  pumpTimer_.setSingleShot(true);
  connect(&pumpTimer_, &QTimer::timeout, this, &PtyServer::pump);
  modelTimer_.setInterval(kModelTickMs);
  connect(&modelTimer_, &QTimer::timeout, this, &PtyServer::advanceModel);
  connect(&model_, &ControllerModel::happened, this, [this](const Event& e) { log(QStringLiteral("* ") + Console::describe(e)); });
  if (options_.logFile == QLatin1String("-")) {
    logStream_ = std::make_unique<QTextStream>(stdout);
  } else if (!options_.logFile.isEmpty()) {
    logFile_.setFileName(options_.logFile);
    if (logFile_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
      logStream_ = std::make_unique<QTextStream>(&logFile_);
  }
}

PtyServer::~PtyServer() { stop(); }

bool PtyServer::start(QString* error) {
  if (!plug(error)) return false;
  modelClock_ = clock_.elapsed();
  modelTimer_.start();
  return true;
}

bool PtyServer::plug(QString* error) {
  if (pty_.isOpen()) return true;
  if (!pty_.open(error)) return false;
  link_ = makePortLink(options_.port, pty_.deviceName(), error);
  if (link_.isEmpty()) {
    pty_.close();
    return false;
  }
  readNotifier_ = std::make_unique<QSocketNotifier>(pty_.master(), QSocketNotifier::Read);
  connect(readNotifier_.get(), &QSocketNotifier::activated, this, &PtyServer::readMaster);
  assembler_.clear();
  log(QStringLiteral("line up: %1 -> %2").arg(link_, pty_.deviceName()));
  return true;
}

void PtyServer::unplug() {
  readNotifier_.reset();
  if (!link_.isEmpty()) QFile::remove(link_);
  link_.clear();
  pty_.close();
  outgoing_.clear();
  line_.clear();
  log(QStringLiteral("line down"));
}

void PtyServer::stop() {
  modelTimer_.stop();
  pumpTimer_.stop();
  if (pty_.isOpen()) unplug();
}

void PtyServer::log(const QString& line) {
  if (!logStream_) return;
  *logStream_ << QString::number(clock_.elapsed()).rightJustified(8) << ' ' << line << '\n';
  logStream_->flush();
}

void PtyServer::advanceModel() {
  const qint64 t = clock_.elapsed();
  model_.advance(static_cast<int>(t - modelClock_));
  modelClock_ = t;
}

void PtyServer::readMaster() {
  char buf[512];
  const ssize_t n = ::read(pty_.master(), buf, sizeof buf);
  if (n <= 0) {
    if (n < 0 && errno == EAGAIN) return;
    // Nobody holds the terminal side (should not happen while our own descriptor is open):
    // rest a while instead of spinning on the hang-up.
    readNotifier_->setEnabled(false);
    QTimer::singleShot(200, this, [this] {
      if (readNotifier_) readNotifier_->setEnabled(true);
    });
    return;
  }
  const double t = now();
  for (ssize_t i = 0; i < n; ++i) {
    // At 9600 baud a character arrives a character time after the one before it.
    inputFreeAt_ = std::max(inputFreeAt_, t) + (options_.pacing ? kCharMs : 0.0);
    for (const QByteArray& frame : assembler_.feed(QByteArray(1, buf[i]))) handle(frame, inputFreeAt_);
  }
  schedulePump();
}

void PtyServer::handle(const QByteArray& frame, double arrived) {
  log(QStringLiteral("<- ") + printable(frame));
  if (faults_.silent()) {
    log(QStringLiteral("   (silent) request ignored"));  // switched off: the request goes nowhere
    return;
  }
  const QByteArray reply = slave_.handle(frame);
  const QByteArray sent = faults_.apply(reply);
  const int extra = faults_.nextDelay();
  if (reply.isEmpty()) {
    log(QStringLiteral("   (no answer)"));
    return;
  }
  if (sent.isEmpty()) {
    log(QStringLiteral("   (reply dropped) ") + printable(reply));
    return;
  }
  QString notes;
  if (sent != reply) notes += QStringLiteral("   (LRC corrupted)");
  if (extra > 0) notes += QStringLiteral("   (delayed %1 ms)").arg(extra);
  const double lineMs = options_.pacing ? sent.size() * kCharMs : 0.0;
  const double start = line_.placeInOrder(arrived + options_.latencyMs + extra, lineMs);
  queueOutput(sent, start, QStringLiteral("-> ") + printable(sent) + notes);
  if (faults_.repeatMs() > 0)
    queueOutput(sent, line_.place(start + faults_.repeatMs(), lineMs),
                QStringLiteral("-> ") + printable(sent) + QStringLiteral("   (repeated)"));
}

void PtyServer::queueOutput(const QByteArray& bytes, double start, const QString& note) {
  auto at = std::find_if(outgoing_.begin(), outgoing_.end(), [&](const Outgoing& o) { return o.start > start; });
  outgoing_.insert(at, Outgoing{start, bytes, note});
}

void PtyServer::sendGarbage() {
  static const QByteArray noise = QByteArray::fromHex("00ff3a0d55aa3a3031") + ":01GARBAGE\r" + QByteArray::fromHex("fe7f0a");
  queueOutput(noise, line_.place(now(), options_.pacing ? noise.size() * kCharMs : 0.0),
              QStringLiteral("-> garbage ") + printable(noise));
  schedulePump();
}

void PtyServer::pump() {
  const double t = now();
  while (!outgoing_.isEmpty() && pty_.isOpen()) {
    Outgoing& o = outgoing_.first();
    const qsizetype due = options_.pacing
                              ? std::min<qsizetype>(o.bytes.size(), static_cast<qsizetype>((t - o.start) / kCharMs) + 1)
                              : (t >= o.start ? o.bytes.size() : 0);
    if (due > o.written) {
      if (!o.note.isEmpty()) {
        log(o.note);
        o.note.clear();
      }
      const ssize_t w = ::write(pty_.master(), o.bytes.constData() + o.written, static_cast<size_t>(due - o.written));
      if (w < 0 && errno != EAGAIN) {
        log(QStringLiteral("   write failed; reply dropped"));
        outgoing_.removeFirst();
        continue;
      }
      if (w < 0) {
        // Nobody is reading the terminal side and its buffer is full: the reply is lost.
        log(QStringLiteral("   line full; reply dropped"));
        outgoing_.removeFirst();
        continue;
      }
      o.written += w;
    }
    if (o.written < o.bytes.size()) break;
    outgoing_.removeFirst();
  }
  schedulePump();
}

void PtyServer::schedulePump() {
  // Wake up only when something is due; an idle simulator does not tick.
  if (outgoing_.isEmpty()) return;
  const Outgoing& o = outgoing_.first();
  const double next = options_.pacing ? o.start + o.written * kCharMs : o.start;
  const int wait = std::max(0, static_cast<int>(next - now()));
  if (!pumpTimer_.isActive() || pumpTimer_.remainingTime() > wait) pumpTimer_.start(wait);
}

}  // namespace lorvane::sim
