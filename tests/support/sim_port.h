#pragma once
// A serial port whose far end is the simulated controller, in process: requests written to it
// go through the Modbus ASCII slave to the controller model, and the replies come back
// asynchronously (a zero timer, then readyRead), the way a real port delivers them. No sleeping:
// a test runs the event loop (or QCoreApplication::processEvents) and steps the model's time
// with model().advance(ms).
#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <functional>
#include <memory>

#include "sim/faults.h"
#include "sim/model.h"
#include "frames/reply.h"
#include "sim/slave.h"

namespace lorvane::test {

class SimPort;

// The wire between the program's port and the controller. The controller knows nothing of the
// port being closed: replies on their way when it closes are delivered once a port is open on
// the wire again, as they would arrive on a real line.
struct SimWire {
  struct Held {
    double due;
    QByteArray bytes;
  };
  QList<Held> held;            // paced replies, by the time their last character arrives
  QList<QByteArray> stranded;  // replies that found no port open
  sim::ReplyLine line;
};

class SimPort : public QIODevice {
  Q_OBJECT
 public:
  // Talks to model, or to a model of its own when none is given. The port starts open.
  // On `wire`, when given: what an earlier port left on it arrives here.
  explicit SimPort(sim::ControllerModel* model = nullptr, QObject* parent = nullptr,
                   std::shared_ptr<SimWire> wire = {});
  ~SimPort() override;

  sim::ControllerModel& model() { return *model_; }
  sim::Slave& slave() { return slave_; }
  sim::Faults& faults() { return faults_; }

  // Line faults: a share of replies lost or sent with a wrong LRC (drawn from a seeded
  // generator, so a test is repeatable), or the next n of them.
  void setDropFraction(double f) { faults_.setDropFraction(f); }
  void setCorruptFraction(double f) { faults_.setCorruptFraction(f); }
  void setSeed(quint64 seed) { faults_.setSeed(seed); }
  void dropNext(int n) { faults_.dropNext(n); }
  void corruptNext(int n) { faults_.corruptNext(n); }
  // A share of valid requests refused with an exception (device failure) and not carried out.
  void setRefuseFraction(double f) { faults_.setRefuseFraction(f); }
  // Every n-th reply lost, counted from the next one (2: every second one; 0: off).
  void dropEvery(int n) { faults_.setDropEvery(n); }
  // A controller that is switched off: requests are taken, nothing comes back.
  void setSilent(bool silent) { faults_.setSilent(silent); }
  // Replies arrive in pieces of this many bytes, each piece on its own readyRead (0: whole).
  void setChunkSize(int bytes) { chunk_ = bytes; }
  // Bytes the line delivers by itself (noise, a late reply), asynchronously like a reply.
  void inject(const QByteArray& bytes);

  // Pacing: a 9600-baud line (ten bits a character) and a controller that starts answering
  // latencyMs after a request's last character. Replies are then held until deliverDue(now) is
  // called at or after the time their last character arrives; clock gives the line's time (ms).
  static constexpr double kCharMs = 10.0 * 1000.0 / 9600.0;
  void setPacing(int latencyMs, std::function<double()> clock);
  // The controller's latency for requests written from now on: fixed, or drawn for each reply
  // in [minMs, maxMs] (seeded by setSeed). A reply never overtakes an earlier one: it waits for
  // the line as on a real controller.
  void setLatency(int ms) { setLatencyRange(ms, ms); }
  void setLatencyRange(int minMs, int maxMs);
  // A faulty responder: every reply comes a second time, ms after the first started (0: once
  // only). The copy takes the line when it goes, but holds no later reply back; a copy due
  // before the first has left the line follows right after it. Unpaced, it follows at once.
  void setRepeatAfter(int ms) { faults_.setRepeatMs(ms); }
  bool paced() const { return bool(clock_); }
  double nextDue() const { return wire_->held.isEmpty() ? -1 : wire_->held.first().due; }  // -1: none held
  void deliverDue(double now);

  // The adapter is pulled: readChannelFinished now, every later write fails.
  void unplug();
  bool isUnplugged() const { return unplugged_; }

  // Every whole request frame written (":" .. CR LF), in order, and every reply delivered.
  const QList<QByteArray>& sent() const { return sent_; }
  const QList<QByteArray>& replies() const { return replies_; }
  void clearHistory();

  bool isSequential() const override { return true; }
  qint64 bytesAvailable() const override { return in_.size() + QIODevice::bytesAvailable(); }
  void close() override;

 signals:
  void requestSeen(const QByteArray& frame);
  // The controller has dealt with a request: its reply as it left the controller, before any line
  // fault (empty: no answer). A request that is not refused has been carried out by now.
  void handled(const QByteArray& request, const QByteArray& reply);

 protected:
  qint64 readData(char* data, qint64 maxSize) override;
  qint64 writeData(const char* data, qint64 len) override;

 private:
  void deliverLater(const QByteArray& bytes);
  void deliverFirst();
  void strand();

  std::unique_ptr<sim::ControllerModel> ownModel_;
  sim::ControllerModel* model_;
  sim::Slave slave_;
  sim::Faults faults_;
  FrameAssembler assembler_;
  QByteArray in_;
  QList<QByteArray> sent_;
  QList<QByteArray> replies_;
  bool unplugged_ = false;
  int chunk_ = 0;
  QList<QByteArray> arriving_;  // on their way into the port, each at the next turn of the loop
  std::shared_ptr<SimWire> wire_;
  std::function<double()> clock_;
  int latencyMinMs_ = 0;
  int latencyMaxMs_ = 0;
};

}  // namespace lorvane::test
