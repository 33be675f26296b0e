#pragma once
// Line faults a test or a demonstration can ask for: replies that never come (some of them,
// every n-th, or all when the controller is silent), replies with a broken LRC, replies that
// come late or twice (refusals are the slave's, see Slave::refuseNext). Fractions and random
// delays are drawn from seeded generators so a run can be repeated.
#include <QByteArray>
#include <QString>
#include <QList>
#include <algorithm>
#include <cstdint>
#include <utility>

namespace lorvane::sim {

class Faults {
 public:
  explicit Faults(std::uint64_t seed = 1) { setSeed(seed); }

  // The drop and corrupt draws and the delay draws come from two streams of the one seed, so
  // asking for a random delay does not change which replies are lost.
  void setSeed(std::uint64_t seed);
  void setDropFraction(double f) { dropFraction_ = f; }
  void setCorruptFraction(double f) { corruptFraction_ = f; }
  double dropFraction() const { return dropFraction_; }
  double corruptFraction() const { return corruptFraction_; }
  void dropNext(int n) { dropNext_ = n; }
  void corruptNext(int n) { corruptNext_ = n; }
  // Every n-th reply is lost (n = 2: every second one); 0 or 1 turns it off. Counting starts
  // with the next reply.
  void setDropEvery(int n);
  int dropEvery() const { return dropEvery_; }

  // What goes on the line in place of the controller's reply: the reply itself, a copy with a
  // wrong LRC, or nothing. An empty reply (the controller stayed silent) stays so.
  QByteArray apply(const QByteArray& reply);

  // Extra time before each reply: fixed when minMs == maxMs, else drawn for every reply.
  void setDelay(int minMs, int maxMs);
  int delayMin() const { return delayMin_; }
  int delayMax() const { return delayMax_; }
  int nextDelay() { return drawDelay(delayMin_, delayMax_); }
  // A whole number of ms, uniform in [minMs, maxMs] (minMs itself when maxMs <= minMs).
  int drawDelay(int minMs, int maxMs);

  // A faulty responder: every reply goes out a second time, starting this many ms after the
  // first one started (0: once only). The front ends carry it out.
  void setRepeatMs(int ms) { repeatMs_ = ms; }
  int repeatMs() const { return repeatMs_; }
  // The controller takes requests and answers none, nor acts on them (switched off).
  void setSilent(bool silent) { silent_ = silent; }
  bool silent() const { return silent_; }
  // A share of requests the controller refuses with an exception and does not carry out (a
  // controller busy with its flash, say). Drawn from a stream of its own, so asking for refusals
  // does not change which replies are lost; refuseNow() draws for one request.
  void setRefuseFraction(double f) { refuseFraction_ = f; }
  double refuseFraction() const { return refuseFraction_; }
  bool refuseNow();
  int refused() const { return refused_; }

  int dropped() const { return dropped_; }
  int corrupted() const { return corrupted_; }
  QString summary() const;

 private:
  static double draw(std::uint64_t& state);

  std::uint64_t state_ = 0;
  std::uint64_t delayState_ = 0;
  std::uint64_t refuseState_ = 0;
  double refuseFraction_ = 0;
  int refused_ = 0;
  double dropFraction_ = 0;
  double corruptFraction_ = 0;
  int dropNext_ = 0;
  int corruptNext_ = 0;
  int dropEvery_ = 0;
  int sinceEvery_ = 0;  // replies since the every-n-th drop was set
  int delayMin_ = 0;
  int delayMax_ = 0;
  int repeatMs_ = 0;
  bool silent_ = false;
  int dropped_ = 0;
  int corrupted_ = 0;
};

// The frame with its two LRC digits replaced by a wrong value.
QByteArray withBadLrc(const QByteArray& frame);

}  // namespace lorvane::sim

namespace lorvane::sim {

// The line from the controller towards the program: one reply at a time on it, never two at
// once. A reply goes at the first time it may when the line has room for it, so a repeated copy
// waiting for its time holds no later reply back (it only takes its own slot).
class ReplyLine {
 public:
  // The first time at or after `earliest` when the line is free for `ms`; that time is taken.
  double place(double earliest, double ms);
  // A controller's answer: in request order, so no earlier than the last answer's end.
  double placeInOrder(double earliest, double ms) {
    const double start = place(std::max(earliest, lastInOrder_), ms);
    lastInOrder_ = start + ms;
    return start;
  }
  void clear() {
    busy_.clear();
    lastInOrder_ = 0;
  }

 private:
  QList<std::pair<double, double>> busy_;  // taken [from, to), in order
  double lastInOrder_ = 0;
};

}  // namespace lorvane::sim
