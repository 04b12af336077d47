#include "platform/PathRules.h"

#include "platform/windows/WindowsHeaders.h"

#include <climits>
#include <vector>

bool IsPathSeparator(wchar_t Character)
{
	return Character == L'\\' || Character == L'/';
}

bool IsAbsolutePath(const std::wstring& Path)
{
	return IsWindowsAbsolutePath(Path);
}

bool AreSamePathNames(const std::wstring& Left, const std::wstring& Right)
{
	// The file system's own rule: ordinal, case-insensitive, locale-free.
	return Left.size() <= INT_MAX && Right.size() <= INT_MAX &&
		::CompareStringOrdinal(Left.c_str(), static_cast<int>(Left.size()), Right.c_str(), static_cast<int>(Right.size()),
			TRUE) == CSTR_EQUAL;
}

std::wstring ResolvePathNextTo(const std::wstring& Directory, const std::wstring& Value)
{
	const std::wstring Joined = AppendWindowsPath(Directory, Value);
	// The size asked for first can grow if the current directory changes in
	// between (drive-relative values depend on it), so ask again then.
	DWORD Capacity = ::GetFullPathNameW(Joined.c_str(), 0, nullptr, nullptr);
	for (int Attempt = 0; Attempt < 3 && Capacity > 0; ++Attempt)
	{
		std::vector<wchar_t> Buffer(Capacity);
		const DWORD Length = ::GetFullPathNameW(Joined.c_str(), Capacity, Buffer.data(), nullptr);
		if (Length == 0)
		{
			break;
		}
		if (Length < Capacity)
		{
			return std::wstring(Buffer.data(), Length);
		}
		Capacity = Length;
	}
	return Joined;
}
