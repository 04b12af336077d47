#include "app/linux/LinuxBootstrapper.h"

#include "app/Log.h"
#include "configure/CommandLine.h"
#include "http/CurlHttpModule.h"
#include "platform/linux/LinuxPlatform.h"

FLinuxBootstrapper::FLinuxBootstrapper(const std::wstring& FullCommandLine, const std::string& TelemetryBaseUrl)
	: FGenericBootstrapper(std::make_shared<FCommandLine>(FullCommandLine), std::make_shared<FLinuxPlatform>(),
		  std::make_unique<FCurlHttpModule>(), TelemetryBaseUrl)
{
}

bool FLinuxBootstrapper::TryCopyBootstrapperApp(const std::wstring&)
{
	Log(ELogLevel::Error, L"FLinuxBootstrapper::TryCopyBootstrapperApp", L"Not implemented in this build.");
	return false;
}
