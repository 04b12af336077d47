#pragma once

#include <string>

struct FBootstrapperConfig
{
	std::wstring ApplicationPath;
	std::wstring WorkingDirectory;
	bool WaitForExit = false;
	bool NoOperation = false;
};

// The one boolean syntax: "true", "false", "1", "0" in any letter case.
// OutValue is written only when the text is a boolean.
bool TryParseBool(const std::wstring& Text, bool& OutValue);
