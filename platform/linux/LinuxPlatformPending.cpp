// Operations that later work implements; until then they fail with an Error.
#include "platform/linux/LinuxPlatform.h"

#include "app/Log.h"

namespace
{
	bool NotImplemented(const wchar_t* Category)
	{
		Log(ELogLevel::Error, Category, L"Not implemented in this build.");
		return false;
	}
}

bool FLinuxPlatform::TryGetValueFromRegistry(const std::wstring&, const std::wstring&, std::wstring&)
{
	return NotImplemented(L"FLinuxPlatform::TryGetValueFromRegistry");
}

bool FLinuxPlatform::TryRunExecutable(const std::wstring&, const std::optional<std::wstring>&,
	const std::optional<std::wstring>&, bool, bool, uint32_t* OutExitCode)
{
	if (OutExitCode != nullptr)
	{
		*OutExitCode = 0;
	}
	return NotImplemented(L"FLinuxPlatform::TryRunExecutable");
}

bool FLinuxPlatform::TrySetEnvironmentVariable(const std::wstring&, const std::wstring&)
{
	return NotImplemented(L"FLinuxPlatform::TrySetEnvironmentVariable");
}

void FLinuxPlatform::DeleteEnvironmentVariable(const std::wstring&)
{
	NotImplemented(L"FLinuxPlatform::DeleteEnvironmentVariable");
}

bool FLinuxPlatform::TryGetExecutableType(const std::wstring&, EExecutableType&)
{
	return NotImplemented(L"FLinuxPlatform::TryGetExecutableType");
}

bool FLinuxPlatform::TryCopyExecutableResources(const std::wstring&, const std::wstring&)
{
	return NotImplemented(L"FLinuxPlatform::TryCopyExecutableResources");
}

bool FLinuxPlatform::TryCreateGuid(uint32_t&, uint32_t&, uint32_t&, uint32_t&)
{
	return NotImplemented(L"FLinuxPlatform::TryCreateGuid");
}

bool FLinuxPlatform::TryCreateProcessGroup(const std::wstring&, std::shared_ptr<IProcessGroup>& OutProcessGroup)
{
	OutProcessGroup.reset();
	return NotImplemented(L"FLinuxPlatform::TryCreateProcessGroup");
}

bool FLinuxPlatform::TryGetConsoleWidth(uint32_t&)
{
	return NotImplemented(L"FLinuxPlatform::TryGetConsoleWidth");
}

std::wstring FLinuxPlatform::GetPlatformName()
{
	return L"Linux";
}

std::wstring FLinuxPlatform::GetPlatformVersion()
{
	return std::wstring();
}
