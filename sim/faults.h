#pragma once
// Line faults a test or a demonstration can ask for: replies that never come and replies with a
// broken LRC (refusals are the slave's, see Slave::refuseNext). Fractions are drawn from a
// seeded generator so a run can be repeated.
#include <QByteArray>
#include <QString>
#include <cstdint>

namespace lorvane::sim {

class Faults {
 public:
  explicit Faults(std::uint64_t seed = 1) : state_(seed) {}

  void setSeed(std::uint64_t seed) { state_ = seed; }
  void setDropFraction(double f) { dropFraction_ = f; }
  void setCorruptFraction(double f) { corruptFraction_ = f; }
  double dropFraction() const { return dropFraction_; }
  double corruptFraction() const { return corruptFraction_; }
  void dropNext(int n) { dropNext_ = n; }
  void corruptNext(int n) { corruptNext_ = n; }

  // What goes on the line in place of the controller's reply: the reply itself, a copy with a
  // wrong LRC, or nothing. An empty reply (the controller stayed silent) stays so.
  QByteArray apply(const QByteArray& reply);

  int dropped() const { return dropped_; }
  int corrupted() const { return corrupted_; }
  QString summary() const;

 private:
  double draw();

  std::uint64_t state_;
  double dropFraction_ = 0;
  double corruptFraction_ = 0;
  int dropNext_ = 0;
  int corruptNext_ = 0;
  int dropped_ = 0;
  int corrupted_ = 0;
};

// The frame with its two LRC digits replaced by a wrong value.
QByteArray withBadLrc(const QByteArray& frame);

}  // namespace lorvane::sim
