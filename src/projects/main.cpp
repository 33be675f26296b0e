// lorvane-projects: backs up the controller's ten projects to a file, restores them from it, and
// shows what a backup holds; converts between backups and the simulator's state file.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTextStream>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

#include "link/link.h"
#include "projects/backup_file.h"
#include "projects/operations.h"
#include "projects/plot.h"
#include "projects/transfer.h"

using namespace lorvane;
using namespace lorvane::projects;

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kInterrupted = 130;

QString tr(const char* text) { return QCoreApplication::translate("lorvane-projects", text); }

QTextStream& out() {
  static QTextStream s(stdout);
  return s;
}
QTextStream& err() {
  static QTextStream s(stderr);
  return s;
}

int signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t interruptedBySignal = 0;

void onSignal(int) {
  interruptedBySignal = 1;
  const char c = 1;
  [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

// Ctrl+C ends the transfer under way at the next turn of the event loop, and a question on the
// terminal at once (no restart of the read), so that the summary still says what was done.
void catchInterrupt(Transfer& t, QObject* owner) {
  if (::pipe(signalPipe) != 0) return;
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, owner);
  QObject::connect(notifier, &QSocketNotifier::activated, owner, [&t] {
    char c = 0;
    [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &c, 1);
    t.interrupt();
  });
}

QString seconds(double ms) { return QString::number(ms / 1000.0, 'f', 1) + QStringLiteral(" s"); }

// Progress on standard error: project, step, share done and time left; one line rewritten in
// place on a terminal, a line per project otherwise.
class ProgressLine {
 public:
  explicit ProgressLine(bool quiet) : quiet_(quiet), tty_(::isatty(STDERR_FILENO) == 1) {}
  ~ProgressLine() { finish(); }

  void operator()(const Progress& p) {
    if (quiet_) return;
    if (!clock_.isValid()) clock_.start();  // from the first piece of work, not the questions before it
    const double elapsed = double(clock_.elapsed());
    QString line = QStringLiteral("%1: project %2").arg(p.what).arg(p.project);
    if (p.step > 0) line += QStringLiteral(", step %1").arg(p.step);
    line += QStringLiteral("  %1%").arg(int(p.fraction * 100));
    if (p.fraction > 0.02) line += QStringLiteral(", %1 left").arg(seconds(elapsed * (1 - p.fraction) / p.fraction));
    if (tty_) {
      err() << '\r' << line << "\033[K";
      err().flush();
      open_ = true;
    } else if (p.step == 0 && (p.project != lastProject_ || p.what != lastWhat_)) {
      err() << line << '\n';
      err().flush();
    }
    lastProject_ = p.project;
    lastWhat_ = p.what;
  }
  void finish() {
    if (open_) err() << '\n';
    err().flush();
    open_ = false;
  }

 private:
  bool quiet_;
  bool tty_;
  bool open_ = false;
  int lastProject_ = 0;
  QString lastWhat_;
  QElapsedTimer clock_;
};

struct Port {
  std::unique_ptr<QSerialPort> device;
  QString name;
};

// The port a number names, as the program finds it ($LORVANE_PORTS/comN, else /dev/ttyS<N-1>).
std::optional<Port> openPort(const QString& text) {
  bool ok = false;
  const int n = text.toInt(&ok);
  if (!ok || n < 1) {
    err() << tr("lorvane-projects: --port needs a port number (1, 2, ...), not \"%1\"\n").arg(text);
    return std::nullopt;
  }
  Port p;
  p.name = portDeviceName(n);
  QString why;
  p.device = openSerialPort(p.name, &why);
  if (!p.device) {
    err() << tr("lorvane-projects: port %1 (%2) cannot be opened: %3\n").arg(n).arg(p.name, why);
    err() << tr("  A port number N is %1/comN when that exists, else /dev/ttyS<N-1>.\n").arg(portsFolder());
    return std::nullopt;
  }
  return p;
}

QString lineFigures(const Transfer& t, double ms) {
  const Transfer::Counts& c = t.counts();
  return tr("%1 requests answered (%2 sent, %3 time-outs) in %4; the line's least time for them %5, ratio %6")
      .arg(c.answered)
      .arg(c.sent)
      .arg(c.timeouts)
      .arg(seconds(ms), seconds(c.lineMs()))
      .arg(c.lineMs() > 0 ? ms / c.lineMs() : 0.0, 0, 'f', 2);
}

int backup(Transfer& t, const QString& file, bool quiet) {
  QElapsedTimer clock;
  clock.start();
  Backup b;
  {
    ProgressLine progress(quiet);
    try {
      b = backupProjects(t, [&progress](const Progress& p) { progress(p); });
    } catch (const TransferError& e) {
      progress.finish();
      err() << tr("lorvane-projects: backup not written: %1\n").arg(e.message);
      return e.kind == TransferError::Kind::Interrupted ? kInterrupted : kFailed;
    }
  }
  QString why;
  if (!save(b, file, &why)) {
    err() << tr("lorvane-projects: backup not written: %1\n").arg(why);
    return kFailed;
  }
  int steps = 0;
  for (const ProjectData& p : b.projects) steps += static_cast<int>(p.steps.size());
  out() << tr("Backed up %1 projects (%2 steps) to %3\n").arg(b.projects.size()).arg(steps).arg(file);
  if (!quiet) out() << lineFigures(t, double(clock.elapsed())) << '\n';
  return 0;
}

bool ask(const ProjectData& p) {
  if (interruptedBySignal) return false;
  err() << tr("Restore project %1 (%2 steps) from the backup, replacing the controller's project %1? [y/N] ")
               .arg(p.number)
               .arg(p.steps.size());
  err().flush();
  std::string answer;
  const bool ok = static_cast<bool>(std::getline(std::cin, answer));
  // An answer from a file or a pipe is not echoed by a terminal: show it.
  if (::isatty(STDIN_FILENO) != 1) err() << QString::fromStdString(answer) << '\n';
  if (!ok) return false;
  return answer == "y" || answer == "Y" || answer == "yes";
}

QString numbers(const QList<int>& list) {
  QStringList s;
  for (int n : list) s << QString::number(n);
  return s.isEmpty() ? tr("none") : s.join(QStringLiteral(", "));
}

int restore(Transfer& t, const Backup& b, int only, bool yes, bool quiet) {
  QList<int> projects;
  for (const ProjectData& p : b.projects)
    if (only == 0 || p.number == only) projects << p.number;
  if (projects.isEmpty()) {
    err() << tr("lorvane-projects: the backup holds no project %1\n").arg(only);
    return kFailed;
  }
  QElapsedTimer clock;
  clock.start();
  RestoreReport r;
  {
    ProgressLine progress(quiet);
    const auto confirm = [&](const ProjectData& p) {
      progress.finish();
      const bool y = ask(p);
      if (interruptedBySignal) t.interrupt();
      return y;
    };
    r = restoreProjects(t, b, projects, yes ? std::function<bool(const ProjectData&)>() : confirm,
                        [&progress](const Progress& p) { progress(p); });
  }
  if (r.refusedRunning) {
    err() << tr("lorvane-projects: %1\n").arg(r.error);
    return kFailed;
  }
  for (const Mismatch& m : r.mismatches)
    err() << tr("differs: project %1 %2 %3 (register %4): expected %5, read %6\n")
                 .arg(m.project)
                 .arg(m.step ? tr("step %1").arg(m.step) : tr("(project)"))
                 .arg(m.name)
                 .arg(QString::number(m.address, 16).toUpper())
                 .arg(m.expected)
                 .arg(m.read);
  out() << tr("Restored and checked: %1\n").arg(numbers(r.restored));
  if (!r.differing.isEmpty()) out() << tr("Written and kept, but reading back differs: %1\n").arg(numbers(r.differing));
  if (!r.skipped.isEmpty()) out() << tr("Not restored (not confirmed): %1\n").arg(numbers(r.skipped));
  if (r.unfinished)
    out() << tr("Project %1 was under way: its registers may be partly written and it was not checked; restore it again\n")
                 .arg(r.unfinished);
  if (!r.error.isEmpty()) err() << tr("lorvane-projects: stopped: %1\n").arg(r.error);
  if (!quiet) out() << lineFigures(t, double(clock.elapsed())) << '\n';
  if (interruptedBySignal) return kInterrupted;
  return r.error.isEmpty() && r.differing.isEmpty() ? 0 : kFailed;
}

bool writeWhole(const QString& path, const QByteArray& data) {
  QString why;
  if (writeFileWhole(path, data, &why)) return true;
  err() << tr("lorvane-projects: %1\n").arg(why);
  return false;
}

QByteArray readAll(const QString& path, bool* ok) {
  QFile f(path);
  *ok = f.open(QIODevice::ReadOnly);
  if (!*ok) err() << tr("lorvane-projects: %1: %2\n").arg(path, f.errorString());
  return *ok ? f.readAll() : QByteArray();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "plot") return plotCommand(argc, argv);  // draws: a GUI application, offscreen
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("lorvane-projects"));
  QCommandLineParser parser;
  parser.setApplicationDescription(tr(
      "Backs up, restores and shows the projects of a Lorvane controller (Modbus ASCII, 9600 8N1, slave 01).\n\n"
      "Commands:\n"
      "  backup --port N FILE            read projects 1..10 with every step into FILE\n"
      "  restore --port N FILE           write the projects of FILE back, keep each and read it back\n"
      "          [--project K] [--yes]   (only project K; no questions)\n"
      "  show FILE                       the projects and steps a backup holds\n"
      "  from-sim STATE FILE             a backup of the projects kept in a lorvane-sim state file\n"
      "  to-sim FILE STATE               the projects of a backup into a lorvane-sim state file\n"
      "  plot FILE --project N -o OUT    draw project N's path to OUT.svg or OUT.png (no display needed)\n\n"
      "Port N is $LORVANE_PORTS/comN (default ~/.config/lorvane/ports/comN) when that exists, else\n"
      "/dev/ttyS<N-1>. Exit status: 0 done, 1 failed, 2 bad usage, 130 interrupted."));
  parser.addHelpOption();
  parser.addPositionalArgument(QStringLiteral("command"), tr("backup, restore, show, from-sim or to-sim"));
  parser.addPositionalArgument(QStringLiteral("files"), tr("the files the command takes"));
  const QCommandLineOption portOpt(QStringLiteral("port"), tr("The controller's port number."), QStringLiteral("N"));
  const QCommandLineOption projectOpt(QStringLiteral("project"), tr("Restore only project K (1..10)."), QStringLiteral("K"));
  const QCommandLineOption yesOpt(QStringLiteral("yes"), tr("Restore without asking for each project."));
  const QCommandLineOption quietOpt(QStringLiteral("quiet"), tr("No progress and figures."));
  const QCommandLineOption timeoutOpt(QStringLiteral("timeout"),
                                      tr("Seconds without an answer before the controller is taken to be silent (default 5)."),
                                      QStringLiteral("S"), QStringLiteral("5"));
  parser.addOptions({portOpt, projectOpt, yesOpt, quietOpt, timeoutOpt});
  if (!parser.parse(app.arguments())) {
    err() << "lorvane-projects: " << parser.errorText() << '\n' << tr("Try lorvane-projects --help\n");
    return kUsage;
  }
  if (parser.isSet(QStringLiteral("help"))) {
    out() << parser.helpText();
    return 0;
  }
  const QStringList args = parser.positionalArguments();
  const QString command = args.value(0);
  const auto usage = [](const QString& text) {
    err() << "lorvane-projects: " << text << '\n' << tr("Try lorvane-projects --help\n");
    return kUsage;
  };
  const bool needsPort = command == QLatin1String("backup") || command == QLatin1String("restore");
  const int files = command == QLatin1String("from-sim") || command == QLatin1String("to-sim") ? 2 : 1;
  if (!needsPort && command != QLatin1String("show") && files != 2)
    return usage(command.isEmpty() ? tr("no command given") : tr("unknown command \"%1\"").arg(command));
  if (args.size() != files + 1) return usage(tr("%1 takes %2 file name(s)").arg(command).arg(files));
  if (needsPort != parser.isSet(portOpt))
    return usage(needsPort ? tr("%1 needs --port N").arg(command) : tr("%1 takes no --port").arg(command));
  int only = 0;
  if (parser.isSet(projectOpt)) {
    bool ok = false;
    only = parser.value(projectOpt).toInt(&ok);
    if (command != QLatin1String("restore") || !ok || only < 1 || only > kProjects)
      return usage(tr("--project K is for restore, K in 1..%1").arg(kProjects));
  }
  if (parser.isSet(yesOpt) && command != QLatin1String("restore")) return usage(tr("--yes is for restore"));
  bool timeoutOk = false;
  const double timeout = parser.value(timeoutOpt).toDouble(&timeoutOk);
  if (!timeoutOk || timeout <= 0) return usage(tr("--timeout needs a number of seconds"));
  const bool quiet = parser.isSet(quietOpt);

  QString why;
  if (command == QLatin1String("show")) {
    const auto b = load(args[1], &why);
    if (!b) {
      err() << "lorvane-projects: " << why << '\n';
      return kFailed;
    }
    out() << summary(*b);
    return 0;
  }
  if (command == QLatin1String("from-sim")) {
    bool ok = false;
    const QByteArray state = readAll(args[1], &ok);
    if (!ok) return kFailed;
    const auto b = fromSimState(state, &why);
    if (!b) {
      err() << "lorvane-projects: " << args[1] << ": " << why << '\n';
      return kFailed;
    }
    return save(*b, args[2], &why) ? 0 : (err() << "lorvane-projects: " << why << '\n', kFailed);
  }
  if (command == QLatin1String("to-sim")) {
    const auto b = load(args[1], &why);
    if (!b) {
      err() << "lorvane-projects: " << why << '\n';
      return kFailed;
    }
    bool exists = false;
    const QByteArray existing = QFile::exists(args[2]) ? readAll(args[2], &exists) : QByteArray();
    return writeWhole(args[2], toSimState(*b, existing)) ? 0 : kFailed;
  }

  // backup and restore: the file is checked before the port is opened.
  std::optional<Backup> fromFile;
  if (command == QLatin1String("restore")) {
    fromFile = load(args[1], &why);
    if (!fromFile) {
      err() << "lorvane-projects: " << why << '\n';
      return kFailed;
    }
    if (const QStringList bad = outOfRange(*fromFile, only ? QList<int>{only} : QList<int>{}); !bad.isEmpty()) {
      for (const QString& line : bad) err() << "lorvane-projects: " << line << '\n';
      err() << tr("lorvane-projects: the backup holds values the screens refuse; nothing was written\n");
      return kFailed;
    }
  }
  auto port = openPort(parser.value(portOpt));
  if (!port) return kFailed;
  Transfer transfer(port->device.get());
  transfer.setSilentMs(static_cast<int>(timeout * 1000));
  catchInterrupt(transfer, &app);
  if (command == QLatin1String("backup")) return backup(transfer, args[1], quiet);
  return restore(transfer, *fromFile, only, parser.isSet(yesOpt), quiet);
}
