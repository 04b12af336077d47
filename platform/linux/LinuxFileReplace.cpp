#include "platform/linux/LinuxFileReplace.h"

#include "platform/linux/LinuxHandles.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
	int ReadAll(int File, std::vector<uint8_t>& OutBytes)
	{
		struct stat Status;
		if (::fstat(File, &Status) != 0)
		{
			return errno;
		}
		if (!S_ISREG(Status.st_mode))
		{
			return EINVAL;
		}
		std::vector<uint8_t> Bytes(static_cast<size_t>(Status.st_size));
		size_t Done = 0;
		while (Done < Bytes.size())
		{
			const ssize_t Count = ::pread(File, Bytes.data() + Done, Bytes.size() - Done, static_cast<off_t>(Done));
			if (Count < 0 && errno == EINTR)
			{
				continue;
			}
			if (Count < 0)
			{
				return errno;
			}
			if (Count == 0)
			{
				return EIO; // shrank while we read it
			}
			Done += static_cast<size_t>(Count);
		}
		OutBytes = std::move(Bytes);
		return 0;
	}

	int WriteAll(int File, const std::vector<uint8_t>& Bytes)
	{
		size_t Done = 0;
		while (Done < Bytes.size())
		{
			const ssize_t Count = ::write(File, Bytes.data() + Done, Bytes.size() - Done);
			if (Count < 0 && errno == EINTR)
			{
				continue;
			}
			if (Count < 0)
			{
				return errno;
			}
			Done += static_cast<size_t>(Count);
		}
		return 0;
	}
}

int ReadWholeFile(const std::filesystem::path& Path, std::vector<uint8_t>& OutBytes)
{
	const FScopedFileDescriptor File(::open(Path.c_str(), O_RDONLY | O_CLOEXEC));
	if (!File.IsValid())
	{
		return errno;
	}
	return ReadAll(File.Get(), OutBytes);
}

int ReplaceFileContents(const std::filesystem::path& Path, const std::vector<uint8_t>& Bytes)
{
	struct stat Status;
	if (::stat(Path.c_str(), &Status) != 0)
	{
		return errno;
	}
	// Beside the file, so that the rename stays on one file system and is atomic.
	std::string TemporaryPath = Path.string() + ".XXXXXX";
	const FScopedFileDescriptor File(::mkostemp(TemporaryPath.data(), O_CLOEXEC));
	if (!File.IsValid())
	{
		return errno;
	}
	int Error = WriteAll(File.Get(), Bytes);
	if (Error == 0 && ::fchmod(File.Get(), Status.st_mode & 07777) != 0)
	{
		Error = errno;
	}
	if (Error == 0 && ::fsync(File.Get()) != 0)
	{
		Error = errno;
	}
	std::vector<uint8_t> ReadBack;
	if (Error == 0)
	{
		Error = ReadAll(File.Get(), ReadBack);
	}
	if (Error == 0 && ReadBack != Bytes)
	{
		Error = EIO;
	}
	if (Error == 0 && ::rename(TemporaryPath.c_str(), Path.c_str()) != 0)
	{
		Error = errno;
	}
	if (Error != 0)
	{
		::unlink(TemporaryPath.c_str());
	}
	return Error;
}
