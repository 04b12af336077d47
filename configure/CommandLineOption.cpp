#include "configure/CommandLineOption.h"

#include "app/FormatString.h"
#include "bootstrap/ConfigKeys.h"
#include "configure/CommandLine.h"

FCommandLineOption MakeCommandLineOption(const std::wstring& ShortName, const std::wstring& LongName,
	const wchar_t* SyntaxPattern, const std::wstring& Description)
{
	return FCommandLineOption{ShortName, LongName, FormatString(SyntaxPattern, ShortName, LongName), Description};
}

std::vector<std::vector<FCommandLineOption>> FConfigureOptions::GetUsageGroups() const
{
	return {{OutputPath, AppPath, WorkingDir, WaitForExit, NoOperation, CopyResources}, {Help}};
}

FConfigureOptions MakeConfigureOptions(const ICommandLine& CommandLine)
{
	constexpr const wchar_t* RequiredPath = L"(%s|%s <path>)";
	constexpr const wchar_t* OptionalPath = L"[%s|%s <path>]";
	constexpr const wchar_t* OptionalBool = L"[%s|%s [<bool>]]";

	FConfigureOptions Options;
	Options.OutputPath = MakeCommandLineOption(L"-o", L"--output-path", RequiredPath,
		L"Output file path where to copy the Bootstrapper executable, as a relative or an absolute path, including the "
		L"file name.");
	Options.AppPath = MakeCommandLineOption(L"-a", L"--app-path", RequiredPath,
		L"Target application file path to run, including relative path if the output Bootstrapper executable will not "
		L"be located in the same folder.");
	Options.WorkingDir = MakeCommandLineOption(L"-w", L"--working-dir", OptionalPath,
		L"Optional. Relative working directory to set when running the target application.");
	Options.WaitForExit = MakeCommandLineOption(L"-f", CommandLine.ToOptionName(WaitForExitKey), OptionalBool,
		L"Optional, false by default. If set, Bootstrapper will exit only after the target application has exited.");
	Options.NoOperation = MakeCommandLineOption(L"-n", CommandLine.ToOptionName(NoOperationKey), OptionalBool,
		L"Optional, false by default. If set, the target application will be started directly without initializing "
		L"the KVT Service.");
	Options.CopyResources = MakeCommandLineOption(L"-r", L"--copy-resources", OptionalBool,
		L"Optional, false by default. If set, the program icon and version information is copied into the output "
		L"Boostrapper executable from the target application executable. This will also remove the existing "
		L"Authenticode digital signature from the Bootstrapper executable.");
	Options.Help = MakeCommandLineOption(L"-h", L"--help", L"[%s|%s]", L"Display this help message and exit.");
	return Options;
}

bool TryGetOptionPath(const ICommandLine& CommandLine, const FCommandLineOption& Option, std::wstring& OutPath)
{
	return CommandLine.TryGetPathOption(Option.ShortName, OutPath) ||
		CommandLine.TryGetPathOption(Option.LongName, OutPath);
}

bool TryGetOptionFlag(const ICommandLine& CommandLine, const FCommandLineOption& Option, bool& OutValue)
{
	return CommandLine.TryGetBoolOption(Option.ShortName, OutValue) ||
		CommandLine.TryGetBoolOption(Option.LongName, OutValue);
}
