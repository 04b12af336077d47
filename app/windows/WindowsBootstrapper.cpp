#include "app/windows/WindowsBootstrapper.h"

#include "app/Log.h"
#include "configure/CommandLine.h"
#include "http/CurlHttpModule.h"
#include "platform/windows/WindowsHeaders.h"
#include "platform/SystemErrorLog.h"
#include "platform/windows/WindowsPlatform.h"

#include <vector>

FWindowsBootstrapper::FWindowsBootstrapper(const std::string& TelemetryBaseUrl)
	: FGenericBootstrapper(std::make_shared<FCommandLine>(::GetCommandLineW()), std::make_shared<FWindowsPlatform>(),
		  std::make_unique<FCurlHttpModule>(), TelemetryBaseUrl)
{
}

bool FWindowsBootstrapper::TryCopyBootstrapperApp(const std::wstring& OutputPath)
{
	constexpr const wchar_t* Category = L"FWindowsBootstrapper::TryCopyBootstrapperApp";
	try
	{
		// The launcher travels inside the running program (the configure tool),
		// so a tool of one build always writes the launcher of the same build.
		std::vector<uint8_t> Bytes;
		if (!FWindowsPlatform::TryLoadResourceData(::GetModuleHandleW(nullptr), L"BINARY", L"BOOTSTRAPPER_EXECUTABLE", Bytes))
		{
			Log(ELogLevel::Error, Category, L"Failed to acquire the Bootstrapper executable in embedded resources");
			return false;
		}
		if (!GetPlatform()->TryWriteFile(OutputPath, Bytes))
		{
			Log(ELogLevel::Error, Category, L"Failed to write the Bootstrapper executable into file on disk");
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
