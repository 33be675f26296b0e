#pragma once

namespace lorvane {
// Returns after at least ms milliseconds; window events, ticks and replies keep being handled
// meanwhile. The wait sleeps in a nested event loop, it never spins a core.
void waitMs(int ms);
}  // namespace lorvane
