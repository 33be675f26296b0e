#include "sim/faults.h"

#include <algorithm>
#include <cmath>

namespace lorvane::sim {

double Faults::draw(std::uint64_t& state) {
  // splitmix64: small, fast and the same on every platform.
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  z ^= z >> 31;
  return static_cast<double>(z >> 11) / 9007199254740992.0;  // [0, 1)
}

void Faults::setSeed(std::uint64_t seed) {
  state_ = seed;
  delayState_ = seed ^ 0xD1B54A32D192ED03ULL;
  refuseState_ = seed ^ 0x8CB92BA72F3D8DD7ULL;
}

bool Faults::refuseNow() {
  if (refuseFraction_ <= 0 || draw(refuseState_) >= refuseFraction_) return false;
  ++refused_;
  return true;
}

void Faults::setDropEvery(int n) {
  dropEvery_ = n >= 2 ? n : 0;
  sinceEvery_ = 0;
}

void Faults::setDelay(int minMs, int maxMs) {
  delayMin_ = std::max(0, minMs);
  delayMax_ = std::max(delayMin_, maxMs);
}

int Faults::drawDelay(int minMs, int maxMs) {
  if (maxMs <= minMs) return minMs;
  const double span = static_cast<double>(maxMs) - minMs + 1;
  return minMs + std::min(static_cast<int>(std::floor(draw(delayState_) * span)), maxMs - minMs);
}

QByteArray withBadLrc(const QByteArray& frame) {
  if (frame.size() < 5) return frame;
  const qsizetype at = frame.size() - 4;
  const int lrc = frame.mid(at, 2).toInt(nullptr, 16);
  QByteArray out = frame;
  out.replace(at, 2, QByteArray::number((lrc + 0x5A) & 0xFF, 16).toUpper().rightJustified(2, '0'));
  return out;
}

QByteArray Faults::apply(const QByteArray& reply) {
  if (reply.isEmpty()) return reply;
  // Draw for every reply so a sequence of verdicts depends only on the seed and the count.
  const double d = draw(state_);
  const double c = draw(state_);
  const bool nth = dropEvery_ >= 2 && ++sinceEvery_ % dropEvery_ == 0;
  if (dropNext_ > 0 || d < dropFraction_ || nth) {
    if (dropNext_ > 0) --dropNext_;
    ++dropped_;
    return {};
  }
  if (corruptNext_ > 0 || c < corruptFraction_) {
    if (corruptNext_ > 0) --corruptNext_;
    ++corrupted_;
    return withBadLrc(reply);
  }
  return reply;
}

namespace {
QString ordinal(int n) {
  const int tens = n % 100, ones = n % 10;
  const char* suffix = tens >= 11 && tens <= 13 ? "th" : ones == 1 ? "st" : ones == 2 ? "nd" : ones == 3 ? "rd" : "th";
  return QString::number(n) + QLatin1String(suffix);
}
}  // namespace

QString Faults::summary() const {
  const QString every = dropEvery_ ? QStringLiteral(", every ") + ordinal(dropEvery_) : QString();
  const QString delay = delayMax_ > delayMin_ ? QStringLiteral("%1..%2 ms").arg(delayMin_).arg(delayMax_)
                                              : QStringLiteral("%1 ms").arg(delayMin_);
  const QString repeat = repeatMs_ ? QStringLiteral("after %1 ms").arg(repeatMs_) : QStringLiteral("off");
  return QStringLiteral("drop %1% (next %2%3), corrupt %4% (next %5), delay %6, repeat %7, silent %8; "
                        "so far dropped %9, corrupted %10")
      .arg(dropFraction_ * 100)
      .arg(dropNext_)
      .arg(every)
      .arg(corruptFraction_ * 100)
      .arg(corruptNext_)
      .arg(delay, repeat, silent_ ? QStringLiteral("on") : QStringLiteral("off"))
      .arg(dropped_)
      .arg(corrupted_);
}

}  // namespace lorvane::sim

namespace lorvane::sim {

double ReplyLine::place(double earliest, double ms) {
  // What ended long ago no longer matters.
  while (!busy_.isEmpty() && busy_.first().second < earliest - 60000) busy_.removeFirst();
  double at = earliest;
  qsizetype i = 0;
  for (; i < busy_.size(); ++i) {
    const auto& [from, to] = busy_[i];
    if (to <= at) continue;
    if (at + ms <= from) break;
    at = std::max(at, to);
  }
  if (ms > 0) busy_.insert(i, {at, at + ms});
  return at;
}

}  // namespace lorvane::sim
