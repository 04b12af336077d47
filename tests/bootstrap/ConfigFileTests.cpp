#include "bootstrap/BootstrapperConfig.h"
#include "tests/support/ConfigFields.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestBootstrapper.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

namespace
{
	constexpr const wchar_t* WriteCategory = L"FGenericBootstrapper::TryWriteConfig";

	// The configuration reader and writer over a fake file system next to the launcher.
	class ConfigFile : public ::testing::Test
	{
	protected:
		std::shared_ptr<FFakePlatform> Platform = std::make_shared<FFakePlatform>();
		FTestBootstrapper Bootstrapper{std::make_shared<FCommandLine>(L""), Platform, nullptr};
		FLogCapture Capture;
		const std::wstring ConfigPath = InSampleFolder(L"Launcher.ini");

		std::vector<std::wstring> Messages(std::optional<ELogLevel> Level = std::nullopt) const
		{
			std::vector<std::wstring> Result;
			for (const FLogCapture::FEntry& Entry : Capture.Entries())
			{
				if (!Level || Entry.Level == *Level)
				{
					Result.push_back(Entry.Message);
				}
			}
			return Result;
		}
	};
}

TEST_F(ConfigFile, ConfigPathReplacesOnlyTheFileNamesLastExtension)
{
	// A leading dot belongs to the name, and a dot in a folder is no extension.
	for (const auto& [Executable, Expected] : std::vector<std::pair<std::wstring, std::wstring>>{
			 {L"Launcher.exe", L"Launcher.ini"}, {L"Launcher", L"Launcher.ini"}, {L"my.tool.exe", L"my.tool.ini"},
			 {L".launcher", L".launcher.ini"}, {L"v1.2/Launcher", L"v1.2/Launcher.ini"}})
	{
		EXPECT_EQ(Bootstrapper.GetConfigPath(InSampleFolder(Executable)), InSampleFolder(Expected)) << Executable;
	}
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"FGenericBootstrapper::GetConfigPath",
		L"Determined config path: '" + InSampleFolder(L"my.tool.ini") + L"'."));
}

TEST_F(ConfigFile, ParseBoolAcceptsOnlyTheFourWordsInAnyCase)
{
	// 1 and 0: parsed as true and false; -1: refused, and the value left alone.
	const std::pair<const wchar_t*, int> Cases[] = {{L"true", 1}, {L"tRuE", 1}, {L"1", 1}, {L"false", 0}, {L"fAlSe", 0},
		{L"0", 0}, {L"", -1}, {L" 1", -1}, {L"yes", -1}, {L"tru", -1}, {L"truee", -1}, {L"01", -1}};
	for (const auto& [Text, Expected] : Cases)
	{
		bool bValue = Expected != 1;
		EXPECT_EQ(TryParseBool(Text, bValue), Expected != -1) << Text;
		EXPECT_EQ(bValue, Expected != 0) << Text;
	}
}

// Each file starts from a stale record: reading begins from the defaults.
TEST_F(ConfigFile, ReadsByTheLetterAndValidatesInOrder)
{
	Platform->Files = {{InSampleFolder(L"App.exe"), L""}, {InSampleFolder(L"a=b.exe"), L""}};
	Platform->Directories = {InSampleFolder(L"Bin"), InSampleFolder(L"Folder.exe")};
	const std::wstring App = InSampleFolder(L"App.exe");
	const std::wstring Parse = L"Failed to parse the value!";
	const std::wstring Unknown = L"Unrecognized key ignored!";
	const std::wstring Missing = L"Required option missing: 'ApplicationPath'.";
	// The file's text (none: no file), whether it is read, the record and the errors.
	const std::tuple<std::optional<std::wstring>, bool, FBootstrapperConfig, std::vector<std::wstring>> Cases[] = {
		// Unparsable and empty values leave the last good one standing; only the first "=" separates;
		// keys are case-sensitive and untrimmed, and "#" starts no comment.
		{L"WaitForExit=1\nNoOperation=1\nNoOperation= 1\nNoOperation=yes\nNoOperation=\nwaitforexit=0\n WaitForExit=0\n"
		 L"#WaitForExit=0\n=0\nApplicationPath=first.exe\nApplicationPath=a=b.exe\nApplicationPath=\nApplicationPath\n",
			true, {InSampleFolder(L"a=b.exe"), L"", true, true}, {Parse, Parse, Unknown, Unknown, Unknown, Unknown}},
		// A byte-order mark is no whitespace: it joins the first key. Validation stops at the first failure.
		{L"\uFEFFApplicationPath=App.exe\n", false, {}, {Unknown, Missing}},
		// Only a line feed ends a line; a lone carriage return stays in the value.
		{L"ApplicationPath=App\r.exe\nWaitForExit=1\r\n", false, {InSampleFolder(L"App\r.exe"), L"", false, false},
			{Parse, L"ApplicationPath does not point to an existing file: '" + InSampleFolder(L"App\r.exe") + L"'."}},
		{std::nullopt, false, {}, {L"Failed to read config file: '" + ConfigPath + L"'."}},
		// A folder of the application's name is no file.
		{L"ApplicationPath=Folder.exe\nWorkingDirectory=None\n", false, {InSampleFolder(L"Folder.exe"), InSampleFolder(L"None")},
			{L"ApplicationPath does not point to an existing file: '" + InSampleFolder(L"Folder.exe") + L"'."}},
		{L"ApplicationPath=App.exe\nWorkingDirectory=None\n", false, {App, InSampleFolder(L"None")},
			{L"WorkingDirectory does not point to an existing directory: '" + InSampleFolder(L"None") + L"'."}},
		{L"ApplicationPath=App.exe\nWorkingDirectory=App.exe\n", false, {App, App},
			{L"WorkingDirectory points to a file, not a directory: '" + App + L"'."}},
		// An empty working directory is not set and not checked.
		{L"ApplicationPath=App.exe\nWorkingDirectory=\n", true, {App, L""}, {}},
	};
	for (const auto& [Text, bRead, Expected, Errors] : Cases)
	{
		SCOPED_TRACE(testing::Message() << (Text ? *Text : L"<no file>"));
		Capture.Clear();
		Platform->Files.erase(ConfigPath);
		if (Text)
		{
			Platform->Files[ConfigPath] = *Text;
		}
		FBootstrapperConfig Config{L"stale.exe", L"stale", true, true};
		EXPECT_EQ(Bootstrapper.TryReadConfig(ConfigPath, Config), bRead);
		EXPECT_EQ(ConfigFields(Config), ConfigFields(Expected));
		EXPECT_EQ(Messages(ELogLevel::Error), Errors);
	}
}

TEST_F(ConfigFile, WritesTheFourKeysInOrderOrRefusesBeforeWritingAnything)
{
	const std::wstring AbsoluteApp =
		L"Target application file path must be a relative path to the executable, or the executable base name itself.";
	const std::wstring AbsoluteWork = L"Working directory must be a relative path.";
	const std::wstring Break = L"Config values must not contain line breaks: '";
	const auto Text = [](const std::wstring& App, const std::wstring& Work, const std::wstring& Flags)
	{ return L"ApplicationPath=" + App + L"\nWorkingDirectory=" + Work + L"\n" + Flags; };
	const std::tuple<FBootstrapperConfig, bool, std::wstring> Cases[] = {
		{{L"Bin\\App.exe", L"Bin", true, false}, true, Text(L"Bin\\App.exe", L"Bin", L"WaitForExit=1\nNoOperation=0\n")},
		// An empty working directory still has its line; paths are not normalised.
		{{L"./a/../App.exe", L"", false, true}, true, Text(L"./a/../App.exe", L"", L"WaitForExit=0\nNoOperation=1\n")},
		// The system's own rules: a leading slash is relative to the drive on Windows only.
		{{L"\\Games\\App.exe", L"/Games"}, OnWindows,
			OnWindows ? Text(L"\\Games\\App.exe", L"/Games", L"WaitForExit=0\nNoOperation=0\n") : AbsoluteWork},
		{{L"\\\\?\\C:\\App.exe", L""}, false, AbsoluteApp},
		{{L"App.exe", L"C:/Work"}, false, AbsoluteWork},
		// Written as is, a line break would end the value and start a line of its
		// own, here one that switches the service initialisation off.
		{{L"App.exe\nNoOperation=1", L""}, false, Break + L"App.exe\nNoOperation=1'."},
		{{L"App.exe", L"Bin\r"}, false, Break + L"Bin\r'."},
	};
	for (const auto& [Config, bWritten, TextOrError] : Cases)
	{
		SCOPED_TRACE(testing::Message() << Config.ApplicationPath << " | " << Config.WorkingDirectory);
		Capture.Clear();
		Platform->Files.clear();
		EXPECT_EQ(Bootstrapper.TryWriteConfig(ConfigPath, Config), bWritten);
		if (bWritten)
		{
			EXPECT_EQ(Platform->Files[ConfigPath], TextOrError);
			EXPECT_EQ(Messages(ELogLevel::Info), (std::vector<std::wstring>{L"Creating config file: '" + ConfigPath + L"'.",
				L"Generated config:\n" + TextOrError, L"Successfully wrote config."}));
		}
		else
		{
			EXPECT_TRUE(Platform->Files.empty());
			EXPECT_TRUE(Capture.Has(ELogLevel::Error, WriteCategory, TextOrError)) << Capture.Dump();
		}
	}

	Platform->Failing.insert(L"TryWriteFile(text)");
	EXPECT_FALSE(Bootstrapper.TryWriteConfig(ConfigPath, FBootstrapperConfig{L"App.exe", L""}));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, WriteCategory, L"Failed to write the config file."));
}
