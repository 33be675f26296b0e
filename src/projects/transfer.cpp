#include "projects/transfer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <climits>

#include "frames/request.h"

namespace lorvane::projects {

namespace {

QString tr(const char* text) { return QCoreApplication::translate("lorvane-projects", text); }

// What a request asks, for messages: "read of register 10F8", "write of register 1025".
QString describe(const Request& r) {
  const QString a = QString::number(r.address, 16).toUpper().rightJustified(4, '0');
  switch (r.fn) {
    case Request::Fn::Read: return tr("read of register %1").arg(a);
    case Request::Fn::Write: return tr("write of register %1").arg(a);
    case Request::Fn::WriteCoil: return tr("coil %1 %2").arg(a, r.value ? QStringLiteral("ON") : QStringLiteral("OFF"));
  }
  return {};
}

}  // namespace

Transfer::Transfer(QIODevice* device, QObject* parent)
    : QObject(parent),
      ownLink_(std::make_unique<Link>(device)),
      // The engine never gives a request up by ticks: silence is judged by each operation's time.
      ownEngine_(std::make_unique<Exchange>(ScreenDecl{.intervalMs = 10, .silentLimit = INT_MAX})),
      engine_(ownEngine_.get()) {
  ownEngine_->setLink(ownLink_.get());
  tickWhileWaiting();
}

// A screen's own timer may tick slower than a tool needs, or not at all (a test that steps it).
Transfer::Transfer(Exchange& engine, QObject* parent) : QObject(parent), engine_(&engine) {
  engine.holdReads();
  tickWhileWaiting();
}

// While an operation is awaited the engine is ticked every 10 ms as well: a request repeated or
// timed out goes again at once.
void Transfer::tickWhileWaiting() {
  timer_.setInterval(10);
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (engine_) engine_->tick();
  });
}

Transfer::~Transfer() {
  if (engine_ && !ownEngine_) engine_->releaseReads();
}

void Transfer::setClock(Exchange::Clock clock) {
  if (engine_) engine_->setClock(std::move(clock));
}

// Nothing more of the operation under way goes out from now on, even before the wait for it
// sees the interruption.
void Transfer::interrupt() {
  interrupted_ = true;
  if (current_) current_->cancel();
}

QList<std::int64_t> Transfer::await(Operation* op) {
  const QPointer<Operation> guard(op);
  current_ = op;
  if (interrupted_) op->cancel();
  op->setTimeoutMs(silentMs_);
  timer_.start();
  while (guard && !guard->isFinished() && !interrupted_)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  timer_.stop();
  if (!guard) throw TransferError{TransferError::Kind::PortLost, tr("the screen that held the port was closed")};
  // Deleted once this returns; a request of it still on the line stays owed to the line.
  const std::unique_ptr<Operation> done(op);
  if (!op->isFinished()) op->cancel();
  const Operation::Counts& c = op->counts();
  counts_.answered += c.answered;
  counts_.sent += c.sent;
  counts_.timeouts += c.timeouts;
  counts_.lineChars += c.lineChars;
  switch (op->result()) {
    case Operation::Result::Done:
      return op->values();
    case Operation::Result::Refused:
      throw TransferError{TransferError::Kind::Refused, tr("the controller refused the %1").arg(describe(op->failedRequest()))};
    case Operation::Result::TimedOut:
      throw TransferError{
          TransferError::Kind::Silent,
          tr("the controller does not answer (nothing for %1 s): is it on, and is this its port?").arg(silentMs_ / 1000.0)};
    case Operation::Result::PortLost:
      throw TransferError{TransferError::Kind::PortLost, tr("the port was lost")};
    case Operation::Result::Cancelled:
    case Operation::Result::Running:
      break;
  }
  throw TransferError{TransferError::Kind::Interrupted, tr("interrupted")};
}

QList<std::int64_t> Transfer::read(const QList<Register>& registers) {
  if (!engine_) throw TransferError{TransferError::Kind::PortLost, tr("the port was lost")};
  return await(engine_->submit(registers));
}

void Transfer::write(const QList<RegisterWrite>& writes) {
  if (!engine_) throw TransferError{TransferError::Kind::PortLost, tr("the port was lost")};
  await(engine_->submit(writes));
}

void Transfer::command(std::uint16_t coil, int msAfter) {
  if (!engine_) throw TransferError{TransferError::Kind::PortLost, tr("the port was lost")};
  await(engine_->submitCommand(coil, msAfter));
}

}  // namespace lorvane::projects
