#include "platform/windows/WindowsPlatform.h"

#include "platform/SystemErrorLog.h"
#include "platform/ValueLookup.h"
#include "platform/windows/WindowsHandles.h"

#include <cwchar>
#include <vector>

namespace
{
	struct FRegistrySource
	{
		HKEY Root;
		REGSAM View;
	};

	// A REG_SZ value with data, or nothing: missing keys and values, other types
	// and failed reads all send the lookup on to the next source.
	bool TryReadStringValue(const FRegistrySource& Source, const std::wstring& SubKeyName, const std::wstring& ValueName,
		std::wstring& OutValue)
	{
		HKEY OpenedKey = nullptr;
		if (::RegOpenKeyExW(Source.Root, SubKeyName.c_str(), 0, KEY_READ | Source.View, &OpenedKey) != ERROR_SUCCESS)
		{
			return false;
		}
		const FScopedRegistryKey Key(OpenedKey);

		DWORD Type = REG_NONE;
		DWORD Size = 0;
		if (::RegQueryValueExW(Key.Get(), ValueName.c_str(), nullptr, &Type, nullptr, &Size) != ERROR_SUCCESS ||
			Type != REG_SZ || Size == 0)
		{
			return false;
		}

		// Whole characters for the data (an odd size rounded up) and at least one
		// zero character after them: a value stored without its terminating zero
		// still ends inside the buffer, and nothing beyond it is ever read.
		std::vector<wchar_t> Buffer(Size / sizeof(wchar_t) + 2, L'\0');
		DWORD ReadSize = Size;
		if (::RegQueryValueExW(Key.Get(), ValueName.c_str(), nullptr, &Type, reinterpret_cast<BYTE*>(Buffer.data()),
				&ReadSize) != ERROR_SUCCESS ||
			Type != REG_SZ || ReadSize == 0)
		{
			return false;
		}
		const size_t Characters = (static_cast<size_t>(ReadSize) + 1) / sizeof(wchar_t);
		OutValue.assign(Buffer.data(), ::wcsnlen(Buffer.data(), Characters));
		return true;
	}
}

bool FWindowsPlatform::TryGetValueFromRegistry(const std::wstring& SubKeyName, const std::wstring& ValueName,
	std::wstring& OutValue)
{
	constexpr const wchar_t* Category = L"FWindowsPlatform::TryGetValueFromRegistry";
	return GuardOperation(Category, false, [&]
	{
		// The user's own setting first; within one root the 32-bit view first,
		// where a 32-bit installer of the service writes.
		const FRegistrySource Sources[] = {
			{HKEY_CURRENT_USER, KEY_WOW64_32KEY},
			{HKEY_CURRENT_USER, KEY_WOW64_64KEY},
			{HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY},
			{HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY},
		};
		return TryLookUpValue(Category, SubKeyName, ValueName, std::size(Sources),
			[&](size_t Index, std::wstring& OutText) { return TryReadStringValue(Sources[Index], SubKeyName, ValueName, OutText); },
			OutValue);
	});
}
