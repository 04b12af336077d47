#pragma once

#include "platform/linux/LinuxHandles.h"

#include <cstdlib>
#include <fcntl.h>
#include <string>

// A new pseudo-terminal: its master end, empty when the system gives none, and
// in OutPath the name its other end is opened by.
inline FScopedFileDescriptor OpenPseudoTerminal(std::string& OutPath)
{
	FScopedFileDescriptor Master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
	if (Master && (::grantpt(Master.Get()) != 0 || ::unlockpt(Master.Get()) != 0))
	{
		Master.Reset();
	}
	OutPath = Master ? ::ptsname(Master.Get()) : "";
	return Master;
}
