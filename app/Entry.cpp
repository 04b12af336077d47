#include "app/Entry.h"

#include "app/Log.h"
#include "app/ProductInfo.h"
#include "configure/CommandLine.h"
#include "platform/Platform.h"
#include "platform/SystemErrorLog.h"

namespace
{
	IBootstrapper* GApplicationForSink = nullptr;
}

void InstallLogSink(std::function<void(const std::wstring&)> WriteDebugOutput, IBootstrapper* const* Application)
{
	GetLogSink() = [WriteDebugOutput = std::move(WriteDebugOutput), Application](const std::wstring&, ELogLevel,
					   const std::wstring&, const std::wstring& Line)
	{
		const std::wstring Text = FormatString(L"%s\n", Line);
		if (WriteDebugOutput)
		{
			WriteDebugOutput(Text);
		}
		IBootstrapper* App = Application != nullptr ? *Application : nullptr;
		if (App != nullptr && !GetLogFilePath().empty())
		{
			// Log flag false: the file write must never log about itself.
			App->GetPlatform()->TryWriteFile(GetLogFilePath(), Text, true, false);
		}
	};
}

// Both programs' entries: the launcher runs Bootstrap, the configure tool Configure.
static int32_t RunEntry(const wchar_t* Category, const FEntryEnvironment& Environment, const std::wstring& ArgumentText,
	int32_t (IBootstrapper::*Sequence)(const std::wstring& ProductName, const std::wstring& VersionTag))
{
	// Held outside the guard: the guard's line about a throw goes through the
	// sink to this application's log file, so the application outlives it.
	std::unique_ptr<IBootstrapper> Application;
	const int32_t Result = GuardOperation(Category, int32_t{1}, [&]() -> int32_t
	{
		InstallLogSink(Environment.WriteDebugOutput, &GApplicationForSink);

		Application = Environment.CreateApplication();
		GApplicationForSink = Application.get();

		// Set on every entry, also to nothing: a path left from an earlier entry
		// in this process would send this run's lines into that run's log.
		std::wstring LogPath;
		if (!Environment.TryGetLogFilePath || !Environment.TryGetLogFilePath(LogPath))
		{
			LogPath.clear();
		}
		GetLogFilePath() = LogPath;
		if (!LogPath.empty())
		{
			// Each run's log holds only that run's lines.
			Application->GetPlatform()->TryWriteFile(GetLogFilePath(), std::wstring(), false, false);
		}

		Application->GetCommandLine()->Parse(ArgumentText);
		return (Application.get()->*Sequence)(ProductName, VersionTag);
	});

	// The sink goes first: nothing may log into a destroyed application.
	GetLogSink() = nullptr;
	GApplicationForSink = nullptr;
	Application.reset();
	return Result;
}

int32_t RunBootstrapperEntry(const FEntryEnvironment& Environment, const std::wstring& ArgumentText)
{
	return RunEntry(L"RunBootstrapperEntry", Environment, ArgumentText, &IBootstrapper::Bootstrap);
}

int32_t RunConfigureEntry(const FEntryEnvironment& Environment, const std::wstring& ArgumentText)
{
	return RunEntry(L"RunConfigureEntry", Environment, ArgumentText, &IBootstrapper::Configure);
}
