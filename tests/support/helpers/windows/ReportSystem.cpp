#include "tests/support/helpers/ReportSystem.h"

#include "platform/windows/WindowsHandles.h"

#include <shellapi.h>

std::vector<std::wstring> GetReportArguments(int, char**)
{
	// The system's own parser, independent of ours.
	std::vector<std::wstring> Result;
	int Count = 0;
	LPWSTR* Arguments = ::CommandLineToArgvW(::GetCommandLineW(), &Count);
	const FScopedLocalMemory Owner(reinterpret_cast<HLOCAL>(Arguments));
	for (int Index = 0; Arguments != nullptr && Index < Count; ++Index)
	{
		Result.emplace_back(Arguments[Index]);
	}
	return Result;
}

std::vector<std::wstring> GetReportEnvironment()
{
	std::vector<std::wstring> Result;
	wchar_t* Block = ::GetEnvironmentStringsW();
	for (const wchar_t* Entry = Block; *Entry != L'\0'; Entry += Result.back().size() + 1)
	{
		Result.emplace_back(Entry);
	}
	::FreeEnvironmentStringsW(Block);
	return Result;
}

FReportLines GetReportSystemFacts()
{
	FReportLines Lines;
	Lines.emplace_back(L"commandline", ::GetCommandLineW());
	BOOL bInJob = FALSE;
	Lines.emplace_back(L"injob", ::IsProcessInJob(::GetCurrentProcess(), nullptr, &bInJob) ? (bInJob ? L"1" : L"0") : L"?");
	return Lines;
}
