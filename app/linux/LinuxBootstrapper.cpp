#include "app/linux/LinuxBootstrapper.h"

#include "app/Log.h"
#include "configure/CommandLine.h"
#include "http/CurlHttpModule.h"
#include "platform/FileNames.h"
#include "platform/SystemErrorLog.h"
#include "platform/linux/LinuxPlatform.h"

#include <sys/stat.h>

#include <filesystem>
#include <vector>

FLinuxBootstrapper::FLinuxBootstrapper(const std::wstring& FullCommandLine, const std::string& TelemetryBaseUrl)
	: FGenericBootstrapper(std::make_shared<FCommandLine>(FullCommandLine), std::make_shared<FLinuxPlatform>(),
		  std::make_unique<FCurlHttpModule>(), TelemetryBaseUrl)
{
}

bool FLinuxBootstrapper::TryLoadEmbeddedBootstrapper(std::vector<uint8_t>& OutBytes)
{
	return FLinuxPlatform::TryLoadResourceData(L"BINARY", L"BOOTSTRAPPER_EXECUTABLE", OutBytes);
}

bool FLinuxBootstrapper::TryMakeBootstrapperRunnable(const std::wstring& Path)
{
	constexpr const wchar_t* Category = L"FLinuxBootstrapper::TryMakeBootstrapperRunnable";
	// A written file gets no execute bit here, unlike on Windows where the
	// extension decides; without it the launcher could not be started.
	std::filesystem::path FsPath;
	if (!TryToFileSystemPath(Path, FsPath))
	{
		Log(ELogLevel::Error, Category, L"Failed to make the Bootstrapper executable runnable: '%s'", Path);
		return false;
	}
	if (::chmod(FsPath.c_str(), 0755) != 0)
	{
		FLinuxPlatform::LogErrorWithLastErrorMessage(L"Failed to make the Bootstrapper executable runnable");
		return false;
	}
	return true;
}
