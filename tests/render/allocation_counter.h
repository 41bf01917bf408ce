// Counts the program's calls of operator new between Start and Stop (the
// test binary replaces the global operator new).
#pragma once

namespace allocation_counter {
void Start();
// Allocations since Start.
int Stop();
}  // namespace allocation_counter
