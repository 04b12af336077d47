#include "platform/FileNames.h"

#include <new>

// Windows paths are UTF-16 already: nothing to convert.
bool TryToFileSystemPath(const std::wstring& Path, std::filesystem::path& OutPath)
{
	try
	{
		OutPath = std::filesystem::path(Path);
		return true;
	}
	catch (...)
	{
		return false;
	}
}

bool TryFromFileSystemPath(const std::filesystem::path& Path, std::wstring& OutPath)
{
	try
	{
		OutPath = Path.native();
		return true;
	}
	catch (...)
	{
		return false;
	}
}

bool TextFilesUseCrLf()
{
	return true;
}
