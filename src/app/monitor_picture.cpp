// The traffic monitor's picture for the screenshots: a short run of the engine against the
// simulated controller in process, with a write, a hold-to-run coil, a corrupted reply, a lost
// reply, a late reply and a refusal, then the monitor as it shows them.
#include <QApplication>
#include <QElapsedTimer>
#include <QIODevice>
#include <QTimer>
#include <utility>

#include "sim/faults.h"
#include "link/exchange.h"
#include "link/link.h"
#include "frames/reply.h"
#include "link/wait.h"
#include "sim/model.h"
#include "sim/slave.h"
#include "ui/monitor.h"

namespace {

using namespace lorvane;

// A line whose far end is the simulator's controller: each reply comes back after the time both
// frames take at 9600 baud and a few milliseconds more, or later when the script says so.
class SimulatedLine : public QIODevice {
 public:
  SimulatedLine() { open(QIODevice::ReadWrite); }
  sim::ControllerModel model;
  sim::Slave slave{model};
  sim::Faults faults;
  int extraDelayMs = 0;  // for the next reply only

  bool isSequential() const override { return true; }
  qint64 bytesAvailable() const override { return in_.size() + QIODevice::bytesAvailable(); }

 protected:
  qint64 readData(char* data, qint64 maxSize) override {
    const qint64 n = std::min<qint64>(maxSize, in_.size());
    std::copy_n(in_.constData(), n, data);
    in_.remove(0, n);
    return n;
  }
  qint64 writeData(const char* data, qint64 len) override {
    for (const QByteArray& frame : assembler_.feed(QByteArray(data, static_cast<qsizetype>(len)))) {
      const QByteArray reply = faults.apply(slave.handle(frame));
      if (reply.isEmpty()) continue;
      const int ms = static_cast<int>((frame.size() + reply.size()) * 1.05) + 5 + std::exchange(extraDelayMs, 0);
      QTimer::singleShot(ms, this, [this, reply] {
        in_ += reply;
        emit readyRead();
      });
    }
    return len;
  }

 private:
  FrameAssembler assembler_;
  QByteArray in_;
};

}  // namespace

// Runs the script (about three seconds) and saves the monitor to file.
bool renderMonitorPicture(const QString& file) {
  Traffic::instance().setPort(QStringLiteral("/dev/ttyUSB0"));
  ui::Monitor* monitor = ui::Monitor::open();
  monitor->resize(1060, 720);

  SimulatedLine line;
  line.model.writeRegister(0x1025, 3);
  line.model.writeRegister(0x10DE, 1520);
  line.model.writeLong(0x1064, 12345);
  Link link(&line);
  ScreenDecl decl;
  decl.intervalMs = 80;
  decl.silentLimit = 3;
  decl.reads = {Read{.reg = 0x1025, .field = "project"}, Read{.reg = 0x10DE, .field = "count"},
                Read{.reg = 0x1064, .count = 2, .field = "x"}};
  decl.sequences = {Sequence{.button = "write", .steps = {Write{.reg = 0x10DE, .field = "count"}}}};
  decl.momentaries = {Momentary{.button = "jog", .coil = 0x0801}};
  Exchange exchange(decl);
  exchange.setLink(&link);
  QTimer tick;
  tick.setInterval(decl.intervalMs);
  QObject::connect(&tick, &QTimer::timeout, &exchange, &Exchange::tick);
  tick.start();

  waitMs(250);
  exchange.typeField("count", QStringLiteral("1600"));
  exchange.click("write");
  waitMs(200);
  exchange.press("jog");
  waitMs(200);
  exchange.release("jog");
  waitMs(200);
  line.faults.corruptNext(1);
  waitMs(500);
  line.faults.dropNext(1);
  waitMs(500);
  line.extraDelayMs = 300;  // answered after its time-out
  waitMs(600);
  line.slave.refuseNext(1, 0x02);
  waitMs(150);
  tick.stop();
  waitMs(300);  // the last replies come in

  monitor->refresh();
  QApplication::processEvents();
  const bool ok = monitor->grab().save(file);
  ui::Monitor::discard();
  return ok;
}
