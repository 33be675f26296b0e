#include "sim/console.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace lorvane::sim {

namespace {

bool parseInt(const QString& text, int* out, int base = 10) {
  bool ok = false;
  QString t = text;
  if (base == 16 && t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) t = t.mid(2);
  const int v = t.toInt(&ok, base);
  if (ok) *out = v;
  return ok;
}

// "N" (a count of the next replies) or "P%" (a share of all replies).
bool parseAmount(const QString& text, int* count, double* fraction) {
  if (text.endsWith('%')) {
    bool ok = false;
    const double p = text.chopped(1).toDouble(&ok);
    if (!ok || p < 0 || p > 100) return false;
    *fraction = p / 100.0;
    *count = -1;
    return true;
  }
  if (!parseInt(text, count) || *count < 0) return false;
  return true;
}

constexpr int kMaxDelayMs = 60000;

int axisIndex(const QString& name) {
  static const QString names = QStringLiteral("XYZCA");
  return name.size() == 1 ? static_cast<int>(names.indexOf(name.toUpper())) : -1;
}

const char* const kAxisNames[kAxes] = {"X", "Y", "Z", "C", "A"};
const char* const kNormalAxes[] = {"ZA", "ZCA", "XYZCA"};

QString hexKey(std::uint16_t address) { return QString::number(address, 16).toUpper(); }

// The function a step runs, as the hub shows it.
QString functionOf(const RegisterFile::Bank& b, bool empty) {
  const auto at = [&](std::uint16_t a) { return b[RegisterFile::index(a)]; };
  if (at(reg::ArcFlag) == 1) return QStringLiteral("arc");
  if (at(reg::LineFlag) == 1) return QStringLiteral("line");
  const std::uint16_t normal = at(reg::NormalMode);
  if (normal == 3) return QStringLiteral("teach");
  if (empty) return QStringLiteral("not set");
  return normal <= 2 ? QStringLiteral("normal %1").arg(QLatin1String(kNormalAxes[normal])) : QStringLiteral("normal ?");
}

}  // namespace

QString Console::describe(const Event& e) {
  const QString axis = in(e.n, 0, kAxes - 1) ? QString::fromLatin1(kAxisNames[e.n]) : QString::number(e.n);
  switch (e.kind) {
    case Event::Kind::JogIgnored: return QStringLiteral("jog %1 ignored: a project is running").arg(axis);
    case Event::Kind::HomeIgnored: return QStringLiteral("home %1 ignored: a project is running").arg(axis);
    case Event::Kind::Jog: return QStringLiteral("jog %1 by %2 mm").arg(axis).arg(e.mm);
    case Event::Kind::JogAtLimit: return QStringLiteral("jog %1 stopped at a limit").arg(axis);
    case Event::Kind::Home: return QStringLiteral("home %1").arg(axis);
    case Event::Kind::AtZero: return QStringLiteral("%1 at 0").arg(axis);
    case Event::Kind::Homed: return QStringLiteral("%1 homed on L%2").arg(axis).arg(e.value);
    case Event::Kind::HomeGaveUp: return QStringLiteral("home %1 gave up: no signal on L%2").arg(axis).arg(e.value);
    case Event::Kind::NoSteps: return QStringLiteral("start: project %1 has no steps").arg(e.n);
    case Event::Kind::RunStarted: return QStringLiteral("run project %1").arg(e.n);
    case Event::Kind::ProjectDone: return QStringLiteral("project %1 done, count %2").arg(e.n).arg(e.value);
    case Event::Kind::RunDone: return QStringLiteral("run ended: done");
    case Event::Kind::RunStopped: return QStringLiteral("run ended: stopped");
    case Event::Kind::RunStoppedBySwitch: return QStringLiteral("run ended: stop switch L%1").arg(e.n);
    case Event::Kind::OutputTest: return QStringLiteral("output test: Y%1 %2").arg(e.n).arg(e.value ? "ON" : "OFF");
    case Event::Kind::OutputTestRefused: return QStringLiteral("output test refused: Y%1 setting %2").arg(e.n).arg(e.value);
    case Event::Kind::TeachPointStored: return QStringLiteral("teach point stored, step %1").arg(e.n);
    case Event::Kind::TeachSpeedsMatched: return QStringLiteral("teach speeds matched, step %1").arg(e.n);
    case Event::Kind::ParametersKept: return QStringLiteral("parameters kept");
    case Event::Kind::ProjectKept: return QStringLiteral("project %1 kept").arg(e.n);
    case Event::Kind::ProjectReported: return QStringLiteral("project %1 reported").arg(e.n);
    case Event::Kind::ProjectCleared: return QStringLiteral("project %1 cleared").arg(e.n);
    case Event::Kind::StateNotWritten: return QStringLiteral("state file not written: %1").arg(e.text);
  }
  return {};
}

QString Console::stateText() const {
  const ControllerModel& m = model_;
  QStringList lines;
  lines << QStringLiteral("project %1 step %2 (of %3), %4, count %5")
               .arg(m.currentProject())
               .arg(m.currentStep())
               .arg(m.reg(reg::StepCount))
               .arg(m.running() ? QStringLiteral("running step %1").arg(m.reg(reg::RunStatus)) : QStringLiteral("standby"))
               .arg(m.reg(reg::ProductionCount));
  QStringList pos;
  for (int a = 0; a < kAxes; ++a)
    pos << QStringLiteral("%1 %2%3").arg(kAxisNames[a]).arg(m.position(a) / 100.0).arg(m.axisMoving(a) ? "*" : "");
  lines << QStringLiteral("axes mm: ") + pos.join(QStringLiteral("  "));
  QString ins, outs;
  for (int n = 1; n <= kInputs; ++n) ins += m.input(n) ? '1' : '0';
  for (int n = 1; n <= kOutputs; ++n) outs += m.output(n) ? '1' : '0';
  lines << QStringLiteral("inputs L1-L13 %1  outputs Y1-Y12 %2%3")
               .arg(ins, outs, m.inputTest() ? QStringLiteral("  (input test on)") : QString());
  if (const auto busy = m.busyWith()) lines << QStringLiteral("busy: %1").arg(describe(*busy));
  return lines.join('\n');
}

QString Console::projectText(int project) const {
  if (!in(project, 1, kProjects)) return QStringLiteral("no project %1 (1..%2)").arg(project).arg(kProjects);
  const RegisterFile& regs = model_.registers();
  const RegisterFile::Project& p = regs.working(project);
  const RegisterFile::Project& kept = regs.kept(project);
  const bool same = p.regs == kept.regs && p.steps == kept.steps;
  const auto value = [&](std::uint16_t a) { return p.regs[RegisterFile::index(a)]; };
  QStringList lines;
  lines << QStringLiteral("project %1%2: %3 steps, loops %4, speed %5%, next project %6 (%7)")
               .arg(project)
               .arg(project == regs.currentProject() ? QStringLiteral(" (current)") : QString())
               .arg(value(reg::StepCount))
               .arg(value(reg::ProjectLoops))
               .arg(value(reg::SpeedOverride))
               .arg(value(reg::NextProject))
               .arg(same ? QStringLiteral("as kept") : QStringLiteral("changed since kept"));
  for (int s = 1; s <= kSteps; ++s) {
    const RegisterFile::Bank& b = p.steps[static_cast<size_t>(s - 1)];
    if (std::all_of(b.begin(), b.end(), [](std::uint16_t v) { return v == 0; })) continue;
    lines << QStringLiteral("  step %1: %2").arg(s).arg(functionOf(b, false));
  }
  return lines.join('\n');
}

QString Console::stepText(int project, int step) const {
  if (!in(project, 1, kProjects) || !in(step, 1, kSteps))
    return QStringLiteral("no step %1 of project %2 (steps 1..%3, projects 1..%4)").arg(step).arg(project).arg(kSteps).arg(kProjects);
  const RegisterFile& regs = model_.registers();
  const RegisterFile::Bank& b = regs.working(project).steps[static_cast<size_t>(step - 1)];
  const RegisterFile::Bank& kept = regs.kept(project).steps[static_cast<size_t>(step - 1)];
  QStringList values;
  for (int a = reg::kFirst; a <= reg::kLast; ++a) {
    const auto u = static_cast<std::uint16_t>(a);
    if (reg::stepBanked(u) && b[RegisterFile::index(u)] != 0) values << QStringLiteral("%1=%2").arg(hexKey(u)).arg(b[RegisterFile::index(u)]);
  }
  return QStringLiteral("project %1 step %2: %3, start delay %4 ms (%5)\n  %6")
      .arg(project)
      .arg(step)
      .arg(functionOf(b, values.isEmpty()))
      .arg(b[RegisterFile::index(reg::StepStartDelay)])
      .arg(b == kept ? QStringLiteral("as kept") : QStringLiteral("changed since kept"))
      .arg(values.isEmpty() ? QStringLiteral("all registers 0") : values.join(' '));
}

QString Console::help() {
  return QStringLiteral(
      "in N 0|1          set input LN inactive/active\n"
      "state             project, step, run, positions, inputs, outputs, faults\n"
      "project [P]       a project: step count, settings, the function of each step set\n"
      "step [P] S        a step of project P (default the current one): function, values\n"
      "get REG           read a register (hex address, e.g. 1058)\n"
      "set REG VALUE     write a register (value in decimal)\n"
      "coil COIL on|off  write a coil (hex address, e.g. 0832)\n"
      "pos AXIS MM       put an axis (X Y Z C A) at a coordinate\n"
      "drop N | P%       drop the next N replies, or P% of all replies\n"
      "drop every N      drop every N-th reply (2: every second one; 0: off)\n"
      "corrupt N | P%    send the next N replies, or P% of all, with a wrong LRC\n"
      "exception N [C]   refuse the next N requests with exception code C (default 4)\n"
      "delay MS [MAXMS]  answer every request MS later, or a random MS..MAXMS later (0: normal)\n"
      "repeat MS         send every reply a second time MS after the first (0: off)\n"
      "silent on|off     take requests and answer none (switched off), the line stays\n"
      "garbage           put a burst of noise on the line\n"
      "unplug / plug     take the line away / bring it back\n"
      "quit              end the simulator");
}

QString Console::run(const QString& line) {
  const QStringList w = line.simplified().split(' ', Qt::SkipEmptyParts);
  if (w.isEmpty()) return {};
  const QString cmd = w[0].toLower();
  const auto usage = [&](const char* form) { return QStringLiteral("usage: %1").arg(QLatin1String(form)); };

  if (cmd == QLatin1String("help") || cmd == QLatin1String("?")) return help();
  if (cmd == QLatin1String("state")) return stateText() + '\n' + faults_.summary();
  if (cmd == QLatin1String("project")) {
    int p = model_.currentProject();
    if (w.size() > 2 || (w.size() == 2 && !parseInt(w[1], &p))) return usage("project [P]  (P 1..10)");
    return projectText(p);
  }
  if (cmd == QLatin1String("step")) {
    int p = model_.currentProject(), s = 0;
    const bool ok = (w.size() == 2 && parseInt(w[1], &s)) || (w.size() == 3 && parseInt(w[1], &p) && parseInt(w[2], &s));
    if (!ok) return usage("step [P] S  (P 1..10, S 1..50)");
    return stepText(p, s);
  }
  if (cmd == QLatin1String("in")) {
    int n = 0, v = 0;
    if (w.size() != 3 || !parseInt(w[1], &n) || n < 1 || n > kInputs || !parseInt(w[2], &v) || v < 0 || v > 1)
      return usage("in N 0|1  (N 1..13)");
    model_.setInput(n, v == 1);
    return QStringLiteral("L%1 %2").arg(n).arg(v ? "active" : "inactive");
  }
  if (cmd == QLatin1String("get")) {
    int a = 0;
    if (w.size() != 2 || !parseInt(w[1], &a, 16) || !ControllerModel::hasRegister(a)) return usage("get REG  (1001..10FF)");
    return QStringLiteral("%1 = %2").arg(a, 4, 16, QLatin1Char('0')).arg(model_.reg(static_cast<std::uint16_t>(a))).toUpper();
  }
  if (cmd == QLatin1String("set")) {
    int a = 0, v = 0;
    if (w.size() != 3 || !parseInt(w[1], &a, 16) || !parseInt(w[2], &v) || v < 0 || v > 65535)
      return usage("set REG VALUE  (REG 1001..10FF, VALUE 0..65535)");
    const auto r = model_.writeRegister(static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(v));
    return r == ControllerModel::Result::Ok ? QStringLiteral("ok") : QStringLiteral("refused");
  }
  if (cmd == QLatin1String("coil")) {
    int c = 0;
    const QString v = w.size() == 3 ? w[2].toLower() : QString();
    if (w.size() != 3 || !parseInt(w[1], &c, 16) || (v != QLatin1String("on") && v != QLatin1String("off")))
      return usage("coil COIL on|off  (COIL 0801..087B)");
    const auto r = model_.writeCoil(static_cast<std::uint16_t>(c), v == QLatin1String("on"));
    return r == ControllerModel::Result::Ok ? QStringLiteral("ok") : QStringLiteral("refused");
  }
  if (cmd == QLatin1String("pos")) {
    bool ok = false;
    const int axis = w.size() == 3 ? axisIndex(w[1]) : -1;
    const double mm = w.size() == 3 ? w[2].toDouble(&ok) : 0;
    if (axis < 0 || !ok) return usage("pos AXIS MM");
    model_.setPosition(axis, static_cast<std::int32_t>(std::lround(mm * 100)));
    return QStringLiteral("ok");
  }
  if (cmd == QLatin1String("drop") && w.size() >= 2 && w[1].toLower() == QLatin1String("every")) {
    int n = 0;
    if (w.size() != 3 || !parseInt(w[2], &n) || n < 0) return usage("drop every N  (N >= 2; 0 or 1: off)");
    faults_.setDropEvery(n);
    return faults_.summary();
  }
  if (cmd == QLatin1String("drop") || cmd == QLatin1String("corrupt")) {
    int count = 0;
    double fraction = 0;
    if (w.size() != 2 || !parseAmount(w[1], &count, &fraction)) return usage("drop|corrupt N | P%");
    const bool drop = cmd == QLatin1String("drop");
    if (count >= 0) drop ? faults_.dropNext(count) : faults_.corruptNext(count);
    else drop ? faults_.setDropFraction(fraction) : faults_.setCorruptFraction(fraction);
    return faults_.summary();
  }
  if (cmd == QLatin1String("exception")) {
    int n = 0, code = kDeviceFailure;
    if (w.size() < 2 || w.size() > 3 || !parseInt(w[1], &n) || n < 0 || (w.size() == 3 && (!parseInt(w[2], &code) || code < 1 || code > 255)))
      return usage("exception N [CODE]");
    slave_.refuseNext(n, code);
    return QStringLiteral("next %1 requests refused with exception %2").arg(n).arg(code);
  }
  if (cmd == QLatin1String("delay")) {
    int ms = 0, max = 0;
    if (w.size() < 2 || w.size() > 3 || !parseInt(w[1], &ms) || ms < 0 || ms > kMaxDelayMs ||
        (w.size() == 3 && (!parseInt(w[2], &max) || max < ms || max > kMaxDelayMs)))
      return usage("delay MS [MAXMS]  (0 <= MS <= MAXMS <= 60000)");
    faults_.setDelay(ms, w.size() == 3 ? max : ms);
    if (faults_.delayMax() > faults_.delayMin())
      return QStringLiteral("replies %1 to %2 ms later").arg(faults_.delayMin()).arg(faults_.delayMax());
    return QStringLiteral("replies %1 ms later").arg(ms);
  }
  if (cmd == QLatin1String("repeat")) {
    int ms = 0;
    if (w.size() != 2 || !parseInt(w[1], &ms) || ms < 0 || ms > kMaxDelayMs) return usage("repeat MS  (0: off)");
    faults_.setRepeatMs(ms);
    return ms ? QStringLiteral("every reply sent again %1 ms after the first").arg(ms) : QStringLiteral("replies sent once");
  }
  if (cmd == QLatin1String("silent")) {
    const QString v = w.size() == 2 ? w[1].toLower() : QString();
    if (v != QLatin1String("on") && v != QLatin1String("off")) return usage("silent on|off");
    faults_.setSilent(v == QLatin1String("on"));
    return faults_.silent() ? QStringLiteral("silent: requests taken, none answered") : QStringLiteral("answering again");
  }
  const std::pair<const char*, const std::function<void()>*> simple[] = {
      {"garbage", &hooks_.garbage}, {"unplug", &hooks_.unplug}, {"plug", &hooks_.plug}, {"quit", &hooks_.quit}};
  for (const auto& [name, hook] : simple) {
    if (cmd == QLatin1String(name)) {
      if (w.size() != 1) return usage(name);
      if (*hook) (*hook)();
      return QStringLiteral("ok");
    }
  }
  return QStringLiteral("unknown command \"%1\" (help lists them)").arg(w[0]);
}

}  // namespace lorvane::sim
