#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The command line a child is started with on every system: the executable
// path in double quotes (also without spaces, so the program name never depends
// on the path), then, when an argument text is present, one space and the text
// unchanged. The argument text is the caller's own and is passed on as it is.
std::wstring FormProcessCommandLine(const std::wstring& ExecutablePath, const std::optional<std::wstring>& Arguments);

// Splits such a command line the way a Windows program sees it, so a child gets
// the same arguments everywhere: the program name by its own rule (after a
// leading quote everything up to the next quote, without escapes; otherwise up
// to the first space or tab), the rest by SplitCommandLineArguments.
// The first element is the program name.
std::vector<std::wstring> SplitProcessCommandLine(const std::wstring& CommandLine);

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
