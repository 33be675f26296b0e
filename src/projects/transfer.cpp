#include "projects/transfer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <climits>
#include <optional>

#include "frames/request.h"
#include "link/traffic.h"

namespace lorvane::projects {

namespace {

QString tr(const char* text) { return QCoreApplication::translate("lorvane-projects", text); }

const Name kWrite = QStringLiteral("write");

// What a request asks, for messages: "read 10F8 (2)", "write 1025", "coil 0807 ON".
QString describe(const QByteArray& body) {
  const Request r = Request::fromBody(body);
  const QString a = QString::number(r.address, 16).toUpper().rightJustified(4, '0');
  switch (r.fn) {
    case Request::Fn::Read: return tr("read of register %1").arg(a);
    case Request::Fn::Write: return tr("write of register %1").arg(a);
    case Request::Fn::WriteCoil: return tr("coil %1 %2").arg(a, r.value ? QStringLiteral("ON") : QStringLiteral("OFF"));
  }
  return QString::fromLatin1(body);
}

}  // namespace

Transfer::Transfer(QIODevice* device, QObject* parent)
    : QObject(parent),
      link_(device),
      // Reads go again at every tick until answered; the engine never gives a command up by
      // itself (silence is judged here, by time).
      exchange_(ScreenDecl{.intervalMs = 10, .silentLimit = INT_MAX, .repeatingReads = true}) {
  auto wall = std::make_shared<QElapsedTimer>();
  wall->start();
  clock_ = [wall] { return wall->elapsed(); };
  exchange_.setLink(&link_);
  exchange_.setNotifier([this](const QString& text) {
    if (!failure_) failure_ = std::make_unique<TransferError>(TransferError{TransferError::Kind::Other, text});
  });
  timer_.setInterval(10);
  connect(&timer_, &QTimer::timeout, this, [this] { exchange_.tick(); });
  connect(&link_, &Link::portLost, this, [this] {
    if (!failure_) failure_ = std::make_unique<TransferError>(TransferError{TransferError::Kind::PortLost, tr("the port was lost")});
  });
  connect(&Traffic::instance(), &Traffic::recorded, this, &Transfer::onTraffic);
}

Transfer::~Transfer() = default;

void Transfer::setClock(Exchange::Clock clock) {
  clock_ = clock;
  exchange_.setClock(std::move(clock));
}

void Transfer::onTraffic(const TrafficEvent& e) {
  if (!busy_) return;
  switch (e.outcome) {
    case Outcome::Sent:
    case Outcome::Resent:
      ++counts_.sent;
      if (unansweredSince_ < 0) unansweredSince_ = now();
      break;
    case Outcome::TimedOut:
      ++counts_.timeouts;
      break;
    case Outcome::Answered:
    case Outcome::LateTaken:
      ++counts_.answered;
      counts_.lineChars += e.request.size() + 5 + e.frame.size();  // ":" body LRC CR LF, and the reply
      unansweredSince_ = -1;
      break;
    case Outcome::Refused:
      unansweredSince_ = -1;
      if (!failure_)
        failure_ = std::make_unique<TransferError>(
            TransferError{TransferError::Kind::Refused, tr("the controller refused the %1").arg(describe(e.request))});
      break;
    case Outcome::OutOfStep:
      lostStep_ = true;
      unansweredSince_ = -1;
      break;
    case Outcome::Late:
    case Outcome::Stray:
      unansweredSince_ = -1;  // not taken, but the controller is there
      break;
    default:
      break;
  }
}

void Transfer::runUntil(const std::function<bool()>& done) {
  unansweredSince_ = -1;
  busy_ = true;
  timer_.start();
  while (!done() && !failure_ && !interrupted_) {
    if (unansweredSince_ >= 0 && now() - unansweredSince_ > silentMs_)
      failure_ = std::make_unique<TransferError>(TransferError{
          TransferError::Kind::Silent,
          tr("the controller does not answer (nothing for %1 s): is it on, and is this its port?").arg(silentMs_ / 1000.0)});
    else
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  // Nothing of this operation may go out once it has ended.
  exchange_.setReads({});
  exchange_.setSequences({});
  if (!done()) {
    // Ended early: what it still had to send is dropped. The request on the line is let come
    // back (or time out) first, so that its answer is not taken for another's.
    exchange_.beginLeave();
    const std::int64_t since = now();
    while (exchange_.busy() && now() - since < LineGuard::kMaxReplyMs)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    exchange_.endLeave();
  }
  timer_.stop();
  busy_ = false;
  if (failure_) {
    const TransferError e = *failure_;
    failure_.reset();
    throw e;
  }
  if (interrupted_ && !done()) throw TransferError{TransferError::Kind::Interrupted, tr("interrupted")};
}

QList<std::int64_t> Transfer::read(const QList<Register>& registers) {
  // The line out of step while reading: what was read may belong to other registers; read it
  // all again.
  for (;;) {
    lostStep_ = false;
    QList<std::int64_t> values = readOnce(registers);
    if (!lostStep_) return values;
  }
}

QList<std::int64_t> Transfer::readOnce(const QList<Register>& registers) {
  QList<std::optional<std::int64_t>> got(registers.size());
  qsizetype left = registers.size();
  QList<Read> reads;
  for (qsizetype i = 0; i < registers.size(); ++i)
    reads << Read{.reg = registers[i].address, .count = registers[i].count, .then = [this, &got, &left, i](std::int64_t v) {
                    if (got[i]) return;
                    got[i] = v;
                    // The last value is in: the cycle must not start over with another read.
                    if (--left == 0) exchange_.setReads({});
                  }};
  exchange_.setReads(reads);
  runUntil([&] { return left == 0; });
  QList<std::int64_t> values;
  for (const auto& v : got) values << *v;
  return values;
}

void Transfer::write(const QList<RegisterWrite>& writes) {
  if (writes.isEmpty()) return;
  // A write of an operation that ended early may still wait in the engine: it is cancelled.
  Sequence seq{.button = kWrite, .cancels = {kWrite}};
  for (qsizetype i = 0; i < writes.size(); ++i) {
    const Name field = QStringLiteral("w%1").arg(i);
    exchange_.typeField(field, QString::number(writes[i].value));
    seq.steps << Write{.reg = writes[i].address, .field = field, .count = writes[i].count};
  }
  exchange_.setSequences({seq});
  exchange_.click(kWrite);
  runUntil([this] { return !exchange_.isPending(kWrite); });
}

void Transfer::command(std::uint16_t coil, int msAfter) {
  exchange_.setSequences({Sequence{.button = kWrite, .steps = {Coil{.coil = coil, .repeat = true}, Wait{msAfter}}, .cancels = {kWrite}}});
  exchange_.click(kWrite);
  runUntil([this] { return !exchange_.isPending(kWrite); });
}

}  // namespace lorvane::projects
