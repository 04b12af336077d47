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

bool FLinuxPlatform::TryGetExecutableType(const std::wstring&, EExecutableType&)
{
	return NotImplemented(L"FLinuxPlatform::TryGetExecutableType");
}

bool FLinuxPlatform::TryCopyExecutableResources(const std::wstring&, const std::wstring&)
{
	return NotImplemented(L"FLinuxPlatform::TryCopyExecutableResources");
}
