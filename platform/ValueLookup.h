#pragma once

#include <cstddef>
#include <functional>
#include <string>

// The lookup of a named value under a sub-key that both systems share: the
// sources (registry roots and views, or configuration folders) are asked in
// order until one holds an acceptable value; only the outcome is logged.
// TryReadSource(Index, OutValue) reads the value from source Index, or gives false.
// OutValue is written only when a value was found.
bool TryLookUpValue(const wchar_t* Category, const std::wstring& SubKeyName, const std::wstring& ValueName,
	size_t SourceCount, const std::function<bool(size_t, std::wstring&)>& TryReadSource, std::wstring& OutValue);
