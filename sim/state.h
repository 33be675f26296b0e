#pragma once
// What lorvane-sim keeps between runs: the kept parameters and projects of the register file,
// written to and read from the state file (frames/state_file.h).
#include <QString>
#include <optional>

#include "frames/state_file.h"
#include "sim/register_file.h"

namespace lorvane::sim {

// The kept values as a state file: every parameter, and per project its registers and the step
// values that are not 0.
state::File keptState(const RegisterFile& regs);
// A state file's values become the working and the kept ones, over a register file as the
// controller starts (RegisterFile::reset()). The machine's live status is not taken from it.
void restoreKept(RegisterFile& regs, const state::File& file);

bool writeStateFile(const state::File& file, const QString& path, QString* error);
std::optional<state::File> readStateFile(const QString& path, QString* error);

}  // namespace lorvane::sim
