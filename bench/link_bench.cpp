// Measures the exchange engine against lorvane-sim over a pty at 9600 baud, with a controller
// latency of 5 ms unless --latency says otherwise:
//  1. polling a cycle of four registers at a 50 ms tick for 30 s: reads completed per tick,
//     round trip p50/p99, CPU share and peak RSS of this process;
//  2. a write soak with 10 % of replies dropped and 1 % corrupted: writes acknowledged that the
//     controller did not apply, and malformed frames sent (both must be 0).
// With --cycle (or --cycle-latencies) it runs the system control screen's read cycle instead:
// 22 reads, one per 10 ms tick, silent limit 5, not repeating, against a controller whose every
// read register holds a value known beforehand. It counts the values shown, and those shown in
// a field whose register does not hold them (a late answer taken for the next read's; must be 0).
//   bench_link [--latency MS] [poll-seconds] [soak-writes]
//   bench_link --cycle [--latency MS] [--seconds N]
//   bench_link --cycle-latencies unpaced,5,200,700,1500,0-900 [--seconds N] [--change-every S]
// --monitor keeps the traffic monitor window open (offscreen unless a display is chosen) through
// the runs, to compare its cost on the line with a run without it.
#include <sys/resource.h>

#include <QApplication>
#include <QCommandLineParser>
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
#include <optional>

#include "link/exchange.h"
#include "frames/frames.h"
#include "link/link.h"
#include "frames/reply.h"
#include "link/wait.h"
#include "ui/monitor.h"

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

  bool start(int latencyMs, const QStringList& extra) {
    if (!dir.isValid()) return false;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LORVANE_PORTS", dir.path());
    process.setProcessEnvironment(env);
    process.start(LORVANE_SIM_PATH, QStringList{"--port", "1", "--latency-ms", QString::number(latencyMs), "--empty"} + extra);
    if (!process.waitForStarted(5000)) return false;
    link = QDir(dir.path()).filePath("com1");
    QElapsedTimer t;
    t.start();
    while (!QFileInfo(link).isSymLink() && t.elapsed() < 5000) waitMs(10);
    return QFileInfo(link).isSymLink();
  }
  // Gives the simulator's console a command, out of band; its one-line answer.
  QByteArray command(const QByteArray& line) {
    process.readAllStandardOutput();
    process.write(line + "\n");
    QByteArray answer;
    QElapsedTimer t;
    t.start();
    // The simulator's own start-up line may still be on its way: it is not the answer.
    const auto answerLine = [&] {
      for (const QByteArray& l : answer.split('\n'))
        if (answer.contains('\n') && !l.trimmed().isEmpty() && !l.startsWith("lorvane-sim:")) return l.trimmed();
      return QByteArray();
    };
    while (answerLine().isEmpty() && t.elapsed() < 2000) {
      process.waitForReadyRead(50);
      answer += process.readAllStandardOutput();
    }
    return answerLine();
  }
  // Asks the simulator's console for a register.
  int get(std::uint16_t reg) {
    const QByteArray line = command("get " + QByteArray::number(reg, 16));
    const qsizetype eq = line.indexOf('=');
    return eq < 0 ? -1 : line.mid(eq + 1).trimmed().toInt();
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

int poll(int seconds, int latencyMs) {
  Sim sim;
  if (!sim.start(latencyMs, {})) return 1;
  auto port = open(sim);
  if (!port) return 1;
  Link link(port.get());
  Traffic::instance().setPort(sim.link);
  ScreenDecl d;
  d.intervalMs = 50;
  d.reads = {Read{.reg = 0x1025, .field = "a"}, Read{.reg = 0x10DE, .field = "b"}, Read{.reg = 0x1058, .field = "c"},
             Read{.reg = 0x1064, .count = 2, .field = "d", .scale = 100}};
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
  out() << "poll: " << seconds << " s at 50 ms ticks, 4-register cycle, controller latency " << latencyMs << " ms\n"
        << "  ticks " << ticks << ", reads completed " << reads << ", fidelity (reads per tick) "
        << QString::number(ticks ? static_cast<double>(reads) / ticks : 0, 'f', 3) << "\n"
        << "  round trip p50 " << QString::number(pct(0.5), 'f', 1) << " ms, p99 " << QString::number(pct(0.99), 'f', 1)
        << " ms\n"
        << "  CPU " << QString::number(100.0 * cpu / wall, 'f', 2) << " % of a core, peak RSS " << peakRssKb()
        << " KiB, malformed frames sent " << malformed << Qt::endl;
  if (ui::Monitor* monitor = ui::Monitor::existing()) {
    monitor->refresh();
    out() << "  traffic monitor: " << monitor->shownLines().size() << " frames listed, requests "
          << monitor->counter("requests") << ", replies " << monitor->counter("replies") << Qt::endl;
  }
  return 0;
}

int soak(int writes, int latencyMs) {
  Sim sim;
  if (!sim.start(latencyMs, {"--drop-percent", "10", "--corrupt-percent", "1"})) return 1;
  auto port = open(sim);
  if (!port) return 1;
  Link link(port.get());
  ScreenDecl d;
  d.intervalMs = 50;
  d.reads = {Read{.reg = 0x1025, .field = "p"}};
  d.sequences = {Sequence{.button = "w", .steps = {Write{.reg = 0x10DE, .field = "v"}}}};
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
  out() << "write soak: " << writes << " writes, 10 % replies dropped, 1 % corrupted, controller latency "
        << latencyMs << " ms\n"
        << "  acknowledged " << acknowledged << ", still red (given up) " << abandoned << ", frames sent " << frames
        << "\n  acknowledged but not applied " << notApplied << ", malformed frames sent " << malformed << Qt::endl;
  return notApplied == 0 && malformed == 0 ? 0 : 3;
}

// ---- The system control screen's read cycle ---------------------------------------------

// A register the cycle reads, the value the controller is made to hold in it, and the console
// commands that put it there (none: the idle controller holds it by itself).
struct CycleRegister {
  std::uint16_t reg;
  int count;
  std::int64_t value;
  QList<QByteArray> setup;
};

// In the screen's order. The values differ wherever the controller lets them: JA..JE (0x105B..
// 0x105F) and Y1..Y4 (0x1060..0x1063) are status bits it computes from the axes and outputs at
// every tick, so they can only be 0 or 1 (the axes stand still; Y1 and Y3 are switched on by
// the output test). The positions come from the axes themselves, hence `pos`.
QList<CycleRegister> cycleRegisters() {
  const auto set = [](const char* reg, int v) { return QList<QByteArray>{QByteArray("set ") + reg + ' ' + QByteArray::number(v)}; };
  const auto outputOn = [](int n) {
    return QList<QByteArray>{"set 10d5 " + QByteArray::number(n), "set 10d6 0", "coil 0838 on"};
  };
  return {
      {0x1025, 1, 7, set("1025", 7)},        {0x10DE, 1, 4321, set("10de", 4321)},
      {0x1058, 1, 37, set("1058", 37)},      {0x105B, 1, 0, {}},
      {0x105E, 1, 0, {}},                    {0x105C, 1, 0, {}},
      {0x105D, 1, 0, {}},                    {0x105F, 1, 0, {}},
      {0x1060, 1, 1, outputOn(1)},           {0x1061, 1, 0, {}},
      {0x1062, 1, 1, outputOn(3)},           {0x1063, 1, 0, {}},
      {0x105A, 1, 3, set("105a", 3)},        {0x1059, 1, 1500, set("1059", 1500)},
      {0x1024, 1, 2500, set("1024", 2500)},  {0x1064, 2, 12345, {"pos X 123.45"}},
      {0x1066, 2, -67890, {"pos Y -678.9"}}, {0x1068, 2, 9876543, {"pos Z 98765.43"}},
      {0x10A0, 2, -7, {"pos C -0.07"}},      {0x106A, 2, 200000, {"pos A 2000"}},
      {0x106E, 1, 11, set("106e", 11)},      {0x106F, 1, 12, set("106f", 12)},
  };
}

QString fieldName(const CycleRegister& r) { return QStringLiteral("r%1").arg(r.reg, 4, 16, QLatin1Char('0')).toUpper(); }

// What the simulator holds in a register or register pair, asked on its console.
std::optional<std::int64_t> held(Sim& sim, const CycleRegister& r) {
  const int lo = sim.get(r.reg);
  if (lo < 0) return std::nullopt;
  if (r.count == 1) return lo;
  const int hi = sim.get(static_cast<std::uint16_t>(r.reg + 1));
  if (hi < 0) return std::nullopt;
  return std::int64_t{static_cast<std::int32_t>((static_cast<std::uint32_t>(hi) << 16) | static_cast<std::uint32_t>(lo))};
}

// A controller's timing for a run: a fixed latency, a random one ("0-900"), or answers as fast as
// the program can take them ("unpaced": no 9600-baud pacing, no latency).
struct Timing {
  QString name;
  int latencyMs = 0;
  QStringList extra;
  static std::optional<Timing> parse(const QString& text) {
    const QString t = text.trimmed();
    if (t == QLatin1String("unpaced")) return Timing{t, 0, {"--no-pacing"}};
    bool ok = false;
    if (t.contains('-')) {
      const int lo = t.section('-', 0, 0).toInt(&ok);
      const int hi = ok ? t.section('-', 1, 1).toInt(&ok) : 0;
      if (!ok || lo < 0 || hi < lo) return std::nullopt;
      return Timing{t, 0, {"--delay-ms", QString::number(lo), "--delay-max-ms", QString::number(hi)}};
    }
    const int ms = t.toInt(&ok);
    if (!ok || ms < 0) return std::nullopt;
    return Timing{t, ms, {}};
  }
};

struct CycleResult {
  QString timing;
  double seconds = 0;
  int shown = 0;
  int wrong = 0;     // shown in a field whose register does not hold that value
  int ownValue = 0;  // fields whose value no other field of the same width holds
  int cycleShown = 0;       // of them on the system control screen
  double cycleSeconds = 0;  // time spent on it
  int changes = 0;
  bool ok = false;
};

// The least time one pass of the cycle takes on a 9600-baud line with a controller of this
// latency: every request, the controller's latency and its answer, one after the other.
double lineLimitMs(int latencyMs) {
  double chars = 0;
  for (const CycleRegister& r : cycleRegisters()) chars += 17 + 11 + 4 * r.count;
  return chars * 10.0 * 1000.0 / 9600.0 + static_cast<double>(cycleRegisters().size() * latencyMs);
}

// The read cycle for `seconds`; with changeEveryMs the operator goes back and forth between the
// system control screen and the main screen (which reads the production count) that often: each
// screen closes the port and the next opens it again, with answers still on their way.
CycleResult runCycle(const Timing& timing, int seconds, int changeEveryMs) {
  CycleResult res;
  res.timing = timing.name;
  const QList<CycleRegister> regs = cycleRegisters();
  Sim sim;
  if (!sim.start(timing.latencyMs, timing.extra)) {
    out() << "cycle: lorvane-sim did not start" << Qt::endl;
    return res;
  }
  for (const CycleRegister& r : regs) {
    for (const QByteArray& line : r.setup) {
      const QByteArray answer = sim.command(line);
      if (answer != "ok") {
        out() << "cycle: simulator answered \"" << answer << "\" to \"" << line << "\"" << Qt::endl;
        return res;
      }
    }
  }
  // The right value of each field is what the simulator holds, read back before and after.
  QHash<QString, QString> right;
  for (const CycleRegister& r : regs) {
    const std::optional<std::int64_t> v = held(sim, r);
    if (v != r.value) {
      out() << "cycle: register " << fieldName(r) << " holds " << (v ? QString::number(*v) : QStringLiteral("?"))
            << ", not " << r.value << Qt::endl;
      return res;
    }
    right.insert(fieldName(r), QString::number(*v));
  }
  for (const CycleRegister& r : regs) {
    const bool shared = std::any_of(regs.begin(), regs.end(), [&](const CycleRegister& o) {
      return &o != &r && o.count == r.count && o.value == r.value;
    });
    if (!shared) ++res.ownValue;
  }

  ScreenDecl d;
  d.intervalMs = 10;
  d.silentLimit = 5;
  d.repeatingReads = false;
  for (const CycleRegister& r : regs) d.reads << Read{.reg = r.reg, .count = r.count, .field = fieldName(r)};
  ScreenDecl mainScreen{.intervalMs = 80, .silentLimit = 5, .reads = {Read{.reg = 0x10DE, .field = fieldName(regs[1])}}};
  const auto line = std::make_shared<PortState>();  // the port's, across the screens
  QElapsedTimer clock;
  clock.start();
  bool onCycle = true;
  for (qint64 left = seconds * 1000LL; left > 0; left = seconds * 1000LL - clock.elapsed()) {
    auto port = open(sim);
    if (!port) return res;
    Link link(port.get());
    link.setPort(line);
    Exchange ex(onCycle ? d : mainScreen);
    ex.setLink(&link);
    QObject::connect(&ex, &Exchange::fieldShown, [&](const Name& field, const QString& text) {
      if (text.isEmpty()) return;  // blanked until read again
      ++res.shown;
      if (onCycle) ++res.cycleShown;
      if (right.value(field) != text) ++res.wrong;
    });
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(ex.interval());
    QObject::connect(&timer, &QTimer::timeout, &ex, &Exchange::tick);
    timer.start();
    QElapsedTimer here;
    here.start();
    waitMs(static_cast<int>(changeEveryMs > 0 ? std::min<qint64>(changeEveryMs, left) : left));
    timer.stop();
    if (onCycle) res.cycleSeconds += static_cast<double>(here.elapsed()) / 1000.0;
    ex.setLink(nullptr);
    port->close();
    if (changeEveryMs > 0) ++res.changes;
    onCycle = !onCycle;
  }
  res.seconds = static_cast<double>(clock.elapsed()) / 1000.0;

  for (const CycleRegister& r : regs) {
    if (held(sim, r) != r.value) {
      out() << "cycle: register " << fieldName(r) << " changed during the run" << Qt::endl;
      return res;
    }
  }
  res.ok = true;
  return res;
}

int cycle(const QList<Timing>& timings, int seconds, int changeEveryMs) {
  out() << "system control read cycle: " << cycleRegisters().size()
        << " reads, 10 ms ticks, silent limit 5, reads not repeating";
  if (changeEveryMs > 0) out() << "; screen changed every " << changeEveryMs << " ms (system control <-> main screen)";
  out() << "\nline limit of one pass: " << QString::number(lineLimitMs(0), 'f', 1)
        << " ms of frames, plus the controller's latency for each read\n"
        << "controller  seconds  reads shown  reads/s  pass ms  x line limit  changes  in a wrong field" << Qt::endl;
  bool allOk = true, anyWrong = false;
  int ownValue = 0;
  for (const Timing& timing : timings) {
    const CycleResult r = runCycle(timing, seconds, changeEveryMs);
    if (!r.ok) {
      allOk = false;
      continue;
    }
    ownValue = r.ownValue;
    anyWrong = anyWrong || r.wrong > 0;
    const double passMs = r.cycleShown > 0 ? r.cycleSeconds * 1000.0 * cycleRegisters().size() / r.cycleShown : 0;
    out() << r.timing.rightJustified(10) << QString::number(r.seconds, 'f', 1).rightJustified(9)
          << QString::number(r.shown).rightJustified(13)
          << QString::number(r.seconds > 0 ? r.shown / r.seconds : 0, 'f', 1).rightJustified(9)
          << QString::number(passMs, 'f', 1).rightJustified(9)
          << QString::number(passMs / lineLimitMs(timing.latencyMs), 'f', 3).rightJustified(14)
          << QString::number(r.changes).rightJustified(9)
          << QString::number(r.wrong).rightJustified(17) << Qt::endl;
  }
  if (allOk)
    out() << "(" << ownValue << " of " << cycleRegisters().size()
          << " fields hold a value no other field of their width holds; a value moved between two of "
             "the others, all 0/1 status bits, is not seen)"
          << Qt::endl;
  if (!allOk) return 1;
  return anyWrong ? 3 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  // A window program's application in every run, so that runs with and without the monitor
  // differ only by the monitor.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QCommandLineParser parser;
  parser.addHelpOption();
  parser.addOptions({
      {"latency", "Controller latency, passed to lorvane-sim as --latency-ms (default 5).", "MS", "5"},
      {"cycle", "Run the system control screen's read cycle instead of the poll and the write soak."},
      {"cycle-latencies",
       "Run the read cycle at each of these controller timings, one row each: latencies in ms, a random "
       "range (0-900) or unpaced (e.g. unpaced,5,200,700,1500,0-900).",
       "LIST"},
      {"change-every", "Change screens (system control <-> main screen) every S seconds (default 0: never).", "S", "0"},
      {"seconds", "Length of each read cycle run (default 20).", "N", "20"},
      {"monitor", "Keep the traffic monitor open during the runs."},
  });
  parser.addPositionalArgument("poll-seconds", "Length of the poll (default 30).", "[poll-seconds]");
  parser.addPositionalArgument("soak-writes", "Writes in the soak (default 200).", "[soak-writes]");
  parser.process(app);

  if (parser.isSet("monitor")) ui::Monitor::open();
  out() << "traffic monitor " << (parser.isSet("monitor") ? "open" : "closed") << Qt::endl;
  bool ok = false;
  const int latency = parser.value("latency").toInt(&ok);
  if (!ok || latency < 0) parser.showHelp(2);
  if (parser.isSet("cycle") || parser.isSet("cycle-latencies")) {
    const int seconds = parser.value("seconds").toInt(&ok);
    if (!ok || seconds <= 0) parser.showHelp(2);
    const double changeEvery = parser.value("change-every").toDouble(&ok);
    if (!ok || changeEvery < 0) parser.showHelp(2);
    QList<Timing> timings{*Timing::parse(QString::number(latency))};
    if (parser.isSet("cycle-latencies")) {
      timings.clear();
      for (const QString& item : parser.value("cycle-latencies").split(',', Qt::SkipEmptyParts)) {
        const std::optional<Timing> t = Timing::parse(item);
        if (!t) parser.showHelp(2);
        timings << *t;
      }
      if (timings.isEmpty()) parser.showHelp(2);
    }
    return cycle(timings, seconds, static_cast<int>(changeEvery * 1000));
  }
  const QStringList args = parser.positionalArguments();
  const int seconds = args.size() > 0 ? args[0].toInt() : 30;
  const int writes = args.size() > 1 ? args[1].toInt() : 200;
  if (int rc = poll(seconds, latency)) return rc;
  return soak(writes, latency);
}
