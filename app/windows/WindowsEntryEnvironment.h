#pragma once

#include "app/Entry.h"

inline constexpr const wchar_t* LogFilePathTemplate =
	L"%LOCALAPPDATA%\\Zorvan Games\\Zorvan Online Services\\Bootstrapper\\Logs\\KVTBootstrapper.log";

// Expands the template with the process environment into a buffer of the size
// the expansion asks for. An undefined variable stays as written.
bool TryExpandLogFilePath(const wchar_t* Template, std::wstring& OutPath);

FEntryEnvironment MakeWindowsEntryEnvironment(const std::string& TelemetryBaseUrl);
