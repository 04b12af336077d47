#include "platform/PathRules.h"

#include "platform/AsciiCase.h"
#include "platform/FileNames.h"

#include <filesystem>

namespace
{
	bool IsWindowsSeparator(wchar_t Character)
	{
		return Character == L'\\' || Character == L'/';
	}

	bool IsAsciiLetter(wchar_t Character)
	{
		return (Character >= L'a' && Character <= L'z') || (Character >= L'A' && Character <= L'Z');
	}

	// Length of the drive ("C:"), server ("\\server", also "\\?" and "\\.")
	// or NT device ("\??") prefix; 0 when the path has none.
	size_t GetRootNameLength(const std::wstring& Path)
	{
		if (Path.size() >= 2 && IsAsciiLetter(Path[0]) && Path[1] == L':')
		{
			return 2;
		}
		if (Path.size() >= 4 && Path[0] == L'\\' && Path[1] == L'?' && Path[2] == L'?' && Path[3] == L'\\')
		{
			return 3;
		}
		if (Path.size() >= 3 && IsWindowsSeparator(Path[0]) && IsWindowsSeparator(Path[1]) && !IsWindowsSeparator(Path[2]))
		{
			size_t End = 2;
			while (End < Path.size() && !IsWindowsSeparator(Path[End]))
			{
				++End;
			}
			return End;
		}
		return 0;
	}

	// Drive letters and server names are case-insensitive, and either
	// separator spells the same server.
	bool IsSameRootName(const std::wstring& Left, const std::wstring& Right)
	{
		if (Left.size() != Right.size())
		{
			return false;
		}
		for (size_t Index = 0; Index < Left.size(); ++Index)
		{
			const bool bBothSeparators = IsWindowsSeparator(Left[Index]) && IsWindowsSeparator(Right[Index]);
			if (!bBothSeparators && ToAsciiLower(Left[Index]) != ToAsciiLower(Right[Index]))
			{
				return false;
			}
		}
		return true;
	}
}

std::wstring GetFileName(const std::wstring& Path)
{
	size_t Start = Path.size();
	while (Start > 0 && !IsPathSeparator(Path[Start - 1]))
	{
		--Start;
	}
	return Path.substr(Start);
}

std::wstring GetParentDirectory(const std::wstring& Path)
{
	return Path.substr(0, Path.size() - GetFileName(Path).size());
}

bool ArePathsLexicallyEqual(const std::wstring& Left, const std::wstring& Right)
{
	std::filesystem::path LeftPath;
	std::filesystem::path RightPath;
	if (!TryToFileSystemPath(Left, LeftPath) || !TryToFileSystemPath(Right, RightPath))
	{
		return Left == Right;
	}
	return LeftPath == RightPath;
}

bool AreSamePathTexts(const std::wstring& Left, const std::wstring& Right)
{
	std::filesystem::path LeftPath;
	std::filesystem::path RightPath;
	std::wstring LeftText;
	std::wstring RightText;
	if (!TryToFileSystemPath(Left, LeftPath) || !TryToFileSystemPath(Right, RightPath) ||
		!TryFromFileSystemPath(LeftPath.lexically_normal(), LeftText) ||
		!TryFromFileSystemPath(RightPath.lexically_normal(), RightText))
	{
		return AreSamePathNames(Left, Right);
	}
	return AreSamePathNames(LeftText, RightText);
}

bool IsWindowsAbsolutePath(const std::wstring& Path)
{
	if (Path.size() >= 3 && IsAsciiLetter(Path[0]) && Path[1] == L':' && IsWindowsSeparator(Path[2]))
	{
		return true;
	}
	// A drive-relative "C:App.exe" has a root name too, but depends on the
	// drive's current directory; only server and device prefixes stand alone.
	return GetRootNameLength(Path) > 2;
}

std::wstring AppendWindowsPath(const std::wstring& Directory, const std::wstring& Value)
{
	if (IsWindowsAbsolutePath(Value))
	{
		return Value;
	}
	const std::wstring DirectoryRoot = Directory.substr(0, GetRootNameLength(Directory));
	const size_t ValueRootLength = GetRootNameLength(Value);
	if (ValueRootLength > 0 && !IsSameRootName(Value.substr(0, ValueRootLength), DirectoryRoot))
	{
		return Value;
	}

	const std::wstring Rest = Value.substr(ValueRootLength);
	if (!Rest.empty() && IsWindowsSeparator(Rest[0]))
	{
		return DirectoryRoot + Rest;
	}
	std::wstring Result = Directory;
	// A bare drive ("C:") takes the value as drive-relative, without a separator.
	if (!Result.empty() && !IsWindowsSeparator(Result.back()) && Result.size() != DirectoryRoot.size())
	{
		Result.push_back(L'\\');
	}
	return Result + Rest;
}
