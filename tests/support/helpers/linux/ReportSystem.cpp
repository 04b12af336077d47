#include "tests/support/helpers/ReportSystem.h"

#include "platform/Utf8.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <unistd.h>

extern char** environ;

namespace
{
	// The arguments' bytes as the kernel holds them, in hex, each ended by a space:
	// names that are no UTF-8 compare exactly, whatever the text rules make of them.
	std::wstring GetArgumentBytes()
	{
		std::ifstream Stream("/proc/self/cmdline", std::ios::binary);
		std::wstring Hex;
		for (int Byte; (Byte = Stream.get()) != EOF;)
		{
			Hex += Byte == 0 ? std::wstring(L" ") : std::wstring{L"0123456789abcdef"[Byte >> 4], L"0123456789abcdef"[Byte & 15]};
		}
		return Hex;
	}

	// The signals it was started to ignore, by name ("PIPE,XFSZ,"): what a parent left it.
	std::wstring GetIgnoredSignals()
	{
		std::wstring Names;
		for (int Signal = 1; Signal < SIGRTMIN; ++Signal)
		{
			struct sigaction Action{};
			const bool bIgnored = ::sigaction(Signal, nullptr, &Action) == 0 && Action.sa_handler == SIG_IGN;
			Names += bIgnored ? DecodeUtf8Lossless(::sigabbrev_np(Signal)) + L"," : L"";
		}
		return Names;
	}

	// KVT_REPORT_LEAVE_CHILD=<seconds> leaves a process behind for that long,
	// holding what the helper inherited, as a service it started would.
	pid_t LeaveChildIfAsked()
	{
		const char* Seconds = std::getenv("KVT_REPORT_LEAVE_CHILD");
		const pid_t Child = Seconds != nullptr ? ::fork() : -1;
		if (Child == 0)
		{
			::sleep(static_cast<unsigned int>(std::atoi(Seconds)));
			::_exit(0);
		}
		return Child;
	}
}

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
		{L"argbytes", GetArgumentBytes()},
		{L"pid", std::to_wstring(::getpid())},
		{L"pgid", std::to_wstring(::getpgrp())},
		{L"sid", std::to_wstring(::getsid(0))},
		{L"ignored", GetIgnoredSignals()},
		{L"left", std::to_wstring(LeaveChildIfAsked())},
	};
}
