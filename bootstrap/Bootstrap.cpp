#include "bootstrap/GenericBootstrapper.h"

#include "analytics/Analytics.h"
#include "app/Log.h"
#include "configure/CommandLine.h"
#include "platform/MonotonicClock.h"
#include "platform/PathRules.h"
#include "platform/Platform.h"
#include "platform/SystemErrorLog.h"


namespace
{
	constexpr const wchar_t* BootstrapCategory = L"FGenericBootstrapper::Bootstrap";
	constexpr int32_t MaxUserHelperRuns = 10;
	constexpr uint32_t UserHelperSuccess = 0;
	constexpr uint32_t UserHelperRestart = 3;

	const wchar_t* const UserHelperRegistryKey = L"SOFTWARE\\Zorvan Games\\KVT\\UserHelper";
	const wchar_t* const UserHelperRegistryValue = L"Path";
	const wchar_t* const StartupInfoVariable = L"KVT_SESSION_STARTUPINFO";
}

int64_t FGenericBootstrapper::ReadMonotonicNanoseconds() const
{
	return ReadSteadyClockNanoseconds();
}

int32_t FGenericBootstrapper::Bootstrap(const std::wstring& ProductName, const std::wstring& VersionTag)
{
	const auto Fail = [&]
	{
		Log(ELogLevel::Error, BootstrapCategory, L"Failed with an unexpected error.");
		return 1;
	};
	return GuardWithOwnFailure(Fail, [&]
	{
		Log(ELogLevel::Info, BootstrapCategory, L"Started %s %s.", ProductName, VersionTag);
		const int64_t StartTime = ReadMonotonicNanoseconds();

		IPlatform& Platform = *GetPlatform();
		const std::wstring ExecutablePath = Platform.GetExecutablePath();
		const std::wstring ConfigPath = GetConfigPath(ExecutablePath);
		Log(ELogLevel::Info, BootstrapCategory, L"Reading config file: '%s'.", ConfigPath);

		FBootstrapperConfig Config;
		if (!TryReadConfig(ConfigPath, Config))
		{
			Log(ELogLevel::Error, BootstrapCategory, L"Failed to read and parse the config file!");
			return 1;
		}

		// A launcher that starts itself would start itself again without end:
		// other spellings, short names and links of the same file count too.
		if (ArePathsLexicallyEqual(ExecutablePath, Config.ApplicationPath) ||
			Platform.IsSameFile(ExecutablePath, Config.ApplicationPath))
		{
			Log(ELogLevel::Error, BootstrapCategory,
				L"Target application to run cannot be the Bootstrapper executable itself! Check the value of ApplicationPath.");
			return 1;
		}

		// Held until this function returns: the session's process group lives as long.
		std::shared_ptr<IProcessGroup> ProcessGroup;
		std::wstring SessionGuid;
		if (!TryCreateSession(Config, ProcessGroup, SessionGuid))
		{
			Log(ELogLevel::Error, BootstrapCategory, L"Failed to create a new session!");
			return 1;
		}

		IAnalytics& Analytics = *GetAnalytics();
		Analytics.SetSessionId(SessionGuid);
		Analytics.RecordBootstrapStart();

		const std::wstring ArgumentText = GetCommandLine()->GetText();
		int32_t RestartCount = 0;
		uint32_t FinalExitCode = 0;
		const FInitResult InitResult = InitializeService(Config, ArgumentText, RestartCount, FinalExitCode);

		if (!OnInitCompleted(InitResult))
		{
			Log(ELogLevel::Error, BootstrapCategory,
				L"Initialization completion failed. Cannot proceed to run the target application.");
			return 1;
		}

		Log(ELogLevel::Info, BootstrapCategory, L"Running the target application: '%s'.", Config.ApplicationPath);
		const std::optional<std::wstring> WorkingDirectory =
			Config.WorkingDirectory.empty() ? std::nullopt : std::optional<std::wstring>(Config.WorkingDirectory);

		const int64_t ElapsedMilliseconds = (ReadMonotonicNanoseconds() - StartTime) / 1000000;
		Analytics.RecordStartupSpeed(static_cast<int32_t>(ElapsedMilliseconds), RestartCount,
			static_cast<int32_t>(FinalExitCode));

		uint32_t TargetExitCode = 0;
		if (!Platform.TryRunExecutable(Config.ApplicationPath, ArgumentText, WorkingDirectory, false, Config.WaitForExit,
				&TargetExitCode))
		{
			Log(ELogLevel::Error, BootstrapCategory, L"Failed to run the target application.");
			return 1;
		}

		Analytics.FlushEvents();

		if (Config.WaitForExit && TargetExitCode != 0)
		{
			Log(ELogLevel::Error, BootstrapCategory, L"Target application failed with exit code: %Xh.", TargetExitCode);
			return static_cast<int32_t>(TargetExitCode);
		}
		Log(ELogLevel::Info, BootstrapCategory, L"Completed successfully.");
		return 0;
	});
}

FInitResult FGenericBootstrapper::InitializeService(const FBootstrapperConfig& Config, const std::wstring& ArgumentText,
	int32_t& OutRestartCount, uint32_t& OutFinalExitCode)
{
	if (Config.NoOperation)
	{
		Log(ELogLevel::Info, BootstrapCategory,
			L"NoOperation is set. Target application will be started without initializing the KVT Service.");
		return FInitResult::NoOperation();
	}

	Log(ELogLevel::Info, BootstrapCategory, L"Retrieving the KVT Service install location.");
	std::wstring UserHelperPath;
	if (!TryGetUserHelperPath(UserHelperPath))
	{
		Log(ELogLevel::Error, BootstrapCategory, L"Failed to retrieve the install location of the local KVT Service.");
		return FInitResult::ServiceNotInstalled();
	}

	Log(ELogLevel::Info, BootstrapCategory, L"KVT User Helper application located: '%s'.", UserHelperPath);
	// The User Helper runs outside the session's group and is waited for; it
	// asks for another run with its restart code, up to the limit.
	for (int32_t Run = 1;; ++Run)
	{
		Log(ELogLevel::Info, BootstrapCategory, L"Running the User Helper application. (%i/%i)", Run, MaxUserHelperRuns);
		uint32_t ExitCode = 0;
		if (!GetPlatform()->TryRunExecutable(UserHelperPath, ArgumentText, std::nullopt, true, true, &ExitCode))
		{
			Log(ELogLevel::Error, BootstrapCategory, L"Failed to run the User Helper application!");
			return FInitResult::ServiceInitFailed(ExitCode);
		}
		GetAnalytics()->RecordUserHelperExit(static_cast<int32_t>(ExitCode));
		OutFinalExitCode = ExitCode;
		if (ExitCode == UserHelperSuccess)
		{
			Log(ELogLevel::Info, BootstrapCategory, L"KVT Service successfully initialized.");
			return FInitResult::Success();
		}
		if (ExitCode != UserHelperRestart)
		{
			Log(ELogLevel::Error, BootstrapCategory,
				L"KVT Service initialization failed. User Helper application exited with %Xh.", ExitCode);
			return FInitResult::ServiceInitFailed(ExitCode);
		}
		Log(ELogLevel::Info, BootstrapCategory, L"KVT Service requested to be restarted.");
		++OutRestartCount;
		if (Run >= MaxUserHelperRuns)
		{
			Log(ELogLevel::Error, BootstrapCategory,
				L"Maximum number of allowed KVT Service restarts reached, stopping. The KVT Service will not be started.");
			return FInitResult::ServiceInitFailed(UserHelperRestart);
		}
	}
}

bool FGenericBootstrapper::TryGetUserHelperPath(std::wstring& OutPath)
{
	// One category on every system, as the log has always named this step: readers
	// and tools match it, so it stays although the code is generic.
	constexpr const wchar_t* Category = L"FWindowsBootstrapper::TryGetUserHelperPath";
	return GuardOperation(Category, false, [&]
	{
		std::wstring Path;
		if (!GetPlatform()->TryGetValueFromRegistry(UserHelperRegistryKey, UserHelperRegistryValue, Path))
		{
			Log(ELogLevel::Error, Category,
				L"Failed to read Windows Registry for the User Helper application location. Key: %s\\%s.",
				UserHelperRegistryKey, UserHelperRegistryValue);
			return false;
		}
		if (!GetPlatform()->FileExists(Path))
		{
			Log(ELogLevel::Error, Category, L"User Helper application executable not found on disk: '%s'.", Path);
			return false;
		}
		Log(ELogLevel::Verbose, Category, L"User Helper application located at: '%s'.", Path);
		OutPath = Path;
		return true;
	});
}

bool FGenericBootstrapper::OnInitCompleted(const FInitResult& Result)
{
	// One category on every system, as the log has always named this step: readers
	// and tools match it, so it stays although the code is generic.
	constexpr const wchar_t* Category = L"FWindowsBootstrapper::OnInitCompleted";
	return GuardOperation(Category, false, [&]
	{
		const std::wstring Value = FormatString(L"%s,%s,%s", L"1", Result.ToString(), Result.GetDetail());
		if (!GetPlatform()->TrySetEnvironmentVariable(StartupInfoVariable, Value))
		{
			Log(ELogLevel::Error, Category, L"Failed to set environment variable: '%s=%s'", StartupInfoVariable, Value);
			return false;
		}
		if (!Result.IsSuccess())
		{
			GetPlatform()->DeleteEnvironmentVariable(GetSessionGuidVariableName());
		}
		return true;
	});
}
