#include "platform/FileNames.h"

#include "platform/Utf8.h"

// Linux file names are bytes; the program's names travel as UTF-8. The
// conversion is done here rather than by the locale, which may be "C" and
// would throw on the first character outside ASCII.
bool TryToFileSystemPath(const std::wstring& Path, std::filesystem::path& OutPath)
{
	std::string Bytes;
	if (!TryEncodeUtf8(Path, Bytes))
	{
		return false;
	}
	OutPath = std::filesystem::path(std::move(Bytes));
	return true;
}

bool TryFromFileSystemPath(const std::filesystem::path& Path, std::wstring& OutPath)
{
	size_t ErrorOffset = 0;
	return TryDecodeUtf8(Path.native(), OutPath, ErrorOffset);
}

bool TextFilesUseCrLf()
{
	return false;
}
