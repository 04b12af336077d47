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

bool FWindowsBootstrapper::TryLoadEmbeddedBootstrapper(const std::wstring&, std::vector<uint8_t>& OutBytes)
{
	// The one launcher this system runs, whatever the output is called.
	return FWindowsPlatform::TryLoadResourceData(::GetModuleHandleW(nullptr), L"BINARY", L"BOOTSTRAPPER_EXECUTABLE", OutBytes);
}
