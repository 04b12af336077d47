#include "bootstrap/ConfigKeys.h"
#include "bootstrap/GenericBootstrapper.h"

#include "app/Log.h"

const std::wstring ApplicationPathKey = L"ApplicationPath";
const std::wstring WorkingDirectoryKey = L"WorkingDirectory";
const std::wstring WaitForExitKey = L"WaitForExit";
const std::wstring NoOperationKey = L"NoOperation";

// The configuration file arrives with its own work; until then it is never found.
std::wstring FGenericBootstrapper::GetConfigPath(const std::wstring& ExecutablePath)
{
	return ExecutablePath;
}

bool FGenericBootstrapper::TryReadConfig(const std::wstring&, FBootstrapperConfig& OutConfig)
{
	OutConfig = FBootstrapperConfig();
	Log(ELogLevel::Error, L"FGenericBootstrapper::TryReadConfig", L"Not implemented in this build.");
	return false;
}

bool FGenericBootstrapper::TryWriteConfig(const std::wstring&, const FBootstrapperConfig&)
{
	Log(ELogLevel::Error, L"FGenericBootstrapper::TryWriteConfig", L"Not implemented in this build.");
	return false;
}

bool TryParseBool(const std::wstring&, bool&)
{
	return false;
}
