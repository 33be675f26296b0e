#pragma once
// The file in which the simulated controller keeps its parameters and projects between runs, and
// which lorvane-projects turns into a backup and back: one JSON document that holds the raw
// register words by hex address, only what the controller keeps.
//
//   {"format": "lorvane-sim state 1",
//    "parameters": {"1001": 50, ...},                       the single registers
//    "projects": [{"project": 1,
//                  "registers": {"1026": 4, ...},           the project-wide registers
//                  "steps": {"1": {"10FF": 2, ...}, ...},   each step's registers
//                  "a-steps": {"1": {"1041": 300, ...}}}]}  A's copies of the Z/A settings
//
// A step or a register the file does not list holds 0; a project it does not list is as the
// controller starts it. Qt Core only.
#include <QByteArray>
#include <QMap>
#include <QString>
#include <cstdint>
#include <optional>

namespace lorvane::state {

inline constexpr char kFormat[] = "lorvane-sim state 1";
inline constexpr int kProjects = 10;
inline constexpr int kSteps = 50;

using Words = QMap<std::uint16_t, std::uint16_t>;  // register address -> value

struct Project {
  Words registers;          // project-wide registers (reg::projectBanked)
  QMap<int, Words> steps;   // step 1..50 -> its registers (reg::stepBanked)
  QMap<int, Words> aSteps;  // step 1..50 -> A's copies of the Z/A settings (reg::zaSharedAt)
  bool operator==(const Project&) const = default;
};

struct File {
  Words parameters;              // the single registers: axis and system parameters
  QMap<int, Project> projects;   // by number 1..10
  bool operator==(const File&) const = default;
};

QByteArray toJson(const File& file);
// The file's contents, or why not: not JSON, another format, an address that is not a register
// of its kind, a project or step number out of range, or a value that is not a register word.
// Format errors start with "not a lorvane-sim state file".
std::optional<File> fromJson(const QByteArray& json, QString* error);

}  // namespace lorvane::state
