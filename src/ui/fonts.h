#pragma once
// The font every window of the program uses: one that has the Chinese characters of the screens.

namespace lorvane::ui {

// Makes the first installed CJK font the application font (nothing changes if none is there).
void useChineseFont();

}  // namespace lorvane::ui
