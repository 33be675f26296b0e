#include "projects/operations.h"

#include <QCoreApplication>

#include "frames/registers.h"

namespace lorvane::projects {

namespace {

QString tr(const char* text) { return QCoreApplication::translate("lorvane-projects", text); }

QList<Register> registersOf(std::span<const reg::Banked> table, bool zaOnly = false) {
  QList<Register> out;
  for (const reg::Banked& r : table)
    if (!zaOnly || r.zaShared) out << Register{r.address, r.count};
  return out;
}

// The Z/A settings of a step are kept for Z and for A; 0x1055 says which of the two its addresses
// reach (1: A). The values seen are that axis's, the other's are reached by switching 0x1055.
bool showsA(const Values& step) { return step.value("z.replacedByA") == 1; }
std::int64_t otherAxisFlag(const Values& step) { return showsA(step) ? 0 : 1; }

// Every register of the selected step: the table's, then the other axis's copy of the Z/A
// settings (0x1055 switched over and back).
Values readStep(Transfer& t) {
  Values v;
  const QList<std::int64_t> values = t.read(registersOf(reg::stepRegisters()));
  qsizetype i = 0;
  for (const reg::Banked& r : reg::stepRegisters()) v[QString::fromLatin1(r.name)] = values[i++];
  const std::int64_t flag = v.value("z.replacedByA");
  t.write(reg::ZReplacedByA, otherAxisFlag(v));
  const QList<std::int64_t> other = t.read(registersOf(reg::stepRegisters(), true));
  t.write(reg::ZReplacedByA, flag);
  i = 0;
  for (const reg::Banked& r : reg::stepRegisters()) {
    if (!r.zaShared) continue;
    const QString name = QString::fromLatin1(r.name);
    // The values first read are the selected axis's; the ones read switched over, the other's.
    if (showsA(v)) {
      v[aName(r)] = v[name];
      v[name] = other[i++];
    } else {
      v[aName(r)] = other[i++];
    }
  }
  return v;
}

Values readProjectRegisters(Transfer& t) {
  Values v;
  const QList<std::int64_t> values = t.read(registersOf(reg::projectRegisters()));
  qsizetype i = 0;
  for (const reg::Banked& r : reg::projectRegisters()) v[QString::fromLatin1(r.name)] = values[i++];
  return v;
}

// The writes that give the selected step these values: the other axis's Z/A settings with 0x1055
// switched over, then 0x1055 back to the step's own value and every register of the table.
QList<RegisterWrite> stepWrites(const Values& v) {
  QList<RegisterWrite> w;
  w << RegisterWrite{reg::ZReplacedByA, 1, otherAxisFlag(v)};
  for (const reg::Banked& r : reg::stepRegisters())
    if (r.zaShared) w << RegisterWrite{r.address, r.count, v.value(showsA(v) ? QString::fromLatin1(r.name) : aName(r))};
  w << RegisterWrite{reg::ZReplacedByA, 1, v.value("z.replacedByA")};
  for (const reg::Banked& r : reg::stepRegisters()) {
    const QString name = QString::fromLatin1(r.name);
    w << RegisterWrite{r.address, r.count, v.value(r.zaShared && showsA(v) ? aName(r) : name)};
  }
  return w;
}

struct Selection {
  std::int64_t project = 0;
  std::int64_t step = 0;
};

Selection currentSelection(Transfer& t) {
  const QList<std::int64_t> v = t.read({{reg::CurrentProject, 1}, {reg::CurrentStep, 1}});
  return {v[0], v[1]};
}

// Back to the project and step the controller had selected. After an interruption this is still
// done; a second interruption or a silent line leaves it.
void reselect(Transfer& t, const Selection& s) {
  QList<RegisterWrite> w;
  if (s.project >= 1 && s.project <= kProjects) w << RegisterWrite{reg::CurrentProject, 1, s.project};
  if (s.step >= 1 && s.step <= kMaxSteps) w << RegisterWrite{reg::CurrentStep, 1, s.step};
  t.clearInterrupt();
  t.write(w);
}

void report(const ProgressFn& progress, const QString& what, int project, int step, double fraction) {
  if (progress) progress(Progress{what, project, step, fraction});
}

}  // namespace

namespace {

// The project `p` selected and read whole: its registers, then each of its steps. `done` and
// `total` count the project and its steps for the progress of the whole run; the count read now
// replaces the one expected (`expected` steps) in the total.
ProjectData readSelected(Transfer& t, int p, int expected, int& done, int& total, const ProgressFn& progress) {
  ProjectData project;
  project.number = p;
  t.write(reg::CurrentProject, p);
  project.registers = readProjectRegisters(t);
  // The count read now is the one kept with the steps.
  const int count = static_cast<int>(std::min<std::int64_t>(project.stepCount(), kMaxSteps));
  project.registers["project.stepCount"] = count;
  report(progress, QStringLiteral("backup"), p, 0, double(++done) / total);
  total += count - expected;
  for (int s = 1; s <= count; ++s) {
    t.write(reg::CurrentStep, s);
    project.steps << readStep(t);
    report(progress, QStringLiteral("backup"), p, s, double(++done) / total);
  }
  return project;
}

// Runs `read` and then selects again what was selected before, also when it ends early (unless
// the controller is silent or the port gone: then nothing more can be sent).
template <typename Fn>
auto keepingSelection(Transfer& t, Fn read) {
  const Selection before = currentSelection(t);
  try {
    auto result = read();
    reselect(t, before);
    return result;
  } catch (const TransferError& e) {
    if (e.kind != TransferError::Kind::Silent && e.kind != TransferError::Kind::PortLost) {
      try {
        reselect(t, before);
      } catch (const TransferError&) {
      }
    }
    throw;
  }
}

}  // namespace

Backup backupProjects(Transfer& t, const ProgressFn& progress) {
  return keepingSelection(t, [&] {
    Backup b;
    b.date = QDateTime::currentDateTimeUtc();
    // The step counts first, so that the progress knows the whole way.
    QList<int> counts;
    for (int p = 1; p <= kProjects; ++p) {
      t.write(reg::CurrentProject, p);
      counts << static_cast<int>(std::min<std::int64_t>(t.read(reg::StepCount), kMaxSteps));
    }
    int total = kProjects;
    for (int c : counts) total += c;
    int done = 0;
    for (int p = 1; p <= kProjects; ++p) b.projects << readSelected(t, p, counts[p - 1], done, total, progress);
    return b;
  });
}

ProjectData readProject(Transfer& t, int project, const ProgressFn& progress) {
  return keepingSelection(t, [&] {
    t.write(reg::CurrentProject, project);
    const int expected = static_cast<int>(std::min<std::int64_t>(t.read(reg::StepCount), kMaxSteps));
    int done = 0;
    int total = 1 + expected;
    return readSelected(t, project, expected, done, total, progress);
  });
}

RestoreReport restoreProjects(Transfer& t, const Backup& backup, const QList<int>& projects,
                              const std::function<bool(const ProjectData&)>& confirm, const ProgressFn& progress) {
  RestoreReport rep;
  Selection before;
  bool selected = false;
  try {
    // Nothing is written while the controller runs a project: its steps would change under it.
    if (const std::int64_t running = t.read(reg::RunStatus); running != 0) {
      rep.refusedRunning = true;
      rep.error = tr("the controller is running project step %1: stop it first; nothing was written").arg(running);
      return rep;
    }
    before = currentSelection(t);
    selected = true;
    QList<const ProjectData*> chosen;
    for (int n : projects) {
      const ProjectData* p = backup.project(n);
      if (!p) continue;
      if (confirm && !confirm(*p)) {
        rep.skipped << n;
        continue;
      }
      chosen << p;
    }
    int total = 0;
    for (const ProjectData* p : chosen) total += 2 * (static_cast<int>(p->steps.size()) + 1);
    int done = 0;
    for (const ProjectData* p : chosen) {
      rep.unfinished = p->number;
      t.write(reg::CurrentProject, p->number);
      QList<RegisterWrite> projectWrites;
      for (const reg::Banked& r : reg::projectRegisters())
        projectWrites << RegisterWrite{r.address, r.count, p->registers.value(QString::fromLatin1(r.name))};
      t.write(projectWrites);
      report(progress, QStringLiteral("restore"), p->number, 0, double(++done) / total);
      for (qsizetype s = 0; s < p->steps.size(); ++s) {
        t.write(QList<RegisterWrite>{{reg::CurrentStep, 1, s + 1}} + stepWrites(p->steps[s]));
        report(progress, QStringLiteral("restore"), p->number, int(s + 1), double(++done) / total);
      }
      // Kept as the project screen keeps it: the command until acknowledged, then the time the
      // controller takes to write it away.
      t.command(coil::SaveProject, kKeepMs);
      // Read back what the controller now holds.
      const Values regs = readProjectRegisters(t);
      QList<Mismatch> found;
      for (const reg::Banked& r : reg::projectRegisters()) {
        const QString name = QString::fromLatin1(r.name);
        if (regs.value(name) != p->registers.value(name))
          found << Mismatch{p->number, 0, name, r.address, p->registers.value(name), regs.value(name)};
      }
      report(progress, QStringLiteral("check"), p->number, 0, double(++done) / total);
      for (qsizetype s = 0; s < p->steps.size(); ++s) {
        t.write(reg::CurrentStep, s + 1);
        const Values got = readStep(t);
        for (const auto& [name, r] : stepNames())
          if (got.value(name) != p->steps[s].value(name))
            found << Mismatch{p->number, int(s + 1), name, r->address, p->steps[s].value(name), got.value(name)};
        report(progress, QStringLiteral("check"), p->number, int(s + 1), double(++done) / total);
      }
      rep.mismatches << found;
      (found.isEmpty() ? rep.restored : rep.differing) << p->number;
      rep.unfinished = 0;
    }
  } catch (const TransferError& e) {
    rep.error = e.message;
    if (selected && e.kind != TransferError::Kind::Silent && e.kind != TransferError::Kind::PortLost) {
      try {
        reselect(t, before);
      } catch (const TransferError& again) {
        rep.error += tr("; the project and step selected before were not set back (%1)").arg(again.message);
      }
    }
    return rep;
  }
  try {
    reselect(t, before);
  } catch (const TransferError& e) {
    rep.error = tr("the project and step selected before were not set back (%1)").arg(e.message);
  }
  return rep;
}

}  // namespace lorvane::projects
