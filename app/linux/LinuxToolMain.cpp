// The configure tool: writes a configured launcher.
#include "app/linux/LinuxEntryEnvironment.h"
#include "platform/CommandLineArguments.h"

#include "BuildConfig.h"

#include <vector>

namespace
{
	// Its own log next to the launcher's, so that configuring a launcher
	// never wipes the log of the launcher's last run.
	bool TryGetToolLogFilePath(std::wstring& OutPath)
	{
		std::wstring LauncherLogPath;
		if (!TryGetLinuxLogFilePath(LauncherLogPath))
		{
			return false;
		}
		OutPath = LauncherLogPath.substr(0, LauncherLogPath.rfind(L'/') + 1) + L"KVTBootstrapperTool.log";
		return true;
	}
}

int main(int ArgumentCount, char** Arguments)
{
	try
	{
		const std::vector<std::wstring> All = DecodeProgramArguments(ArgumentCount, Arguments);
		const std::vector<std::wstring> Rest(All.size() > 1 ? All.begin() + 1 : All.end(), All.end());
		FEntryEnvironment Environment = MakeLinuxEntryEnvironment(JoinCommandLineArguments(All), KVT_TELEMETRY_URL);
		Environment.TryGetLogFilePath = &TryGetToolLogFilePath;
		return RunConfigureEntry(Environment, JoinCommandLineArguments(Rest));
	}
	catch (...)
	{
		return 1;
	}
}
