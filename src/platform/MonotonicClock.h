#pragma once

#include <functional>

// Seconds on a clock that never steps (the system's steady clock): for spans between events,
// which a change of the wall clock (a time zone, a correction, the user) must not stretch or
// shrink. The origin is arbitrary. Tests may install a clock of their own.
double MonotonicSeconds();

// Installs the clock behind MonotonicSeconds; an empty function restores the steady clock.
// Returns the previous clock (empty for the steady clock).
using TMonotonicClock = std::function<double()>;
TMonotonicClock SetMonotonicClock(TMonotonicClock Clock);
