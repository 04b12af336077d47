#include "platform/LogFile.h"

#include "platform/FileNames.h"
#include "platform/linux/LinuxHandles.h"

#include <cerrno>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

intptr_t OpenLogFile(const std::wstring& Path, bool bEmpty)
{
	std::filesystem::path FsPath;
	if (!TryToFileSystemPath(Path, FsPath))
	{
		return -1;
	}
	// Close-on-exec: the processes the launcher starts never hold its log.
	// Non-blocking: opening a FIFO nobody reads fails at once instead of
	// waiting for a reader; it has no effect on a regular file.
	FScopedFileDescriptor File(::open(FsPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666));
	struct stat Status{};
	if (!File || ::fstat(File.Get(), &Status) != 0 || !S_ISREG(Status.st_mode) ||
		(bEmpty && ::ftruncate(File.Get(), 0) != 0))
	{
		return -1;
	}
	return File.Detach();
}

bool AppendToLogFile(intptr_t File, const std::string& Bytes)
{
	// One write: O_APPEND places it at the end as a whole, after any other
	// writer's. A short write is a failure like any other.
	ssize_t Written = -1;
	do
	{
		Written = ::write(static_cast<int>(File), Bytes.data(), Bytes.size());
	} while (Written < 0 && errno == EINTR);
	return Written == static_cast<ssize_t>(Bytes.size());
}

void CloseLogFile(intptr_t File)
{
	::close(static_cast<int>(File));
}
