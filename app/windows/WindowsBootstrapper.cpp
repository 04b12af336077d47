#include "app/windows/WindowsBootstrapper.h"

#include "app/Log.h"
#include "configure/CommandLine.h"
#include "http/CurlHttpModule.h"
#include "platform/windows/WindowsHeaders.h"
#include "platform/windows/WindowsPlatform.h"

FWindowsBootstrapper::FWindowsBootstrapper(const std::string& TelemetryBaseUrl)
	: FGenericBootstrapper(std::make_shared<FCommandLine>(::GetCommandLineW()), std::make_shared<FWindowsPlatform>(),
		  std::make_unique<FCurlHttpModule>(), TelemetryBaseUrl)
{
}

bool FWindowsBootstrapper::TryCopyBootstrapperApp(const std::wstring&)
{
	Log(ELogLevel::Error, L"FWindowsBootstrapper::TryCopyBootstrapperApp", L"Not implemented in this build.");
	return false;
}
