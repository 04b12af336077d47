#include "bootstrap/GenericBootstrapper.h"

#include "app/Log.h"

// The run sequence arrives with the session and telemetry work; until then a
// run only announces itself and fails.
int32_t FGenericBootstrapper::Bootstrap(const std::wstring& ProductName, const std::wstring& VersionTag)
{
	Log(ELogLevel::Info, L"FGenericBootstrapper::Bootstrap", L"Started %s %s.", ProductName, VersionTag);
	return 1;
}

bool FGenericBootstrapper::TryGetUserHelperPath(std::wstring&)
{
	Log(ELogLevel::Error, L"FWindowsBootstrapper::TryGetUserHelperPath", L"Not implemented in this build.");
	return false;
}

bool FGenericBootstrapper::OnInitCompleted(const FInitResult&)
{
	Log(ELogLevel::Error, L"FWindowsBootstrapper::OnInitCompleted", L"Not implemented in this build.");
	return false;
}
