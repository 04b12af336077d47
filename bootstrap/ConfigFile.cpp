#include "bootstrap/ConfigKeys.h"
#include "bootstrap/GenericBootstrapper.h"

#include "app/Log.h"
#include "platform/AsciiCase.h"
#include "platform/PathRules.h"
#include "platform/Platform.h"
#include "platform/SystemErrorLog.h"

#include <string>
#include <vector>

const std::wstring ApplicationPathKey = L"ApplicationPath";
const std::wstring WorkingDirectoryKey = L"WorkingDirectory";
const std::wstring WaitForExitKey = L"WaitForExit";
const std::wstring NoOperationKey = L"NoOperation";

namespace
{
	constexpr const wchar_t* ReadCategory = L"FGenericBootstrapper::TryReadConfig";
	constexpr const wchar_t* WriteCategory = L"FGenericBootstrapper::TryWriteConfig";

	// Compares without a lower-cased copy, so that parsing cannot run out of memory.
	bool EqualsIgnoringAsciiCase(const std::wstring& Text, const wchar_t* Lower)
	{
		size_t Index = 0;
		for (; Index < Text.size() && Lower[Index] != L'\0'; ++Index)
		{
			if (ToAsciiLower(Text[Index]) != Lower[Index])
			{
				return false;
			}
		}
		return Index == Text.size() && Lower[Index] == L'\0';
	}

	// A dot at the very start of the file name belongs to the name (".profile").
	std::wstring ReplaceExtensionWithIni(const std::wstring& Path)
	{
		const size_t NameStart = Path.size() - GetFileName(Path).size();
		std::wstring Result = Path;
		const size_t Dot = Result.rfind(L'.');
		if (Dot != std::wstring::npos && Dot > NameStart)
		{
			Result.erase(Dot);
		}
		Result += L".ini";
		return Result;
	}

	// A trailing line feed ends the last line rather than starting an empty one.
	std::vector<std::wstring> SplitLines(const std::wstring& Text)
	{
		std::vector<std::wstring> Lines;
		size_t Start = 0;
		while (Start < Text.size())
		{
			size_t End = Text.find(L'\n', Start);
			if (End == std::wstring::npos)
			{
				End = Text.size();
			}
			Lines.push_back(Text.substr(Start, End - Start));
			Start = End + 1;
		}
		return Lines;
	}

	bool IsPathKey(const std::wstring& Key)
	{
		return Key == ApplicationPathKey || Key == WorkingDirectoryKey;
	}

	bool IsBoolKey(const std::wstring& Key)
	{
		return Key == WaitForExitKey || Key == NoOperationKey;
	}

	void ParseLine(const std::wstring& Line, const std::wstring& Directory, FBootstrapperConfig& Config)
	{
		Log(ELogLevel::Verbose, ReadCategory, L"Parsing line: '%s'.", Line);
		if (Line.empty())
		{
			return;
		}

		const size_t Equals = Line.find(L'=');
		const std::wstring Key = Line.substr(0, Equals);
		Log(ELogLevel::Verbose, ReadCategory, L"Parsing key: '%s'.", Key);
		if (!IsPathKey(Key) && !IsBoolKey(Key))
		{
			Log(ELogLevel::Error, ReadCategory, L"Unrecognized key ignored!");
			return;
		}

		// Without a value the field keeps whatever an earlier line gave it.
		if (Equals == std::wstring::npos || Equals + 1 == Line.size())
		{
			return;
		}
		const std::wstring Value = Line.substr(Equals + 1);
		Log(ELogLevel::Verbose, ReadCategory, L"Parsing Value: '%s'.", Value);

		if (IsPathKey(Key))
		{
			std::wstring& Field = Key == ApplicationPathKey ? Config.ApplicationPath : Config.WorkingDirectory;
			Field = ResolvePathNextTo(Directory, Value);
			Log(ELogLevel::Info, ReadCategory, L"Set: '%s=%s'.", Key, Field);
			return;
		}

		bool bValue = false;
		if (!TryParseBool(Value, bValue))
		{
			Log(ELogLevel::Error, ReadCategory, L"Failed to parse the value!");
			return;
		}
		(Key == WaitForExitKey ? Config.WaitForExit : Config.NoOperation) = bValue;
		Log(ELogLevel::Info, ReadCategory, L"Set: '%s=%s'.", Key, bValue ? L"true" : L"false");
	}

	bool HasLineBreak(const std::wstring& Value)
	{
		return Value.find_first_of(L"\r\n") != std::wstring::npos;
	}
}

// No catch: an empty path would be read as a file name. Only memory can run
// out here, and that goes on to the sequence that asked.
std::wstring FGenericBootstrapper::GetConfigPath(const std::wstring& ExecutablePath)
{
	const std::wstring ConfigPath = ReplaceExtensionWithIni(ExecutablePath);
	Log(ELogLevel::Verbose, L"FGenericBootstrapper::GetConfigPath", L"Determined config path: '%s'.", ConfigPath);
	return ConfigPath;
}

bool FGenericBootstrapper::TryReadConfig(const std::wstring& ConfigPath, FBootstrapperConfig& OutConfig)
{
	const auto Fail = [&]
	{
		Log(ELogLevel::Error, ReadCategory, L"Failed to read config file: '%s'.", ConfigPath);
		return false;
	};
	return GuardWithOwnFailure(Fail, [&]
	{
		Log(ELogLevel::Info, ReadCategory, L"Reading config file: '%s'.", ConfigPath);
		OutConfig = FBootstrapperConfig();

		std::wstring Text;
		if (!GetPlatform()->TryReadFile(ConfigPath, Text))
		{
			return Fail();
		}

		// Relative values point from the file, never from the current directory.
		const std::wstring Directory = GetParentDirectory(ConfigPath);
		for (const std::wstring& Line : SplitLines(Text))
		{
			ParseLine(Line, Directory, OutConfig);
		}

		if (OutConfig.ApplicationPath.empty())
		{
			Log(ELogLevel::Error, ReadCategory, L"Required option missing: '%s'.", ApplicationPathKey);
			return false;
		}
		if (!GetPlatform()->FileExists(OutConfig.ApplicationPath))
		{
			Log(ELogLevel::Error, ReadCategory, L"%s does not point to an existing file: '%s'.", ApplicationPathKey,
				OutConfig.ApplicationPath);
			return false;
		}
		if (!OutConfig.WorkingDirectory.empty())
		{
			if (!GetPlatform()->PathExists(OutConfig.WorkingDirectory))
			{
				Log(ELogLevel::Error, ReadCategory, L"%s does not point to an existing directory: '%s'.",
					WorkingDirectoryKey, OutConfig.WorkingDirectory);
				return false;
			}
			if (GetPlatform()->FileExists(OutConfig.WorkingDirectory))
			{
				Log(ELogLevel::Error, ReadCategory, L"%s points to a file, not a directory: '%s'.", WorkingDirectoryKey,
					OutConfig.WorkingDirectory);
				return false;
			}
		}

		Log(ELogLevel::Info, ReadCategory, L"Successfully read config.");
		return true;
	});
}

bool FGenericBootstrapper::TryWriteConfig(const std::wstring& ConfigPath, const FBootstrapperConfig& Config)
{
	const auto Fail = [&]
	{
		Log(ELogLevel::Error, WriteCategory, L"Failed to write the config file.");
		return false;
	};
	return GuardWithOwnFailure(Fail, [&]
	{
		Log(ELogLevel::Info, WriteCategory, L"Creating config file: '%s'.", ConfigPath);

		// The reader resolves paths against its own folder, so only relative
		// paths survive the copy of the bootstrapper to another machine.
		if (IsAbsolutePath(Config.ApplicationPath))
		{
			Log(ELogLevel::Error, WriteCategory,
				L"Target application file path must be a relative path to the executable, or the executable base name itself.");
			return false;
		}
		if (IsAbsolutePath(Config.WorkingDirectory))
		{
			Log(ELogLevel::Error, WriteCategory, L"Working directory must be a relative path.");
			return false;
		}
		// The format has no escapes: a line break would end the value early and
		// turn the rest into a line of its own, possibly one that sets another key.
		for (const std::wstring* Value : {&Config.ApplicationPath, &Config.WorkingDirectory})
		{
			if (HasLineBreak(*Value))
			{
				Log(ELogLevel::Error, WriteCategory, L"Config values must not contain line breaks: '%s'.", *Value);
				return false;
			}
		}

		std::wstring Text;
		Text += ApplicationPathKey + L"=" + Config.ApplicationPath + L"\n";
		Text += WorkingDirectoryKey + L"=" + Config.WorkingDirectory + L"\n";
		Text += WaitForExitKey + L"=" + (Config.WaitForExit ? L"1" : L"0") + L"\n";
		Text += NoOperationKey + L"=" + (Config.NoOperation ? L"1" : L"0") + L"\n";
		Log(ELogLevel::Info, WriteCategory, L"Generated config:\n%s", Text);

		if (!GetPlatform()->TryWriteFile(ConfigPath, Text, false, true))
		{
			return Fail();
		}
		Log(ELogLevel::Info, WriteCategory, L"Successfully wrote config.");
		return true;
	});
}

bool TryParseBool(const std::wstring& Text, bool& OutValue)
{
	if (EqualsIgnoringAsciiCase(Text, L"true") || EqualsIgnoringAsciiCase(Text, L"1"))
	{
		OutValue = true;
		return true;
	}
	if (EqualsIgnoringAsciiCase(Text, L"false") || EqualsIgnoringAsciiCase(Text, L"0"))
	{
		OutValue = false;
		return true;
	}
	return false;
}
