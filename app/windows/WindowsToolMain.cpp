// The configure tool: a console program that writes a configured launcher.
#include "app/windows/WindowsEntryEnvironment.h"
#include "platform/SystemErrorLog.h"
#include "platform/windows/WindowsHeaders.h"

#include "BuildConfig.h"

namespace
{
	// Its own log next to the launcher's, so that configuring a launcher
	// never wipes the log of the launcher's last run.
	constexpr const wchar_t* ToolLogFilePathTemplate =
		L"%LOCALAPPDATA%\\Zorvan Games\\Zorvan Online Services\\Bootstrapper\\Logs\\KVTBootstrapperTool.log";

	// The argument text as the launcher's GUI entry receives it: the command
	// line without the program name (quoted, or up to the first blank) and the
	// blanks after it.
	const wchar_t* SkipProgramName(const wchar_t* CommandLine)
	{
		if (CommandLine == nullptr)
		{
			return L"";
		}
		const wchar_t* Cursor = CommandLine;
		if (*Cursor == L'"')
		{
			++Cursor;
			while (*Cursor != L'\0' && *Cursor != L'"')
			{
				++Cursor;
			}
			if (*Cursor == L'"')
			{
				++Cursor;
			}
		}
		else
		{
			while (*Cursor != L'\0' && *Cursor != L' ' && *Cursor != L'\t')
			{
				++Cursor;
			}
		}
		while (*Cursor == L' ' || *Cursor == L'\t')
		{
			++Cursor;
		}
		return Cursor;
	}
}

int wmain(int, wchar_t**)
{
	RestrictDllSearchToSystemFolder();
	// What comes before the entry has a guard of its own; the entry guards the rest.
	FEntryEnvironment Environment;
	std::wstring ArgumentText;
	const bool bPrepared = GuardOperation(L"wmain", false, [&]
	{
		Environment = MakeWindowsEntryEnvironment(KVT_TELEMETRY_URL);
		Environment.TryGetLogFilePath = [](std::wstring& OutPath)
		{ return TryExpandLogFilePath(ToolLogFilePathTemplate, OutPath); };
		ArgumentText = SkipProgramName(::GetCommandLineW());
		return true;
	});
	return bPrepared ? RunConfigureEntry(Environment, ArgumentText) : 1;
}
