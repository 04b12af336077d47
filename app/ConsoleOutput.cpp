#include "app/ConsoleOutput.h"

#include "platform/Utf8.h"

#include <cstdio>

void WriteConsoleLine(const std::wstring& Text)
{
	std::string Bytes = EncodeUtf8Lossless(Text);
	Bytes.push_back('\n');
	std::fwrite(Bytes.data(), 1, Bytes.size(), stdout);
	std::fflush(stdout);
}
