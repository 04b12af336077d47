#include "platform/PathRules.h"

#include "platform/FileNames.h"

#include <filesystem>
#include <system_error>

bool IsPathSeparator(wchar_t Character)
{
	return Character == L'/';
}

bool IsAbsolutePath(const std::wstring& Path)
{
	// A configuration made here may well be shipped with the Windows build,
	// so what is absolute there is refused here too.
	return (!Path.empty() && Path[0] == L'/') || IsWindowsAbsolutePath(Path);
}

bool AreSamePathNames(const std::wstring& Left, const std::wstring& Right)
{
	return Left == Right;
}

std::wstring ResolvePathNextTo(const std::wstring& Directory, const std::wstring& Value)
{
	std::wstring Joined = Value;
	if (Value.empty() || Value[0] != L'/')
	{
		Joined = Directory;
		if (!Joined.empty() && Joined.back() != L'/')
		{
			Joined.push_back(L'/');
		}
		Joined += Value;
	}
	std::filesystem::path Path;
	if (!TryToFileSystemPath(Joined, Path))
	{
		return Joined;
	}
	std::error_code Error;
	Path = std::filesystem::absolute(Path, Error);
	if (Error)
	{
		return Joined;
	}
	std::wstring Result;
	if (!TryFromFileSystemPath(Path.lexically_normal(), Result))
	{
		return Joined;
	}
	// "a/." and "a/.." leave a trailing separator behind; drop it unless the
	// value itself ended in one, as full-path resolution on Windows does.
	if (Result.size() > 1 && Result.back() == L'/' && !Joined.empty() && Joined.back() != L'/')
	{
		Result.pop_back();
	}
	return Result;
}
