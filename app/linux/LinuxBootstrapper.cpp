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

bool FLinuxBootstrapper::TryCopyBootstrapperApp(const std::wstring& OutputPath)
{
	constexpr const wchar_t* Category = L"FLinuxBootstrapper::TryCopyBootstrapperApp";
	try
	{
		// The launcher travels inside the running program (the configure tool),
		// so a tool of one build always writes the launcher of the same build.
		std::vector<uint8_t> Bytes;
		if (!FLinuxPlatform::TryLoadResourceData(L"BINARY", L"BOOTSTRAPPER_EXECUTABLE", Bytes))
		{
			Log(ELogLevel::Error, Category, L"Failed to acquire the Bootstrapper executable in embedded resources");
			return false;
		}
		if (!GetPlatform()->TryWriteFile(OutputPath, Bytes))
		{
			Log(ELogLevel::Error, Category, L"Failed to write the Bootstrapper executable into file on disk");
			return false;
		}
		// A written file gets no execute bit here, unlike on Windows where the
		// extension decides; without it the launcher could not be started.
		std::filesystem::path FsPath;
		if (!TryToFileSystemPath(OutputPath, FsPath))
		{
			Log(ELogLevel::Error, Category, L"Failed to make the Bootstrapper executable runnable: '%s'", OutputPath);
			return false;
		}
		if (::chmod(FsPath.c_str(), 0755) != 0)
		{
			FLinuxPlatform::LogErrorWithLastErrorMessage(L"Failed to make the Bootstrapper executable runnable");
			return false;
		}
		Log(ELogLevel::Verbose, Category, L"Successfully copied Bootstrapper executable into: '%s'", OutputPath);
		return true;
	}
	catch (...)
	{
		LogCurrentException(Category);
		return false;
	}
}
