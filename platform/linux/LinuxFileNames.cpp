#include "platform/FileNames.h"

#include "platform/linux/LinuxSystemText.h"

// Linux file names are bytes, converted by the system text rules rather than
// by the locale, which may be "C" and would throw on the first character
// outside ASCII. A name with a zero is refused here, as the system would cut
// it there: every check and every use of the name then agree.
bool TryToFileSystemPath(const std::wstring& Path, std::filesystem::path& OutPath)
{
	std::string Bytes;
	int ErrorCode = 0;
	if (!TryEncodeSystemText(Path, Bytes, ErrorCode))
	{
		return false;
	}
	OutPath = std::filesystem::path(std::move(Bytes));
	return true;
}

bool TryFromFileSystemPath(const std::filesystem::path& Path, std::wstring& OutPath)
{
	OutPath = DecodeSystemText(Path.native());
	return true;
}

bool TextFilesUseCrLf()
{
	return false;
}
