#include "platform/windows/WindowsPlatform.h"

#include "app/Log.h"
#include "platform/ProcessRun.h"
#include "platform/SystemErrorLog.h"
#include "platform/windows/WindowsHandles.h"

#include <vector>

namespace
{
	class FWindowsProcessStarter final : public IProcessStarter
	{
	public:
		bool TryStart(const std::wstring& CommandLine, const std::optional<std::wstring>& WorkingDirectory, bool bBreakaway,
			uint32_t& OutProcessId, uint32_t& OutErrorCode) override
		{
			// Under a debugger the child starts suspended, so that the debugger can
			// attach to it before its first instruction; it is resumed at once.
			const bool bSuspended = ::IsDebuggerPresent() != FALSE;
			DWORD Flags = NORMAL_PRIORITY_CLASS | DETACHED_PROCESS;
			if (bSuspended)
			{
				Flags |= CREATE_SUSPENDED;
			}
			if (bBreakaway)
			{
				Flags |= CREATE_BREAKAWAY_FROM_JOB;
			}

			// The size field announces the extended record without
			// EXTENDED_STARTUPINFO_PRESENT, so the system may read that many bytes:
			// the record passed must really be the extended one.
			STARTUPINFOEXW StartupInfo{};
			StartupInfo.StartupInfo.cb = sizeof(STARTUPINFOEXW);
			StartupInfo.StartupInfo.dwX = CW_USEDEFAULT;
			StartupInfo.StartupInfo.dwY = CW_USEDEFAULT;
			StartupInfo.StartupInfo.dwXSize = CW_USEDEFAULT;
			StartupInfo.StartupInfo.dwYSize = CW_USEDEFAULT;
			StartupInfo.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
			StartupInfo.StartupInfo.wShowWindow = SW_SHOWDEFAULT;
			// Without STARTF_USESTDHANDLES this has no effect; kept as the launcher always passed it.
			StartupInfo.StartupInfo.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);

			// CreateProcessW may write into the command line.
			std::vector<wchar_t> CommandLineBuffer(CommandLine.begin(), CommandLine.end());
			CommandLineBuffer.push_back(L'\0');

			PROCESS_INFORMATION Information{};
			if (!::CreateProcessW(nullptr, CommandLineBuffer.data(), nullptr, nullptr, FALSE, Flags, nullptr,
					WorkingDirectory.has_value() ? WorkingDirectory->c_str() : nullptr, &StartupInfo.StartupInfo,
					&Information))
			{
				OutErrorCode = ::GetLastError();
				LogErrorWithErrorCode(L"Failed to create process", OutErrorCode);
				return false;
			}
			Process.Reset(Information.hProcess);
			Thread.Reset(Information.hThread);

			if (bSuspended && ::ResumeThread(Thread.Get()) == static_cast<DWORD>(-1))
			{
				OutErrorCode = ::GetLastError();
				LogErrorWithErrorCode(L"Failed to resume process", OutErrorCode);
				// A child that can never run must not stay behind.
				::TerminateProcess(Process.Get(), OutErrorCode);
				return false;
			}
			OutProcessId = Information.dwProcessId;
			return true;
		}

		bool TryWaitForExit(uint32_t& OutExitCode, uint32_t& OutErrorCode) override
		{
			if (::WaitForSingleObject(Process.Get(), INFINITE) != WAIT_OBJECT_0)
			{
				OutErrorCode = ::GetLastError();
				LogErrorWithErrorCode(L"Failed to wait for process", OutErrorCode);
				return false;
			}
			DWORD ExitCode = 0;
			if (!::GetExitCodeProcess(Process.Get(), &ExitCode))
			{
				OutErrorCode = ::GetLastError();
				LogErrorWithErrorCode(L"Failed to get process exit code", OutErrorCode);
				return false;
			}
			OutExitCode = ExitCode;
			return true;
		}

	private:
		FScopedKernelHandle Process;
		FScopedKernelHandle Thread;
	};
}

bool FWindowsPlatform::TryRunExecutable(const std::wstring& ExecutablePath, const std::optional<std::wstring>& Arguments,
	const std::optional<std::wstring>& WorkingDirectory, bool bBreakaway, bool bWait, uint32_t* OutExitCode)
{
	constexpr const wchar_t* Category = L"FWindowsPlatform::TryRunExecutable";
	return GuardOperation(Category, false, [&]
	{
		FWindowsProcessStarter Starter;
		return RunProcess(Category, Starter, ExecutablePath, Arguments, WorkingDirectory, bBreakaway, bWait, OutExitCode);
	});
}

bool FWindowsPlatform::TrySetEnvironmentVariable(const std::wstring& Name, const std::wstring& Value)
{
	constexpr const wchar_t* Category = L"FWindowsPlatform::TrySetEnvironmentVariable";
	return GuardOperation(Category, false, [&]
	{
		Log(ELogLevel::Verbose, Category, L"Trying to set environment variable: '%s=%s'", Name, Value);
		if (!::SetEnvironmentVariableW(Name.c_str(), Value.c_str()))
		{
			const DWORD ErrorCode = ::GetLastError();
			LogErrorWithErrorCode(FormatString(L"Failed to set environment variable: '%s=%s'", Name, Value), ErrorCode);
			return false;
		}
		Log(ELogLevel::Verbose, Category, L"Successfully set environment variable: '%s=%s'", Name, Value);
		return true;
	});
}

void FWindowsPlatform::DeleteEnvironmentVariable(const std::wstring& Name)
{
	Log(ELogLevel::Verbose, L"FWindowsPlatform::DeleteEnvironmentVariable", L"'%s'", Name);
	// Whether the variable existed does not matter to anyone.
	::SetEnvironmentVariableW(Name.c_str(), nullptr);
}
