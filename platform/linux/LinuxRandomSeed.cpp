#include "platform/RandomSeed.h"

#include <cerrno>
#include <sys/random.h>

// Straight from the kernel: std::random_device would take it through
// arc4random, which only glibc 2.36 and newer have, and the programs run on
// older systems. GRND_NONBLOCK: early in a boot, before the kernel's pool is
// ready, the clock seeds the fallback instead of the launcher waiting.
std::optional<uint32_t> ReadRandomSeed()
{
	uint32_t Seed = 0;
	ssize_t Count = -1;
	do
	{
		Count = ::getrandom(&Seed, sizeof(Seed), GRND_NONBLOCK);
	} while (Count < 0 && errno == EINTR);
	if (Count != static_cast<ssize_t>(sizeof(Seed)))
	{
		return std::nullopt;
	}
	return Seed;
}
