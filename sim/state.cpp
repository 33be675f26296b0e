#include "sim/state.h"

#include <QFile>
#include <QSaveFile>

namespace lorvane::sim {

namespace {

constexpr int idx(std::uint16_t address) { return RegisterFile::index(address); }

// Registers that report the machine's live state; they are neither kept nor restored.
bool isVolatile(std::uint16_t a) {
  return a == 0x1024 || a == reg::CurrentStep || in(a, 0x1058, 0x106B) || in(a, 0x10A0, 0x10A1) ||
         a == reg::HasParameters || a == reg::ParameterCheck || in(a, 0x10C8, 0x10D4);
}

bool isParameter(std::uint16_t a) { return !reg::banked(a) && !isVolatile(a); }

}  // namespace

state::File keptState(const RegisterFile& regs) {
  state::File f;
  for (int a = reg::kFirst; a <= reg::kLast; ++a)
    if (const auto u = static_cast<std::uint16_t>(a); isParameter(u)) f.parameters.insert(u, regs.keptSingles()[idx(u)]);
  for (int n = 1; n <= kProjects; ++n) {
    const RegisterFile::Project& kept = regs.kept(n);
    state::Project& p = f.projects[n];
    for (std::uint16_t a : {reg::StepCount, reg::ProjectLoops, reg::SpeedOverride, reg::NextProject})
      p.registers.insert(a, kept.regs[idx(a)]);
    for (int s = 1; s <= kSteps; ++s) {
      const auto si = static_cast<size_t>(s - 1);
      for (int a = reg::kFirst; a <= reg::kLast; ++a) {
        const auto u = static_cast<std::uint16_t>(a);
        if (const std::uint16_t v = kept.steps[si][idx(u)]; reg::stepBanked(u) && v != 0) p.steps[s].insert(u, v);
      }
      for (size_t i = 0; i < RegisterFile::kZaRegisters.size(); ++i)
        if (const std::uint16_t v = kept.a[si][i]; v != 0) p.aSteps[s].insert(RegisterFile::kZaRegisters[i], v);
    }
  }
  return f;
}

void restoreKept(RegisterFile& regs, const state::File& file) {
  for (auto it = file.parameters.begin(); it != file.parameters.end(); ++it)
    if (isParameter(it.key())) regs.single(it.key()) = it.value();
  const int project = regs.single(reg::CurrentProject);
  regs.selectProject(in(project, 1, kProjects) ? project : 1);
  for (auto it = file.projects.begin(); it != file.projects.end(); ++it) {
    RegisterFile::Project& target = regs.working(it.key());
    const state::Project& p = it.value();
    for (auto r = p.registers.begin(); r != p.registers.end(); ++r) target.regs[idx(r.key())] = r.value();
    for (auto s = p.steps.begin(); s != p.steps.end(); ++s)
      for (auto v = s->begin(); v != s->end(); ++v) target.steps[static_cast<size_t>(s.key() - 1)][idx(v.key())] = v.value();
    for (auto s = p.aSteps.begin(); s != p.aSteps.end(); ++s)
      for (size_t i = 0; i < RegisterFile::kZaRegisters.size(); ++i)
        target.a[static_cast<size_t>(s.key() - 1)][i] = s->value(RegisterFile::kZaRegisters[i]);
  }
  regs.keepAll();
}

bool writeStateFile(const state::File& file, const QString& path, QString* error) {
  const QByteArray data = state::toJson(file);
  QSaveFile out(path);
  // Written whole or not at all: what is still buffered is checked before the commit.
  if (out.open(QIODevice::WriteOnly) && out.write(data) == data.size() && out.flush() && out.commit()) return true;
  if (error) *error = out.errorString();
  return false;
}

std::optional<state::File> readStateFile(const QString& path, QString* error) {
  QFile in(path);
  if (!in.open(QIODevice::ReadOnly)) {
    if (error) *error = in.errorString();
    return std::nullopt;
  }
  QString why;
  auto f = state::fromJson(in.readAll(), &why);
  if (!f && error) *error = why;
  return f;
}

}  // namespace lorvane::sim
