#include "platform/RandomSeed.h"

#include <random>
#include <stdexcept>

// The runtime's non-deterministic source (the system's rand_s underneath);
// it reports a missing source as a runtime_error. Out of memory is no
// missing source and goes on to the caller.
std::optional<uint32_t> ReadRandomSeed()
{
	try
	{
		std::random_device Device;
		return static_cast<uint32_t>(Device());
	}
	catch (const std::runtime_error&)
	{
		return std::nullopt;
	}
}
