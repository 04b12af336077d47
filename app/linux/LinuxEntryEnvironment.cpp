#include "app/linux/LinuxEntryEnvironment.h"

#include "app/linux/LinuxBootstrapper.h"
#include "platform/linux/LinuxSystemText.h"

#include <cstdlib>

namespace
{
	bool TryGetAbsoluteDirectoryVariable(const char* Name, std::wstring& OutValue)
	{
		const char* Value = std::getenv(Name);
		// Relative values are invalid in the XDG rules and are ignored.
		if (Value == nullptr || Value[0] != '/')
		{
			return false;
		}
		OutValue = DecodeSystemText(Value);
		return true;
	}
}

bool TryGetLinuxLogFilePath(std::wstring& OutPath)
{
	std::wstring StateHome;
	if (!TryGetAbsoluteDirectoryVariable("XDG_STATE_HOME", StateHome))
	{
		std::wstring Home;
		if (!TryGetAbsoluteDirectoryVariable("HOME", Home))
		{
			return false;
		}
		StateHome = Home + L"/.local/state";
	}
	OutPath = StateHome + L"/Zorvan Games/Zorvan Online Services/Bootstrapper/Logs/KVTBootstrapper.log";
	return true;
}

std::vector<std::wstring> DecodeProgramArguments(int ArgumentCount, char** Arguments)
{
	std::vector<std::wstring> Result;
	for (int Index = 0; Index < ArgumentCount; ++Index)
	{
		Result.push_back(DecodeSystemText(Arguments[Index] != nullptr ? Arguments[Index] : ""));
	}
	return Result;
}

FEntryEnvironment MakeLinuxEntryEnvironment(const std::wstring& FullCommandLine, const std::string& TelemetryBaseUrl)
{
	FEntryEnvironment Environment;
	// No debugger channel here: the copy goes nowhere, as on Windows without a debugger.
	Environment.WriteDebugOutput = nullptr;
	Environment.TryGetLogFilePath = &TryGetLinuxLogFilePath;
	Environment.CreateApplication = [FullCommandLine, TelemetryBaseUrl]() -> std::unique_ptr<IBootstrapper>
	{ return std::make_unique<FLinuxBootstrapper>(FullCommandLine, TelemetryBaseUrl); };
	return Environment;
}
