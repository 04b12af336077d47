#pragma once

#include "app/Entry.h"

inline constexpr const wchar_t* LogFilePathTemplate =
	L"%LOCALAPPDATA%\\Zorvan Games\\Zorvan Online Services\\Bootstrapper\\Logs\\KVTBootstrapper.log";

// Expands the template with the process environment into a buffer of the size
// the expansion asks for. An undefined variable stays as written.
bool TryExpandLogFilePath(const wchar_t* Template, std::wstring& OutPath);

// Limits this process's later DLL loads to the system folder. DLLs loaded on
// first use (delay-loaded imports, what Schannel pulls in on the first upload,
// imagehlp for the signature removal) would otherwise be looked for in the
// program's own folder first, where anyone who can write there (a game folder,
// a Downloads folder) could plant one. Children are unaffected. Windows 7
// without its update lacks the function; the search then stays as it was.
// Call it first thing in each entry.
void RestrictDllSearchToSystemFolder();

FEntryEnvironment MakeWindowsEntryEnvironment(const std::string& TelemetryBaseUrl);
