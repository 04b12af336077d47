#pragma once

#include "app/Entry.h"

#include <string>
#include <vector>

// The log lives in the XDG state folder: XDG_STATE_HOME, else ~/.local/state.
bool TryGetLinuxLogFilePath(std::wstring& OutPath);

// Program arguments as wide strings (UTF-8 decoded; an invalid byte becomes U+FFFD).
std::vector<std::wstring> DecodeProgramArguments(int ArgumentCount, char** Arguments);

FEntryEnvironment MakeLinuxEntryEnvironment(const std::wstring& FullCommandLine, const std::string& TelemetryBaseUrl);
