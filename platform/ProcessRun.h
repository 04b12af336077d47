#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The command line a Windows child is started with, and the one logged on every
// system: the executable path in double quotes (also without spaces, so the
// program name never depends on the path), then, when an argument text is
// present, one space and the text unchanged. The argument text is the caller's
// own and is passed on as it is.
std::wstring FormProcessCommandLine(const std::wstring& ExecutablePath, const std::optional<std::wstring>& Arguments);

// The arguments a child gets on a system that starts a program by its path and
// an argument vector: the executable path exactly as given (it is also the
// program name), then the argument text split by SplitCommandLineArguments, so
// the child finds what a Windows program would. The path is never re-read from
// the command line: a double quote in it would end the program name there.
std::vector<std::wstring> FormProcessArguments(const std::wstring& ExecutablePath, const std::optional<std::wstring>& Arguments);

// The system's part of running one child. A failing step logs the system's
// error itself (the code has to be read right after the failing call) and
// hands the code back.
class IProcessStarter
{
public:
	virtual ~IProcessStarter() = default;

	virtual bool TryStart(const std::wstring& CommandLine, const std::optional<std::wstring>& WorkingDirectory,
		bool bBreakaway, uint32_t& OutProcessId, uint32_t& OutErrorCode) = 0;
	// Blocks without a time limit until the started process has ended.
	virtual bool TryWaitForExit(uint32_t& OutExitCode, uint32_t& OutErrorCode) = 0;
};

// The run sequence both systems share: forms and logs the command line, starts
// the child and, when asked, waits for it. The exit-code output (may be null)
// is 0 from the start; it receives the exit code after a wait, or the system's
// error code when the start, the wait or reading the exit code failed. A child
// whose end could not be observed is a failure, never an exit code of 0.
bool RunProcess(const wchar_t* Category, IProcessStarter& Starter, const std::wstring& ExecutablePath,
	const std::optional<std::wstring>& Arguments, const std::optional<std::wstring>& WorkingDirectory, bool bBreakaway,
	bool bWait, uint32_t* OutExitCode);
