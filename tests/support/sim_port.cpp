#include "sim_port.h"

#include <QTimer>
#include <algorithm>
#include <cstring>
#include <utility>

namespace lorvane::test {

SimPort::SimPort(sim::ControllerModel* model, QObject* parent, std::shared_ptr<SimWire> wire)
    : QIODevice(parent),
      ownModel_(model ? nullptr : std::make_unique<sim::ControllerModel>()),
      model_(model ? model : ownModel_.get()),
      slave_(*model_),
      wire_(wire ? std::move(wire) : std::make_shared<SimWire>()) {
  QIODevice::open(QIODevice::ReadWrite);
  for (const QByteArray& bytes : std::exchange(wire_->stranded, {})) deliverLater(bytes);
}

SimPort::~SimPort() { strand(); }

// Replies not yet in the port stay on the wire for the next port opened on it.
void SimPort::strand() {
  wire_->stranded += std::exchange(arriving_, {});
}

void SimPort::clearHistory() {
  sent_.clear();
  replies_.clear();
}

void SimPort::close() {
  in_.clear();
  assembler_.clear();
  strand();
  QIODevice::close();
}

qint64 SimPort::readData(char* data, qint64 maxSize) {
  const qint64 n = qMin<qint64>(maxSize, in_.size());
  std::memcpy(data, in_.constData(), static_cast<size_t>(n));
  in_.remove(0, n);
  return n;
}

qint64 SimPort::writeData(const char* data, qint64 len) {
  if (unplugged_) {
    setErrorString(QStringLiteral("device removed"));
    return -1;
  }
  for (const QByteArray& frame : assembler_.feed(QByteArray(data, static_cast<qsizetype>(len)))) {
    sent_.append(frame);
    emit requestSeen(frame);
    if (faults_.silent()) continue;
    if (faults_.refuseFraction() > 0 && faults_.refuseNow() && slave_.refusalsPending() == 0)
      slave_.refuseNext(1, sim::kDeviceFailure);
    const QByteArray answer = slave_.handle(frame);
    emit handled(frame, answer);
    const QByteArray reply = faults_.apply(answer);
    if (reply.isEmpty()) continue;
    const int repeatMs = faults_.repeatMs();
    if (!clock_) {
      deliverLater(reply);
      if (repeatMs > 0) deliverLater(reply);
      continue;
    }
    const double lineMs = static_cast<double>(reply.size()) * kCharMs;
    const double requestEnd = clock_() + static_cast<double>(frame.size()) * kCharMs;
    const auto hold = [this](double due, const QByteArray& bytes) {
      auto at = std::find_if(wire_->held.begin(), wire_->held.end(), [&](const SimWire::Held& h) { return h.due > due; });
      wire_->held.insert(at, {due, bytes});
    };
    const double start = wire_->line.placeInOrder(requestEnd + faults_.drawDelay(latencyMinMs_, latencyMaxMs_), lineMs);
    hold(start + lineMs, reply);
    if (repeatMs > 0) hold(wire_->line.place(start + repeatMs, lineMs) + lineMs, reply);
  }
  return len;
}

void SimPort::inject(const QByteArray& bytes) { deliverLater(bytes); }

void SimPort::setPacing(int latencyMs, std::function<double()> clock) {
  setLatency(latencyMs);
  clock_ = std::move(clock);
}

void SimPort::setLatencyRange(int minMs, int maxMs) {
  latencyMinMs_ = std::max(0, minMs);
  latencyMaxMs_ = std::max(latencyMinMs_, maxMs);
}

void SimPort::deliverDue(double now) {
  while (!wire_->held.isEmpty() && wire_->held.first().due <= now) deliverLater(wire_->held.takeFirst().bytes);
}

void SimPort::deliverLater(const QByteArray& bytes) {
  arriving_.append(bytes);
  QTimer::singleShot(0, this, &SimPort::deliverFirst);
}

void SimPort::deliverFirst() {
  if (arriving_.isEmpty()) return;
  if (!isOpen()) {
    strand();
    return;
  }
  const QByteArray bytes = arriving_.takeFirst();
  if (unplugged_) return;
  const qsizetype piece = chunk_ > 0 ? chunk_ : bytes.size();
  for (qsizetype at = 0; at < bytes.size() && isOpen(); at += piece) {
    in_ += bytes.mid(at, piece);
    if (at + piece >= bytes.size()) replies_.append(bytes);
    emit readyRead();
  }
}

void SimPort::unplug() {
  if (unplugged_) return;
  unplugged_ = true;
  in_.clear();
  setErrorString(QStringLiteral("device removed"));
  emit readChannelFinished();
}

}  // namespace lorvane::test
