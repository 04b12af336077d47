#include "platform/FileNames.h"

// Windows paths are UTF-16 already: nothing to convert.
bool TryToFileSystemPath(const std::wstring& Path, std::filesystem::path& OutPath)
{
	OutPath = std::filesystem::path(Path);
	return true;
}

bool TryFromFileSystemPath(const std::filesystem::path& Path, std::wstring& OutPath)
{
	OutPath = Path.native();
	return true;
}

bool TextFilesUseCrLf()
{
	return true;
}
