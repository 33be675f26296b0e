#pragma once
// The backup file of a controller's projects: one JSON document with the format's name and
// version, the date, and per project its registers and per step every step register by name, in
// the screens' units (millimetres, RPM, ms) with the raw register value beside it. Also the
// conversion from and to the simulator's state file, so that projects prepared on the demo can be
// restored onto a rig and the other way round. Qt Core only.
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "frames/step_registers.h"

namespace lorvane::projects {

inline constexpr int kProjects = 10;
inline constexpr int kMaxSteps = 50;
inline constexpr char kFormat[] = "lorvane-projects";
inline constexpr int kVersion = 1;

// Raw register values by the table's names. The Z/A settings are kept twice: "z.speed" holds Z's
// value and "a.speed" A's, whichever of the two 0x1055 of the step selects.
using Values = QMap<QString, std::int64_t>;

struct ProjectData {
  int number = 0;       // 1..10
  Values registers;     // project.stepCount, project.loops, ...
  QList<Values> steps;  // steps 1..n
  int stepCount() const { return static_cast<int>(registers.value(QStringLiteral("project.stepCount"))); }
  bool operator==(const ProjectData&) const = default;
};

struct Backup {
  QDateTime date;
  QList<ProjectData> projects;  // in project order
  const ProjectData* project(int number) const;
};

// The name of A's copy of a Z/A setting ("z.speed" -> "a.speed").
QString aName(const reg::Banked& r);
// Every name a step may hold, with its register: the table's, then A's copies.
QList<std::pair<QString, const reg::Banked*>> stepNames();

// What a step runs, as the step function hub shows it: "arc", "line", "teach", "normal XYZCA",
// or "not set" for a step with every register 0.
QString stepFunction(const Values& step);

QByteArray toJson(const Backup& backup);
// The backup in a file, or why not (not JSON, another format or version, a name or value that is
// not one of the controller's).
std::optional<Backup> fromJson(const QByteArray& json, QString* error);

// Writes the data into a new file beside path and puts it in place of path only once it is whole:
// a write that fails part way (a full disk) leaves an earlier file at path as it was, and the
// error says so.
bool writeFileWhole(const QString& path, const QByteArray& data, QString* error);
// Writes the file whole or not at all.
bool save(const Backup& backup, const QString& path, QString* error);
std::optional<Backup> load(const QString& path, QString* error);

// A readable summary: each project's settings and steps with their function and main values.
QString summary(const Backup& backup);

// The simulator's state file ("lorvane-sim state 1"): what it keeps of each project becomes a
// backup, and a backup becomes the kept projects of a state file (its other contents, such as
// the axis parameters, stay as they were when `existing` is given).
std::optional<Backup> fromSimState(const QByteArray& json, QString* error);
QByteArray toSimState(const Backup& backup, const QByteArray& existing = {});

// The values of the given projects (all when empty) that the screens would not download, one
// line each naming the project, the step, the register and its range; empty when there are none.
// A restore refuses such a backup before it writes anything.
QStringList outOfRange(const Backup& backup, const QList<int>& projects = {});

}  // namespace lorvane::projects
