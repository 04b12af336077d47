#pragma once

#include "app/Bootstrapper.h"

#include <functional>
#include <memory>
#include <string>

// What the entry needs from the system it runs on.
struct FEntryEnvironment
{
	// The debugger copy of each log line.
	std::function<void(const std::wstring& Text)> WriteDebugOutput;
	// The log file's path; false when it cannot be determined (then no log file).
	std::function<bool(std::wstring& OutPath)> TryGetLogFilePath;
	std::function<std::unique_ptr<IBootstrapper>()> CreateApplication;
};

// The entry sequence shared by both systems: log sink, application object,
// log path, empty log file, argument text, Bootstrap. Returns the exit code,
// 1 when a step throws (the one guard of the entry logs it). Never throws.
int32_t RunBootstrapperEntry(const FEntryEnvironment& Environment, const std::wstring& ArgumentText);

// The configure tool's entry: the same steps, with Configure in place of Bootstrap.
int32_t RunConfigureEntry(const FEntryEnvironment& Environment, const std::wstring& ArgumentText);

// Installs the sink that copies each line to the debugger output and appends it
// to the log file named by GetLogFilePath, which it keeps open between lines.
void InstallLogSink(std::function<void(const std::wstring&)> WriteDebugOutput);
