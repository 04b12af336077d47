#pragma once

#include <string>
#include <vector>

class ICommandLine;

// One option of the configure tool as the help text shows it and the
// lookups find it.
struct FCommandLineOption
{
	std::wstring ShortName;
	std::wstring LongName;
	// Shown in the usage section: the pattern filled with the short and the long name.
	std::wstring Syntax;
	std::wstring Description;
};

FCommandLineOption MakeCommandLineOption(const std::wstring& ShortName, const std::wstring& LongName,
	const wchar_t* SyntaxPattern, const std::wstring& Description);

// The options of the configure tool, in the order of the usage section.
struct FConfigureOptions
{
	FCommandLineOption OutputPath;
	FCommandLineOption AppPath;
	FCommandLineOption WorkingDir;
	FCommandLineOption WaitForExit;
	FCommandLineOption NoOperation;
	FCommandLineOption CopyResources;
	FCommandLineOption Help;

	// The usage groups: every option but help, then help on its own.
	std::vector<std::vector<FCommandLineOption>> GetUsageGroups() const;
};

// The long names of the two boolean settings come from their configuration
// keys, so the options cannot drift away from the file's key names.
FConfigureOptions MakeConfigureOptions(const ICommandLine& CommandLine);

// The short form first; the long form is asked only when the short one gives
// nothing, so a present short form wins even when the long one is given too.
bool TryGetOptionPath(const ICommandLine& CommandLine, const FCommandLineOption& Option, std::wstring& OutPath);
bool TryGetOptionFlag(const ICommandLine& CommandLine, const FCommandLineOption& Option, bool& OutValue);
