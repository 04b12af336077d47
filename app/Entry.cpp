#include "app/Entry.h"

#include "app/Log.h"
#include "app/ProductInfo.h"
#include "configure/CommandLine.h"
#include "platform/LogFile.h"
#include "platform/Platform.h"
#include "platform/SystemErrorLog.h"
#include "platform/TextFile.h"

namespace
{
	// The log file as the sink holds it: open for the path it was opened for,
	// until the path changes, a write fails (the next line tries again) or the
	// sink is cleared. The sink never logs about its own failures.
	struct FOpenLogFile
	{
		std::wstring Path;
		FScopedLogFile File;

		void Append(const std::wstring& CurrentPath, const std::wstring& Text)
		{
			if (CurrentPath.empty())
			{
				File.Reset();
				return;
			}
			if (!File.IsValid() || Path != CurrentPath)
			{
				File.Reset(OpenLogFile(CurrentPath, false));
				Path = CurrentPath;
			}
			std::string Bytes;
			if (File.IsValid() && (!TryEncodeTextFile(Text, Bytes) || !AppendToLogFile(File.Get(), Bytes)))
			{
				File.Reset();
			}
		}
	};
}

void InstallLogSink(std::function<void(const std::wstring&)> WriteDebugOutput)
{
	// Replacing an earlier sink closes the file it held.
	GetLogSink() = [WriteDebugOutput = std::move(WriteDebugOutput), LogFile = std::make_shared<FOpenLogFile>()](
					   const std::wstring&, ELogLevel, const std::wstring&, const std::wstring& Line)
	{
		const std::wstring Text = FormatString(L"%s\n", Line);
		if (WriteDebugOutput)
		{
			WriteDebugOutput(Text);
		}
		LogFile->Append(GetLogFilePath(), Text);
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
		// No log file until this entry knows its own.
		GetLogFilePath().clear();
		InstallLogSink(Environment.WriteDebugOutput);

		Application = Environment.CreateApplication();

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

	// The sink goes first, closing the log file: nothing may log into a
	// destroyed application.
	GetLogSink() = nullptr;
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
