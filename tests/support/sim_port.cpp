#include "sim_port.h"

#include <QTimer>
#include <algorithm>
#include <cstring>

namespace lorvane::test {

SimPort::SimPort(sim::ControllerModel* model, QObject* parent)
    : QIODevice(parent),
      ownModel_(model ? nullptr : std::make_unique<sim::ControllerModel>()),
      model_(model ? model : ownModel_.get()),
      slave_(*model_) {
  QIODevice::open(QIODevice::ReadWrite);
}

SimPort::~SimPort() = default;

void SimPort::clearHistory() {
  sent_.clear();
  replies_.clear();
}

void SimPort::close() {
  in_.clear();
  assembler_.clear();
  held_.clear();
  ++generation_;
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
    const double start = std::max(requestEnd + faults_.drawDelay(latencyMinMs_, latencyMaxMs_), replyLineFree_);
    replyLineFree_ = start + lineMs;
    held_.append({replyLineFree_, reply});
    if (repeatMs > 0) {
      replyLineFree_ = std::max(start + repeatMs, replyLineFree_) + lineMs;
      held_.append({replyLineFree_, reply});
    }
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
  while (!held_.isEmpty() && held_.first().due <= now) deliverLater(held_.takeFirst().bytes);
}

void SimPort::deliverLater(const QByteArray& bytes) {
  const qsizetype piece = chunk_ > 0 ? chunk_ : bytes.size();
  for (qsizetype at = 0; at < bytes.size(); at += piece) {
    const QByteArray part = bytes.mid(at, piece);
    const bool last = at + piece >= bytes.size();
    QTimer::singleShot(0, this, [this, part, whole = last ? bytes : QByteArray(), gen = generation_] {
      if (unplugged_ || gen != generation_ || !isOpen()) return;
      in_ += part;
      if (!whole.isEmpty()) replies_.append(whole);
      emit readyRead();
    });
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
