#include "bootstrap/GenericBootstrapper.h"

#include "app/Log.h"

// The session arrives with the process and registry work.
std::wstring FGenericBootstrapper::CreateGuid()
{
	Log(ELogLevel::Error, L"FGenericBootstrapper::CreateGuid", L"Not implemented in this build.");
	return std::wstring();
}

bool FGenericBootstrapper::TrySetupEnvironment(const std::wstring&)
{
	Log(ELogLevel::Error, L"FWindowsBootstrapper::TrySetupEnvironment", L"Not implemented in this build.");
	return false;
}

bool FGenericBootstrapper::TryCreateSession(const FBootstrapperConfig&, std::shared_ptr<IProcessGroup>& OutProcessGroup,
	std::wstring&)
{
	OutProcessGroup.reset();
	Log(ELogLevel::Error, L"FGenericBootstrapper::TryCreateSession", L"Not implemented in this build.");
	return false;
}
