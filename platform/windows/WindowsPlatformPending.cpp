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

bool FWindowsPlatform::TryGetExecutableType(const std::wstring&, EExecutableType&)
{
	return NotImplemented(L"FWindowsPlatform::TryGetExecutableType");
}

bool FWindowsPlatform::TryCopyExecutableResources(const std::wstring&, const std::wstring&)
{
	return NotImplemented(L"FWindowsPlatform::TryCopyExecutableResources");
}
