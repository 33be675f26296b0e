#include "faults.h"

namespace lorvane::sim {

double Faults::draw() {
  // splitmix64: small, fast and the same on every platform.
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  z ^= z >> 31;
  return static_cast<double>(z >> 11) / 9007199254740992.0;  // [0, 1)
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
  const double d = draw();
  const double c = draw();
  if (dropNext_ > 0 || d < dropFraction_) {
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

QString Faults::summary() const {
  return QStringLiteral("drop %1% (next %2), corrupt %3% (next %4); so far dropped %5, corrupted %6")
      .arg(dropFraction_ * 100)
      .arg(dropNext_)
      .arg(corruptFraction_ * 100)
      .arg(corruptNext_)
      .arg(dropped_)
      .arg(corrupted_);
}

}  // namespace lorvane::sim
