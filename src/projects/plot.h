#pragma once
// A project of a backup file as the step interpreter reads it, its drawing, and the command
// `lorvane-projects plot FILE --project N -o OUT.svg|png`, which draws without a display.
#include "path/path_drawing.h"
#include "projects/backup_file.h"
#include "sim/runner.h"

namespace lorvane::projects {

// The backup's values by register, the Z/A settings as each step's 0x1055 selects. A backup holds
// no axis parameters: taught points are taken at the controller's defaults (1600 pulses and
// 5 mm a turn).
runner::Store storeOf(const Backup& backup);

// The planned path of project N of the backup, from where the axes start, with its title.
path::Drawing drawingOf(const Backup& backup, int project, const runner::Point& start = {});

// The plot command: its own arguments after "plot". Exit status 0 done, 1 failed, 2 bad usage.
int plotCommand(int argc, char** argv);

}  // namespace lorvane::projects
