#pragma once
// Backing up and restoring the controller's projects over a Transfer, the way the screens reach
// them: 0x1025 selects the project, 0x1027 the step, and the banked registers then answer for
// that step; coil 0x0807 keeps the project. Both leave the controller on the project and step
// that were selected before, also when they end early.
#include <QList>
#include <QString>
#include <functional>

#include "projects/backup_file.h"
#include "projects/transfer.h"

namespace lorvane::projects {

struct Progress {
  QString what;      // "backup", "restore", "check"
  int project = 0;
  int step = 0;      // 0: the project's own registers
  double fraction = 0;  // of the whole run, 0..1
};
using ProgressFn = std::function<void(const Progress&)>;

// Reads projects 1..10 whole.
Backup backupProjects(Transfer& t, const ProgressFn& progress = {});
// Reads one project whole: its registers and every step.
ProjectData readProject(Transfer& t, int project, const ProgressFn& progress = {});

struct Mismatch {
  int project = 0;
  int step = 0;  // 0: a project register
  QString name;
  std::uint16_t address = 0;
  std::int64_t expected = 0;
  std::int64_t read = 0;
};

struct RestoreReport {
  QList<int> restored;         // written, kept and read back identical
  QList<int> differing;        // written and kept, but the read-back differs (see mismatches)
  QList<int> skipped;          // not confirmed by the operator
  int unfinished = 0;          // the project under way when it ended early (0: none)
  QList<Mismatch> mismatches;
  QString error;               // why it ended early (empty: it did not)
  bool refusedRunning = false; // nothing was done: the controller runs a project
};

// How long the controller takes to keep a project (coil 0x0807) before anything else is sent.
inline constexpr int kKeepMs = 2500;

// Writes each project of `projects` (numbers from the backup) back, keeps it and reads it back.
// `confirm` asks for each project before anything is written (null: no questions).
RestoreReport restoreProjects(Transfer& t, const Backup& backup, const QList<int>& projects,
                              const std::function<bool(const ProjectData&)>& confirm, const ProgressFn& progress = {});

}  // namespace lorvane::projects
