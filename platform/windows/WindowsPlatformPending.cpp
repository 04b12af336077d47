// Operations that later work implements; until then they fail with an Error.
#include "platform/windows/WindowsPlatform.h"

#include "app/Log.h"

namespace
{
	bool NotImplemented(const wchar_t* Category)
	{
		Log(ELogLevel::Error, Category, L"Not implemented in this build.");
		return false;
	}
}

bool FWindowsPlatform::TryGetValueFromRegistry(const std::wstring&, const std::wstring&, std::wstring&)
{
	return NotImplemented(L"FWindowsPlatform::TryGetValueFromRegistry");
}

bool FWindowsPlatform::TryRunExecutable(const std::wstring&, const std::optional<std::wstring>&,
	const std::optional<std::wstring>&, bool, bool, uint32_t* OutExitCode)
{
	if (OutExitCode != nullptr)
	{
		*OutExitCode = 0;
	}
	return NotImplemented(L"FWindowsPlatform::TryRunExecutable");
}

bool FWindowsPlatform::TrySetEnvironmentVariable(const std::wstring&, const std::wstring&)
{
	return NotImplemented(L"FWindowsPlatform::TrySetEnvironmentVariable");
}

void FWindowsPlatform::DeleteEnvironmentVariable(const std::wstring&)
{
	NotImplemented(L"FWindowsPlatform::DeleteEnvironmentVariable");
}

bool FWindowsPlatform::TryGetExecutableType(const std::wstring&, EExecutableType&)
{
	return NotImplemented(L"FWindowsPlatform::TryGetExecutableType");
}

bool FWindowsPlatform::TryCopyExecutableResources(const std::wstring&, const std::wstring&)
{
	return NotImplemented(L"FWindowsPlatform::TryCopyExecutableResources");
}

bool FWindowsPlatform::TryCreateGuid(uint32_t&, uint32_t&, uint32_t&, uint32_t&)
{
	return NotImplemented(L"FWindowsPlatform::TryCreateGuid");
}

bool FWindowsPlatform::TryCreateProcessGroup(const std::wstring&, std::shared_ptr<IProcessGroup>& OutProcessGroup)
{
	OutProcessGroup.reset();
	return NotImplemented(L"FWindowsPlatform::TryCreateProcessGroup");
}

bool FWindowsPlatform::TryGetConsoleWidth(uint32_t&)
{
	return NotImplemented(L"FWindowsPlatform::TryGetConsoleWidth");
}

std::wstring FWindowsPlatform::GetPlatformName()
{
	return L"Windows";
}

std::wstring FWindowsPlatform::GetPlatformVersion()
{
	return std::wstring();
}
