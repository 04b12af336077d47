#include "platform/linux/LinuxFileReplace.h"

#include "platform/FileReplace.h"
#include "platform/linux/LinuxHandles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
	// Symbolic links may chain; the kernel gives up after 40 as well.
	constexpr int MaximumLinkDepth = 40;
	constexpr int MaximumNameAttempts = 100;
	constexpr mode_t ExecutableMode = 0755;
	// A new file's bits before the umask, as any program creating a file asks.
	constexpr mode_t NewFileMode = 0666;

	int ReadAll(int File, std::vector<uint8_t>& OutBytes, uint64_t MaximumSize)
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
		if (static_cast<uint64_t>(Status.st_size) > MaximumSize)
		{
			return EFBIG;
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

	int WriteAll(int File, const uint8_t* Bytes, size_t Size)
	{
		size_t Done = 0;
		while (Done < Size)
		{
			const ssize_t Count = ::write(File, Bytes + Done, Size - Done);
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

	bool ReadsBackAs(int File, const uint8_t* Bytes, size_t Size, int& OutError)
	{
		std::vector<uint8_t> ReadBack;
		OutError = ReadAll(File, ReadBack, UINT64_MAX);
		if (OutError == 0 && (ReadBack.size() != Size || (Size != 0 && std::memcmp(ReadBack.data(), Bytes, Size) != 0)))
		{
			OutError = EIO;
		}
		return OutError == 0;
	}

	// The file a chain of symbolic links ends at, which need not exist yet.
	int FollowLinks(const std::filesystem::path& Path, std::filesystem::path& OutPath)
	{
		std::filesystem::path Current = Path;
		for (int Depth = 0; Depth < MaximumLinkDepth; ++Depth)
		{
			std::error_code Error;
			const std::filesystem::path Next = std::filesystem::read_symlink(Current, Error);
			if (Error == std::errc::invalid_argument || Error == std::errc::no_such_file_or_directory)
			{
				OutPath = Current;
				return 0; // not a link (or nothing there yet)
			}
			if (Error)
			{
				return Error.value();
			}
			Current = Next.is_absolute() ? Next : Current.parent_path() / Next;
		}
		return ELOOP;
	}

	// A name no other file has yet, beside the target, created by us alone.
	int CreateNewFileBeside(const std::filesystem::path& Target, std::string& OutPath, FScopedFileDescriptor& OutFile)
	{
		for (int Attempt = 0; Attempt < MaximumNameAttempts; ++Attempt)
		{
			uint32_t Random = 0;
			if (::getrandom(&Random, sizeof(Random), 0) != static_cast<ssize_t>(sizeof(Random)))
			{
				Random = static_cast<uint32_t>(::getpid()) * 2654435761u + static_cast<uint32_t>(Attempt);
			}
			char Suffix[16];
			std::snprintf(Suffix, sizeof(Suffix), ".%08x", Random);
			OutPath = Target.string() + Suffix;
			// The kernel applies the umask to these bits, as for any new file.
			OutFile.Reset(::open(OutPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, NewFileMode));
			if (OutFile.IsValid())
			{
				return 0;
			}
			if (errno != EEXIST)
			{
				return errno;
			}
		}
		return EEXIST;
	}
}

int ReadWholeFile(const std::filesystem::path& Path, std::vector<uint8_t>& OutBytes, uint64_t MaximumSize)
{
	const FScopedFileDescriptor File(::open(Path.c_str(), O_RDONLY | O_CLOEXEC));
	if (!File.IsValid())
	{
		return errno;
	}
	return ReadAll(File.Get(), OutBytes, MaximumSize);
}

bool TryReplaceFile(const std::filesystem::path& Path, const uint8_t* Bytes, size_t Size, EReplacedFileMode Mode,
	FFileReplaceFailure& OutFailure)
{
	const auto Fail = [&OutFailure](const wchar_t* Step, int Error)
	{
		OutFailure = FFileReplaceFailure{Step, static_cast<uint32_t>(Error)};
		return false;
	};

	std::filesystem::path Target;
	if (const int Error = FollowLinks(Path, Target); Error != 0)
	{
		return Fail(FileReplaceSteps::FollowLink, Error);
	}
	struct stat Status;
	const bool bExists = ::stat(Target.c_str(), &Status) == 0;
	if (!bExists && errno != ENOENT)
	{
		return Fail(FileReplaceSteps::ReadTarget, errno);
	}

	std::string NewPath;
	FScopedFileDescriptor File;
	if (const int Error = CreateNewFileBeside(Target, NewPath, File); Error != 0)
	{
		return Fail(FileReplaceSteps::Create, Error);
	}
	const auto FailAndRemove = [&](const wchar_t* Step, int Error)
	{
		::unlink(NewPath.c_str());
		return Fail(Step, Error);
	};

	if (const int Error = WriteAll(File.Get(), Bytes, Size); Error != 0)
	{
		return FailAndRemove(FileReplaceSteps::Write, Error);
	}
	// The final bits before the rename: nobody may ever see the file with
	// other bits, and a launcher must never turn up unrunnable.
	const bool bSetMode = Mode == EReplacedFileMode::Executable || bExists;
	const mode_t FinalMode = Mode == EReplacedFileMode::Executable ? ExecutableMode : (Status.st_mode & 07777);
	if (bSetMode && ::fchmod(File.Get(), FinalMode) != 0)
	{
		return FailAndRemove(FileReplaceSteps::SetMode, errno);
	}
	if (::fsync(File.Get()) != 0)
	{
		return FailAndRemove(FileReplaceSteps::Flush, errno);
	}
	int ReadBackError = 0;
	if (!ReadsBackAs(File.Get(), Bytes, Size, ReadBackError))
	{
		return FailAndRemove(FileReplaceSteps::ReadBack, ReadBackError);
	}
	if (::rename(NewPath.c_str(), Target.c_str()) != 0)
	{
		return FailAndRemove(FileReplaceSteps::Replace, errno);
	}
	return true;
}
