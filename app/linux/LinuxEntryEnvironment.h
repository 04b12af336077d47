#pragma once

#include "app/Entry.h"

#include <string>
#include <vector>

// The log lives in the XDG state folder: XDG_STATE_HOME, else ~/.local/state.
bool TryGetLinuxLogFilePath(std::wstring& OutPath);

// Program arguments as program text, by the system text rules (LinuxSystemText.h):
// each byte that is not UTF-8 is kept, so the game gets the arguments as they were.
std::vector<std::wstring> DecodeProgramArguments(int ArgumentCount, char** Arguments);

FEntryEnvironment MakeLinuxEntryEnvironment(const std::wstring& FullCommandLine, const std::string& TelemetryBaseUrl);
