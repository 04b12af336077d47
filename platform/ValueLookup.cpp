#include "platform/ValueLookup.h"

#include "app/Log.h"

bool TryLookUpValue(const wchar_t* Category, const std::wstring& SubKeyName, const std::wstring& ValueName,
	size_t SourceCount, const std::function<bool(size_t, std::wstring&)>& TryReadSource, std::wstring& OutValue)
{
	Log(ELogLevel::Verbose, Category, L"Trying to get value from registry with SubKeyName '%s' and ValueName '%s'",
		SubKeyName, ValueName);
	for (size_t Index = 0; Index < SourceCount; ++Index)
	{
		// An empty value is no answer either (installers store empty text as its
		// terminator alone, editors leave empty files): the lookup goes on.
		std::wstring Value;
		if (TryReadSource(Index, Value) && !Value.empty())
		{
			OutValue = std::move(Value);
			Log(ELogLevel::Verbose, Category, L"Found value: '%s'", OutValue);
			return true;
		}
	}
	Log(ELogLevel::Error, Category, L"Failed to get value from registry with SubKeyName '%s' and ValueName '%s'",
		SubKeyName, ValueName);
	return false;
}
