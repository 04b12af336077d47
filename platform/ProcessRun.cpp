#include "platform/ProcessRun.h"

#include "app/Log.h"
#include "platform/CommandLineArguments.h"

std::wstring FormProcessCommandLine(const std::wstring& ExecutablePath, const std::optional<std::wstring>& Arguments)
{
	std::wstring CommandLine = FormatString(L"\"%s\"", ExecutablePath);
	if (Arguments.has_value())
	{
		CommandLine = FormatString(L"%s %s", CommandLine, *Arguments);
	}
	return CommandLine;
}

std::vector<std::wstring> FormProcessArguments(const std::wstring& ExecutablePath, const std::optional<std::wstring>& Arguments)
{
	std::vector<std::wstring> Result{ExecutablePath};
	if (Arguments.has_value())
	{
		for (std::wstring& Argument : SplitCommandLineArguments(*Arguments))
		{
			Result.push_back(std::move(Argument));
		}
	}
	return Result;
}

bool RunProcess(const wchar_t* Category, IProcessStarter& Starter, const std::wstring& ExecutablePath,
	const std::optional<std::wstring>& Arguments, const std::optional<std::wstring>& WorkingDirectory, bool bBreakaway,
	bool bWait, uint32_t* OutExitCode)
{
	if (OutExitCode != nullptr)
	{
		*OutExitCode = 0;
	}

	const std::wstring CommandLine = FormProcessCommandLine(ExecutablePath, Arguments);
	Log(ELogLevel::Verbose, Category, L"Creating process with command: '%s'", CommandLine);
	if (WorkingDirectory.has_value())
	{
		Log(ELogLevel::Verbose, Category, L"Working directory: '%s'", *WorkingDirectory);
	}
	else
	{
		Log(ELogLevel::Verbose, Category, L"No working directory");
	}
	if (bBreakaway)
	{
		Log(ELogLevel::Verbose, Category, L"Process will NOT be added to job");
	}
	else
	{
		// Without breakaway the child joins the session's group by inheritance.
		Log(ELogLevel::Verbose, Category, L"Process will be added to job");
	}

	uint32_t ProcessId = 0;
	uint32_t ErrorCode = 0;
	if (!Starter.TryStart(CommandLine, WorkingDirectory, bBreakaway, ProcessId, ErrorCode))
	{
		if (OutExitCode != nullptr)
		{
			*OutExitCode = ErrorCode;
		}
		return false;
	}
	Log(ELogLevel::Verbose, Category, L"Process created with pid: %i", ProcessId);

	if (!bWait)
	{
		return true;
	}
	Log(ELogLevel::Verbose, Category, L"Waiting for exit code");
	uint32_t ExitCode = 0;
	if (!Starter.TryWaitForExit(ExitCode, ErrorCode))
	{
		// The caller acts on the exit code: a made-up 0 would read as success.
		if (OutExitCode != nullptr)
		{
			*OutExitCode = ErrorCode;
		}
		return false;
	}
	Log(ELogLevel::Verbose, Category, L"Process exited with code: 0x%X", ExitCode);
	if (OutExitCode != nullptr)
	{
		*OutExitCode = ExitCode;
	}
	return true;
}
