#include "tests/support/ScopedVariable.h"
#include "tests/support/TestBootstrapper.h"
#include "tests/support/UnreadableFile.h"

#include "platform/Utf8.h"
#include "platform/linux/LinuxPlatform.h"

#include <cstdlib>
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

static void Put(const std::string& Name, const std::optional<std::wstring>& Value)
{
	Value ? ::setenv(Name.c_str(), EncodeUtf8Lossless(*Value).c_str(), 1) : ::unsetenv(Name.c_str());
}

FScopedVariable::FScopedVariable(const std::wstring& InName, const std::optional<std::wstring>& Value) : Name(InName)
{
	if (const char* Current = std::getenv(EncodeUtf8Lossless(Name).c_str()))
	{
		Previous = DecodeUtf8Lossless(Current);
	}
	Put(EncodeUtf8Lossless(Name), Value);
}

FScopedVariable::~FScopedVariable()
{
	Put(EncodeUtf8Lossless(Name), Previous);
}
