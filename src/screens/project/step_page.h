#pragma once
// What the step pages share beyond the engine: the help group standing beside the settings, and
// the example drawing the arc and line pages show in it.
#include <QString>

#include "ui/form.h"

namespace lorvane::screens {

// The group `frame`, placed on window line `firstLine` beside the settings, stands over the window
// lines firstLine .. firstLine + lines - 1 (each of which has something in its own column, a
// stretch at least), so the long help does not push the buttons off the display.
void helpBeside(ui::Form& form, const QString& frame, int firstLine, int lines);

// Puts the drawing `svg` (a resource path) beside the list of the group `frame`, as `Picture1`.
// Drawn from the vector file at whatever size the display gives it.
void addExample(ui::Form& form, const QString& frame, const QString& svg);

}  // namespace lorvane::screens
