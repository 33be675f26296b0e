// lorvane-sim: a five-axis stepper controller on a pseudo-terminal, for running, demonstrating
// and testing the operator program without hardware.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTextStream>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include "sim/console.h"
#include "sim/faults.h"
#include "sim/model.h"
#include "sim/server.h"

using namespace lorvane::sim;

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
  const char c = 1;
  [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

QTextStream& out() {
  static QTextStream s(stdout);
  return s;
}

bool percentOption(const QCommandLineParser& p, const QString& name, double* fraction) {
  if (!p.isSet(name)) return true;
  bool ok = false;
  const double v = p.value(name).toDouble(&ok);
  if (!ok || v < 0 || v > 100) return false;
  *fraction = v / 100.0;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("lorvane-sim"));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Simulated five-axis controller (Modbus ASCII slave 01, 9600 8N1) on a pseudo-terminal.\n"
      "It links $LORVANE_PORTS/comN (default ~/.config/lorvane/ports/comN) to its terminal.\n"
      "Type help on standard input for the commands it takes while running."));
  parser.addHelpOption();
  const QList<QCommandLineOption> options = {
      {"port", "Port number N: the link is named comN (default 1).", "N", "1"},
      {"latency-ms", "Delay before a reply starts (default 5).", "MS", "5"},
      {"log", "Log traffic and events to FILE (- for standard output).", "FILE"},
      {"state", "Keep parameters and projects in FILE (loaded at start if it exists).", "FILE"},
      {"drop-percent", "Drop this share of replies.", "P"},
      {"corrupt-percent", "Send this share of replies with a wrong LRC.", "P"},
      {"delay-ms", "Extra delay before every reply (default 0).", "MS", "0"},
      {"delay-max-ms", "Draw each reply's extra delay between --delay-ms and MS.", "MS"},
      {"repeat-ms", "Send every reply a second time MS after the first (default 0: once).", "MS", "0"},
      {"silent", "Start silent: requests are taken and none is answered (switched off)."},
      {"seed", "Seed for the drop, corrupt and delay draws (default 1).", "N", "1"},
      {"step-ms", "Travel time of one step of a run (default 300).", "MS", "300"},
      {"no-pacing", "Answer at full speed instead of 9600 baud."},
      {"empty", "Start without the demonstration project (when there is no state file)."},
  };
  parser.addOptions(options);
  parser.process(app);

  const auto intValue = [&](const char* name, int min, int max, int* v) {
    bool ok = false;
    *v = parser.value(QLatin1String(name)).toInt(&ok);
    return ok && *v >= min && *v <= max;
  };
  int port = 1, latency = 5, stepMs = 300, delay = 0, delayMax = 0, repeat = 0;
  double drop = 0, corrupt = 0;
  bool seedOk = false;
  const qulonglong seed = parser.value("seed").toULongLong(&seedOk);
  // Without --delay-max-ms the extra delay is fixed; with it, it may not be below --delay-ms.
  bool delayOk = intValue("delay-ms", 0, 60000, &delay);
  delayMax = delay;
  if (delayOk && parser.isSet("delay-max-ms")) delayOk = intValue("delay-max-ms", delay, 60000, &delayMax);
  if (!intValue("port", 1, 255, &port) || !intValue("latency-ms", 0, 60000, &latency) ||
      !intValue("step-ms", 1, 600000, &stepMs) || !percentOption(parser, "drop-percent", &drop) ||
      !percentOption(parser, "corrupt-percent", &corrupt) || !seedOk || !delayOk ||
      !intValue("repeat-ms", 0, 60000, &repeat)) {
    QTextStream(stderr) << "lorvane-sim: bad option value (see --help)\n";
    return 2;
  }

  ControllerModel model;
  model.timing().stepMs = stepMs;
  const QString stateFile = parser.value("state");
  if (!stateFile.isEmpty() && QFileInfo::exists(stateFile)) {
    QString error;
    if (!model.load(stateFile, &error)) {
      QTextStream(stderr) << "lorvane-sim: cannot load " << stateFile << ": " << error << '\n';
      return 1;
    }
  } else if (!parser.isSet("empty")) {
    model.loadDemo();
  }
  model.setStateFile(stateFile);

  Faults faults(seed);
  faults.setDropFraction(drop);
  faults.setCorruptFraction(corrupt);
  faults.setDelay(delay, delayMax);
  faults.setRepeatMs(repeat);
  faults.setSilent(parser.isSet("silent"));

  PtyServer::Options serverOptions;
  serverOptions.port = port;
  serverOptions.latencyMs = latency;
  serverOptions.pacing = !parser.isSet("no-pacing");
  serverOptions.logFile = parser.value("log");
  PtyServer server(model, faults, serverOptions);
  QString error;
  if (!server.start(&error)) {
    QTextStream(stderr) << "lorvane-sim: " << error << '\n';
    return 1;
  }
  out() << "lorvane-sim: device " << server.deviceName() << ", link " << server.linkPath() << Qt::endl;

  // SIGINT and SIGTERM end the simulator cleanly (the link is removed on the way out).
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    auto* sn = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(sn, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
  }
  std::signal(SIGPIPE, SIG_IGN);

  ConsoleHooks hooks;
  hooks.garbage = [&] { server.sendGarbage(); };
  hooks.unplug = [&] { server.unplug(); };
  hooks.plug = [&] {
    QString e;
    if (server.plug(&e)) out() << "lorvane-sim: device " << server.deviceName() << ", link " << server.linkPath() << Qt::endl;
    else out() << "plug failed: " << e << Qt::endl;
  };
  hooks.quit = [] { QCoreApplication::quit(); };
  Console console(model, server.slave(), faults, hooks);

  // Commands on standard input; at its end the simulator keeps running without them.
  auto* stdinNotifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
  QByteArray typed;
  QObject::connect(stdinNotifier, &QSocketNotifier::activated, &app, [&] {
    char buf[1024];
    const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n <= 0) {
      stdinNotifier->setEnabled(false);
      return;
    }
    typed.append(buf, n);
    qsizetype nl;
    while ((nl = typed.indexOf('\n')) >= 0) {
      const QString line = QString::fromLocal8Bit(typed.left(nl)).trimmed();
      typed.remove(0, nl + 1);
      if (line.isEmpty()) continue;
      server.log(QStringLiteral("> ") + line);
      const QString reply = console.run(line);
      if (!reply.isEmpty()) out() << reply << Qt::endl;
    }
  });

  const int rc = app.exec();
  server.stop();
  return rc;
}
