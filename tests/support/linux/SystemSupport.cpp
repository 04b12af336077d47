#include "tests/support/TestBootstrapper.h"
#include "tests/support/UnreadableFile.h"

#include "platform/linux/LinuxPlatform.h"

#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

#include <sys/stat.h>

std::shared_ptr<IPlatform> MakeNativePlatform()
{
	return std::make_shared<FLinuxPlatform>();
}

// Tests run as root in CI, where file modes keep no one out; a write-only
// kernel setting refuses reading even to root. Otherwise a file without read
// permission does it.
std::wstring MakeUnreadableFile(const FTempDirectory& Directory, std::shared_ptr<void>&)
{
	const std::string Path = ToPath(Directory.Wide(L"locked.txt")).string();
	WriteFileBytes(Path, "locked");
	::chmod(Path.c_str(), 0);
	for (const std::string& Candidate : {Path, std::string("/proc/sys/vm/drop_caches")})
	{
		const int Descriptor = ::open(Candidate.c_str(), O_RDONLY);
		if (Descriptor < 0 && std::filesystem::is_regular_file(Candidate))
		{
			return ToWide(Candidate);
		}
		::close(Descriptor);
	}
	return std::wstring();
}
