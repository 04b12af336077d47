#pragma once

#include <chrono>
#include <cstdint>

// The one clock that times the run: monotonic, in nanoseconds, so that the
// start-up time and the events' ages never go backwards with the wall clock.
inline int64_t ReadSteadyClockNanoseconds()
{
	return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
		.count();
}
