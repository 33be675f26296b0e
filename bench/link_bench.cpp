// Measures the exchange engine against lorvane-sim over a pty at 9600 baud with a 5 ms
// controller latency:
//  1. polling a cycle of four registers at a 50 ms tick for 30 s: reads completed per tick,
//     round trip p50/p99, CPU share and peak RSS of this process;
//  2. a write soak with 10 % of replies dropped and 1 % corrupted: writes acknowledged that the
//     controller did not apply, and malformed frames sent (both must be 0).
// bench_link [poll-seconds] [soak-writes]
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "exchange.h"
#include "frames.h"
#include "link.h"
#include "reply.h"
#include "wait.h"

using namespace lorvane;

namespace {

QTextStream& out() {
  static QTextStream s(stdout);
  return s;
}

// A frame as it must leave the program: ":" + even upper-case hex + right LRC + CR LF, and one
// of the three request shapes.
bool wellFormed(const QByteArray& frame) {
  if (!frame.startsWith(':') || !frame.endsWith("\r\n")) return false;
  const QByteArray hex = frame.mid(1, frame.size() - 3);
  for (char c : hex)
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  const QByteArray body = hex.left(hex.size() - 2);
  if (buildFrame(body) != frame) return false;
  const int len = static_cast<int>(body.size());
  return len == 12 || len == 18 || len == 22;
}

struct Sim {
  QTemporaryDir dir;
  QProcess process;
  QString link;

  bool start(const QStringList& extra) {
    if (!dir.isValid()) return false;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LORVANE_PORTS", dir.path());
    process.setProcessEnvironment(env);
    process.start(LORVANE_SIM_PATH, QStringList{"--port", "1", "--latency-ms", "5", "--empty"} + extra);
    if (!process.waitForStarted(5000)) return false;
    link = QDir(dir.path()).filePath("com1");
    QElapsedTimer t;
    t.start();
    while (!QFileInfo(link).isSymLink() && t.elapsed() < 5000) waitMs(10);
    return QFileInfo(link).isSymLink();
  }
  // Asks the simulator's console for a register, out of band.
  int get(std::uint16_t reg) {
    process.readAllStandardOutput();
    process.write("get " + QByteArray::number(reg, 16) + "\n");
    QByteArray line;
    QElapsedTimer t;
    t.start();
    while (!line.contains('=') && t.elapsed() < 2000) {
      process.waitForReadyRead(50);
      line += process.readAllStandardOutput();
    }
    const qsizetype eq = line.indexOf('=');
    return eq < 0 ? -1 : line.mid(eq + 1).trimmed().split('\n').first().toInt();
  }
  ~Sim() {
    process.terminate();
    process.waitForFinished(3000);
  }
};

std::unique_ptr<QSerialPort> open(const Sim& sim) {
  auto port = std::make_unique<QSerialPort>(QFileInfo(sim.link).symLinkTarget());
  port->setBaudRate(QSerialPort::Baud9600);
  if (!port->open(QIODevice::ReadWrite)) return nullptr;
  return port;
}

// Time this process has run on a CPU, from the scheduler's own accounting (nanoseconds summed
// over its threads). getrusage() samples at the clock tick, which on this load (a wake-up per
// character at 9600 baud) swings between a fraction and ten times the true figure.
double cpuSeconds() {
  double total = 0;
  const QDir tasks(QStringLiteral("/proc/self/task"));
  for (const QString& t : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile f(tasks.filePath(t + QStringLiteral("/schedstat")));
    if (f.open(QIODevice::ReadOnly)) total += f.readAll().split(' ').value(0).toDouble() / 1e9;
  }
  return total;
}

long peakRssKb() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

int poll(int seconds) {
  Sim sim;
  if (!sim.start({})) return 1;
  auto port = open(sim);
  if (!port) return 1;
  Link link(port.get());
  ScreenDecl d;
  d.intervalMs = 50;
  d.reads = {Read{0x1025, 1, "a"}, Read{0x10DE, 1, "b"}, Read{0x1058, 1, "c"}, Read{0x1064, 2, "d", 100}};
  Exchange ex(d);
  ex.setLink(&link);
  QElapsedTimer clock;
  clock.start();
  qint64 sentAt = -1;
  QList<double> trips;
  int reads = 0, malformed = 0;
  QObject::connect(&link, &Link::frameSent, [&](const QByteArray& f) {
    sentAt = clock.nsecsElapsed();
    if (!wellFormed(f)) ++malformed;
  });
  QObject::connect(&ex, &Exchange::fieldShown, [&] {
    ++reads;
    if (sentAt >= 0) trips << static_cast<double>(clock.nsecsElapsed() - sentAt) / 1e6;
  });
  int ticks = 0;
  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  timer.setInterval(d.intervalMs);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    ++ticks;
    ex.tick();
  });
  const double cpu0 = cpuSeconds();
  clock.restart();
  timer.start();
  waitMs(seconds * 1000);
  timer.stop();
  const double wall = static_cast<double>(clock.elapsed()) / 1000.0;
  const double cpu = cpuSeconds() - cpu0;
  std::sort(trips.begin(), trips.end());
  const auto pct = [&](double p) { return trips.isEmpty() ? 0.0 : trips[static_cast<qsizetype>(p * (trips.size() - 1))]; };
  out() << "poll: " << seconds << " s at 50 ms ticks, 4-register cycle\n"
        << "  ticks " << ticks << ", reads completed " << reads << ", fidelity (reads per tick) "
        << QString::number(ticks ? static_cast<double>(reads) / ticks : 0, 'f', 3) << "\n"
        << "  round trip p50 " << QString::number(pct(0.5), 'f', 1) << " ms, p99 " << QString::number(pct(0.99), 'f', 1)
        << " ms\n"
        << "  CPU " << QString::number(100.0 * cpu / wall, 'f', 2) << " % of a core, peak RSS " << peakRssKb()
        << " KiB, malformed frames sent " << malformed << Qt::endl;
  return 0;
}

int soak(int writes) {
  Sim sim;
  if (!sim.start({"--drop-percent", "10", "--corrupt-percent", "1"})) return 1;
  auto port = open(sim);
  if (!port) return 1;
  Link link(port.get());
  ScreenDecl d;
  d.intervalMs = 50;
  d.reads = {Read{0x1025, 1, "p"}};
  d.sequences = {Sequence{"w", {RegisterWrite{0x10DE, "v"}}}};
  Exchange ex(d);
  ex.setLink(&link);
  int malformed = 0, frames = 0;
  QObject::connect(&link, &Link::frameSent, [&](const QByteArray& f) {
    ++frames;
    if (!wellFormed(f)) ++malformed;
  });
  QTimer timer;
  timer.setInterval(d.intervalMs);
  QObject::connect(&timer, &QTimer::timeout, &ex, &Exchange::tick);
  timer.start();
  int acknowledged = 0, notApplied = 0, abandoned = 0;
  for (int i = 1; i <= writes; ++i) {
    const int value = (i * 7919) % 65536;
    ex.typeField("v", QString::number(value));
    ex.click("w");
    QElapsedTimer t;
    t.start();
    // Written until acknowledged; a write given up at the silent limit stays pending (red).
    while (ex.isPending("w") && t.elapsed() < 3000) {
      waitMs(5);
      if (t.elapsed() > 1500 && ex.silentTicks() == 0 && !ex.busy()) break;
    }
    if (ex.isPending("w")) {
      ++abandoned;
      continue;
    }
    ++acknowledged;
    if (sim.get(0x10DE) != value) ++notApplied;
  }
  timer.stop();
  out() << "write soak: " << writes << " writes, 10 % replies dropped, 1 % corrupted\n"
        << "  acknowledged " << acknowledged << ", still red (given up) " << abandoned << ", frames sent " << frames
        << "\n  acknowledged but not applied " << notApplied << ", malformed frames sent " << malformed << Qt::endl;
  return notApplied == 0 && malformed == 0 ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
  const int writes = argc > 2 ? std::atoi(argv[2]) : 200;
  if (int rc = poll(seconds)) return rc;
  return soak(writes);
}
