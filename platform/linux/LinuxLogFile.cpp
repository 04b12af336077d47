#include "platform/LogFile.h"

#include "platform/FileNames.h"

#include <cerrno>
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

intptr_t OpenLogFileForAppending(const std::wstring& Path)
{
	std::filesystem::path FsPath;
	if (!TryToFileSystemPath(Path, FsPath))
	{
		return -1;
	}
	// Close-on-exec: the processes the launcher starts never hold its log.
	return ::open(FsPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
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
