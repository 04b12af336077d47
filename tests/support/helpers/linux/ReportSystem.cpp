#include "tests/support/helpers/ReportSystem.h"

#include "platform/Utf8.h"

#include <unistd.h>

extern char** environ;

std::vector<std::wstring> GetReportArguments(int ArgumentCount, char** Arguments)
{
	std::vector<std::wstring> Result;
	for (int Index = 0; Index < ArgumentCount; ++Index)
	{
		Result.push_back(DecodeUtf8Lossless(Arguments[Index]));
	}
	return Result;
}

std::vector<std::wstring> GetReportEnvironment()
{
	std::vector<std::wstring> Result;
	for (char** Entry = environ; *Entry != nullptr; ++Entry)
	{
		Result.push_back(DecodeUtf8Lossless(*Entry));
	}
	return Result;
}

FReportLines GetReportSystemFacts()
{
	return FReportLines{
		{L"pid", std::to_wstring(::getpid())},
		{L"pgid", std::to_wstring(::getpgrp())},
		{L"sid", std::to_wstring(::getsid(0))},
	};
}
