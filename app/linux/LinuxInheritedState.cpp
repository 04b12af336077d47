#include "app/linux/LinuxInheritedState.h"

#include "platform/linux/LinuxHandles.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

void ResetInheritedState()
{
	// A closed standard stream would be the number the next file gets: the log
	// would then receive the console's copy of each line. /dev/null takes every
	// free place up to standard error and stays there for good; the first open
	// past it is closed again.
	FScopedFileDescriptor Null(::open("/dev/null", O_RDWR));
	while (Null && Null.Get() <= STDERR_FILENO)
	{
		Null.Detach();
		Null.Reset(::open("/dev/null", O_RDWR));
	}

	// A write to a pipe whose reader has gone, or past the file-size limit,
	// then fails like any other write, which the console and the log already
	// survive, instead of killing us before or while the game runs. The
	// children get the default actions back when they are started.
	::signal(SIGPIPE, SIG_IGN);
	::signal(SIGXFSZ, SIG_IGN);
	// Ignored, it would have the kernel reap our children itself, and no wait
	// could see how the User Helper or the game ended.
	::signal(SIGCHLD, SIG_DFL);
}
