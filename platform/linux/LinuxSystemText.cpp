#include "platform/linux/LinuxSystemText.h"

#include "platform/Utf8.h"

#include <cerrno>

bool TryEncodeSystemText(const std::wstring& Text, std::string& OutBytes, int& OutErrorCode)
{
	if (!TryEncodeUtf8(Text, OutBytes))
	{
		OutErrorCode = EILSEQ;
		return false;
	}
	if (OutBytes.find('\0') != std::string::npos)
	{
		OutErrorCode = EINVAL;
		return false;
	}
	return true;
}
