#pragma once

#include "platform/GenericPlatform.h"
#include "platform/windows/WindowsHeaders.h"
#include "platform/ResourceRecord.h"

#include <vector>

class FWindowsPlatform : public FGenericPlatform
{
public:
#include "platform/SystemPlatformMembers.h"

	// The bytes the configure tool carries as a resource of its own module.
	static bool TryLoadResourceData(HMODULE Module, const std::wstring& Type, const std::wstring& Name,
		std::vector<uint8_t>& OutBytes);

private:
	static BOOL CALLBACK EnumResourceNamesCallback(HMODULE Module, LPCWSTR Type, LPWSTR Name, LONG_PTR Parameter);
	static BOOL CALLBACK EnumResourceLanguagesCallback(HMODULE Module, LPCWSTR Type, LPCWSTR Name, WORD Language,
		LONG_PTR Parameter);
};
