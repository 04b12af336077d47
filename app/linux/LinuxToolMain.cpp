// The configure tool: writes a configured launcher.
#include "app/linux/LinuxEntryEnvironment.h"
#include "app/linux/LinuxInheritedState.h"
#include "platform/CommandLineArguments.h"
#include "platform/SystemErrorLog.h"

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
	ResetInheritedState();
	// What comes before the entry has a guard of its own; the entry guards the rest.
	FEntryEnvironment Environment;
	std::wstring ArgumentText;
	const bool bPrepared = GuardOperation(L"main", false, [&]
	{
		const std::vector<std::wstring> All = DecodeProgramArguments(ArgumentCount, Arguments);
		const std::vector<std::wstring> Rest(All.size() > 1 ? All.begin() + 1 : All.end(), All.end());
		Environment = MakeLinuxEntryEnvironment(JoinCommandLineArguments(All), KVT_TELEMETRY_URL);
		Environment.TryGetLogFilePath = &TryGetToolLogFilePath;
		ArgumentText = JoinCommandLineArguments(Rest);
		return true;
	});
	return bPrepared ? RunConfigureEntry(Environment, ArgumentText) : 1;
}
