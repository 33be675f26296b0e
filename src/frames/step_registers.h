#pragma once
// Every register the controller keeps per step and per project, as the step pages and the project
// parameter screen show them: a stable name for backup files, the address, one register or a
// signed 32-bit pair (low word first), the scale (the register holds the shown value times it)
// and the unit the screens print beside the field. Backups, restores and the screens read the
// same registers the same way; a test holds the screens' declarations against this table.
#include <QString>
#include <cstdint>
#include <span>

namespace lorvane::reg {

struct Banked {
  const char* name;       // "line.endX": stable, used as the key in backup files
  std::uint16_t address;
  int count;              // 1: unsigned 16-bit, 2: signed 32-bit pair
  int scale;              // 100: the screens show hundredths as millimetres
  const char* unit;       // "mm", "RPM", "ms", "%", or "" for codes, numbers and counts
  // One of the Z/A page's settings: the controller keeps them twice per step, for Z and for A,
  // and 0x1055 of the step says which of the two these addresses reach.
  bool zaShared = false;
};

// The registers of a step, in address order (0x1055 and the Z/A settings among them).
std::span<const Banked> stepRegisters();
// The registers of a project (the step count first).
std::span<const Banked> projectRegisters();
// The entry for an address, or null.
const Banked* bankedAt(std::uint16_t address);
const Banked* bankedNamed(const QString& name);

// The value a raw register value stands for in the screens' units (hundredths -> mm).
double shownValue(const Banked& r, std::int64_t raw);
// The raw register value of a value in the screens' units, or nothing when it cannot be one
// (not a whole number of the register's steps, or out of its range).
bool rawValue(const Banked& r, double shown, std::int64_t* raw);

}  // namespace lorvane::reg
