#include "platform/TextFile.h"

#include "platform/FileNames.h"
#include "platform/Utf8.h"

bool TryEncodeTextFile(const std::wstring& Text, std::string& OutBytes)
{
	std::string Bytes;
	if (!TryEncodeUtf8(Text, Bytes))
	{
		return false;
	}
	if (!TextFilesUseCrLf())
	{
		OutBytes = std::move(Bytes);
		return true;
	}
	OutBytes.clear();
	OutBytes.reserve(Bytes.size() + Bytes.size() / 16);
	for (const char Byte : Bytes)
	{
		if (Byte == '\n')
		{
			OutBytes.push_back('\r');
		}
		OutBytes.push_back(Byte);
	}
	return true;
}
