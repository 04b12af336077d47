#include "tests/support/UnreadableFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <sys/stat.h>

// Tests run as root in CI, where file modes do not keep anyone out. A write-only
// kernel setting refuses reading even to root.
std::wstring MakeUnreadableFile(const FTempDirectory& Directory, std::shared_ptr<void>& Holder)
{
	for (const char* Candidate : {"/proc/sys/vm/drop_caches", "/proc/sys/vm/compact_memory"})
	{
		struct stat Status;
		if (::stat(Candidate, &Status) == 0 && S_ISREG(Status.st_mode))
		{
			const int Descriptor = ::open(Candidate, O_RDONLY);
			if (Descriptor < 0)
			{
				return ToWide(Candidate);
			}
			::close(Descriptor);
		}
	}
	// Not root: a file without read permission does it.
	const std::wstring Path = Directory.Wide(L"locked.txt");
	WriteFileBytes(ToPath(Path), "locked");
	::chmod(ToPath(Path).c_str(), 0);
	const int Descriptor = ::open(ToPath(Path).c_str(), O_RDONLY);
	if (Descriptor >= 0)
	{
		::close(Descriptor);
		return std::wstring();
	}
	return Path;
}
