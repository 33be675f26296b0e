#pragma once
// Every register the controller keeps per step and per project, as the step pages and the project
// parameter screen show them: a stable name for backup files, the address, one register or a
// signed 32-bit pair (low word first), the scale (the register holds the shown value times it)
// and the unit the screens print beside the field, and the values the screens let the operator
// download into it. Backups, restores and the screens read the same registers the same way; a
// test holds the screens' declarations against this table.
#include <QString>
#include <cstdint>
#include <span>

#include "frames/declarations.h"

namespace lorvane::reg {

struct Banked {
  const char* name;       // "line.endX": stable, used as the key in backup files
  std::uint16_t address;
  int count;              // 1: unsigned 16-bit, 2: signed 32-bit pair
  int scale;              // 100: the screens show hundredths as millimetres
  const char* unit;       // "mm", "RPM", "ms", "%", or "" for codes, numbers and counts
  // The raw values the screens accept (what the register can hold where they set no bound), and
  // how their message names the range when it is not "min-max" (start inputs "1-13": 0 is no
  // condition and accepted, but operators know the range by the input numbers).
  std::int64_t min = 0;
  std::int64_t max = 65535;
  const char* rangeText = nullptr;
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

// Whether an address is one of the Z/A settings (a pair's second word included).
bool zaSharedAt(std::uint16_t address);

// The range a screen checks a download of the register against, with the message it shows.
// Only for the table's registers.
Range rangeOf(std::uint16_t address);
// Whether a raw value is one the screens would download into the register.
bool inRange(const Banked& r, std::int64_t raw);
// The range as the screens' message names it: "1-13", "50-1000".
QString rangeText(const Banked& r);

// The value a raw register value stands for in the screens' units (hundredths -> mm).
double shownValue(const Banked& r, std::int64_t raw);
// The raw register value of a value in the screens' units, or nothing when it cannot be one
// (not a whole number of the register's steps, or out of its range).
bool rawValue(const Banked& r, double shown, std::int64_t* raw);

}  // namespace lorvane::reg
