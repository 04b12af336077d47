#include "bootstrap/BootstrapperConfig.h"

#include "tests/config/ConfigTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
	using FConfigFile = FakeConfigTest;
}

TEST_F(FConfigFile, ConfigPathReplacesOnlyTheFileNamesLastExtension)
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

TEST_F(FConfigFile, ParseBoolAcceptsOnlyTheFourWordsInAnyCase)
{
	for (const std::wstring Text : {L"true", L"TRUE", L"tRuE", L"1", L"false", L"FALSE", L"0"})
	{
		const bool bExpected = Text == L"1" || Text.size() == 4;
		bool bValue = !bExpected;
		EXPECT_TRUE(TryParseBool(Text, bValue)) << Text;
		EXPECT_EQ(bValue, bExpected) << Text;
	}
	for (const std::wstring Text : {L"", L" 1", L"1 ", L"yes", L"2", L"tru", L"truee", L"01"})
	{
		bool bValue = true;
		EXPECT_FALSE(TryParseBool(Text, bValue)) << Text;
		EXPECT_TRUE(bValue) << "written by a failed parse: " << Text;
	}
}

TEST_F(FConfigFile, ReadsKeysValuesAndBooleansByTheLetter)
{
	Platform->Files[InSampleFolder(L"a=b.exe")] = L"";
	FBootstrapperConfig Config;
	ASSERT_TRUE(Read(L"WaitForExit=TRUE\nNoOperation=1\nNoOperation= 1\nNoOperation=yes\nNoOperation=\n"
					 L"waitforexit=0\n WaitForExit=0\n#WaitForExit=0\n=0\n"
					 L"ApplicationPath=first.exe\nApplicationPath=a=b.exe\nApplicationPath=\nApplicationPath\n",
		Config))
		<< Capture.Dump();

	EXPECT_TRUE(Config.WaitForExit);
	// Unparsable and empty values leave the last successful one standing.
	EXPECT_TRUE(Config.NoOperation);
	// Only the first "=" separates, and the last line that sets a key wins.
	EXPECT_EQ(Config.ApplicationPath, InSampleFolder(L"a=b.exe"));
	EXPECT_TRUE(Config.WorkingDirectory.empty());

	EXPECT_EQ(CountMessage(L"Failed to parse the value!"), 2u);
	// Keys are case-sensitive, untrimmed, and "#" starts no comment.
	EXPECT_EQ(CountMessage(L"Unrecognized key ignored!"), 4u);
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 6u) << Capture.Dump();
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, ReadCategory, L"Parsing key: '#WaitForExit'."));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, ReadCategory, L"Parsing Value: ' 1'."));
	EXPECT_EQ(CountMessage(L"Parsing Value: ''."), 0u);
	EXPECT_TRUE(Capture.Has(ELogLevel::Info, ReadCategory, L"Set: 'WaitForExit=true'."));
	EXPECT_TRUE(Capture.Has(ELogLevel::Info, ReadCategory, L"Set: 'ApplicationPath=" + InSampleFolder(L"a=b.exe") + L"'."));
}

TEST_F(FConfigFile, LogsEveryLineAndSkipsEmptyOnesQuietly)
{
	Platform->Files[InSampleFolder(L"App.exe")] = L"";
	FBootstrapperConfig Config;
	ASSERT_TRUE(Read(L"\nNoOperation=0\nApplicationPath=App.exe\n", Config));

	std::vector<std::wstring> Messages;
	for (const FLogCapture::FEntry& Entry : Capture.Entries())
	{
		Messages.push_back(Entry.Message);
	}
	// The trailing line feed ends the last line and adds no empty one.
	EXPECT_EQ(Messages, (std::vector<std::wstring>{L"Reading config file: '" + ConfigPath + L"'.", L"Parsing line: ''.",
							L"Parsing line: 'NoOperation=0'.", L"Parsing key: 'NoOperation'.", L"Parsing Value: '0'.",
							L"Set: 'NoOperation=false'.", L"Parsing line: 'ApplicationPath=App.exe'.",
							L"Parsing key: 'ApplicationPath'.", L"Parsing Value: 'App.exe'.",
							L"Set: 'ApplicationPath=" + InSampleFolder(L"App.exe") + L"'.", L"Successfully read config."}));
}

TEST_F(FConfigFile, ByteOrderMarkAndLoneCarriageReturnAreTextLikeAnyOther)
{
	Platform->Files[InSampleFolder(L"App.exe")] = L"";
	FBootstrapperConfig Config;
	// The reader does not skip a byte-order mark: it becomes part of the first key.
	EXPECT_FALSE(Read(L"\uFEFFApplicationPath=App.exe\n", Config));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, ReadCategory, L"Unrecognized key ignored!"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, ReadCategory, L"Required option missing: 'ApplicationPath'."));

	// Only a line feed ends a line; a carriage return alone stays in the value.
	EXPECT_FALSE(Read(L"ApplicationPath=App\r.exe\nWaitForExit=1\r\n", Config));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, ReadCategory, L"Parsing Value: 'App\r.exe'."));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, ReadCategory, L"Failed to parse the value!"));
}

TEST_F(FConfigFile, StartsFromDefaultsAndFailsOnAMissingFile)
{
	FBootstrapperConfig Config{L"stale.exe", L"stale", true, true};
	EXPECT_FALSE(Bootstrapper.TryReadConfig(ConfigPath, Config));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, ReadCategory, L"Failed to read config file: '" + ConfigPath + L"'."));
	EXPECT_TRUE(Config.ApplicationPath.empty() && Config.WorkingDirectory.empty());
	EXPECT_FALSE(Config.WaitForExit || Config.NoOperation);
}

TEST_F(FConfigFile, ValidationStopsAtTheFirstFailureInItsOrder)
{
	const std::wstring App = InSampleFolder(L"App.exe");
	const std::wstring Work = InSampleFolder(L"Work");
	const std::wstring BothLines = L"ApplicationPath=App.exe\nWorkingDirectory=Work\n";
	auto ExpectOnlyError = [&](const std::wstring& Text, const std::wstring& Message)
	{
		Capture.Clear();
		FBootstrapperConfig Config;
		EXPECT_FALSE(Read(Text, Config));
		EXPECT_EQ(Capture.Count(ELogLevel::Error), 1u) << Capture.Dump();
		EXPECT_TRUE(Capture.Has(ELogLevel::Error, ReadCategory, Message)) << Capture.Dump();
	};

	ExpectOnlyError(L"WorkingDirectory=Work\n", L"Required option missing: 'ApplicationPath'.");
	// A folder of the application's name is no file.
	Platform->Directories.insert(App);
	ExpectOnlyError(BothLines, L"ApplicationPath does not point to an existing file: '" + App + L"'.");
	Platform->Files[App] = L"";
	ExpectOnlyError(BothLines, L"WorkingDirectory does not point to an existing directory: '" + Work + L"'.");
	Platform->Files[Work] = L"";
	ExpectOnlyError(BothLines, L"WorkingDirectory points to a file, not a directory: '" + Work + L"'.");

	Platform->Files.erase(Work);
	Platform->Directories.insert(Work);
	FBootstrapperConfig Config;
	EXPECT_TRUE(Read(BothLines, Config)) << Capture.Dump();
	EXPECT_EQ(Config.WorkingDirectory, Work);
	// An empty working directory is not set and not checked.
	Platform->Calls.clear();
	EXPECT_TRUE(Read(L"ApplicationPath=App.exe\nWorkingDirectory=\n", Config)) << Capture.Dump();
	EXPECT_TRUE(Config.WorkingDirectory.empty());
	EXPECT_EQ(Platform->CountCalls(L"PathExists"), 0u);
}

TEST_F(FConfigFile, WritesTheFourKeysInOrderAndReportsAFailedWrite)
{
	ASSERT_TRUE(Bootstrapper.TryWriteConfig(ConfigPath, FBootstrapperConfig{L"Bin\\App.exe", L"Bin", true, false}));
	const std::wstring Expected = L"ApplicationPath=Bin\\App.exe\nWorkingDirectory=Bin\nWaitForExit=1\nNoOperation=0\n";
	EXPECT_EQ(Platform->Files[ConfigPath], Expected);
	EXPECT_TRUE(Capture.Has(ELogLevel::Info, WriteCategory, L"Generated config:\n" + Expected));
	EXPECT_TRUE(Capture.Has(ELogLevel::Info, WriteCategory, L"Successfully wrote config."));

	// An empty working directory still has its line; paths are not normalised.
	ASSERT_TRUE(Bootstrapper.TryWriteConfig(ConfigPath, FBootstrapperConfig{L"./a/../App.exe", L"", false, true}));
	EXPECT_EQ(Platform->Files[ConfigPath], L"ApplicationPath=./a/../App.exe\nWorkingDirectory=\nWaitForExit=0\nNoOperation=1\n");

	Platform->WriteTextResult = false;
	EXPECT_FALSE(Bootstrapper.TryWriteConfig(ConfigPath, FBootstrapperConfig{L"App.exe", L"", false, false}));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, WriteCategory, L"Failed to write the config file."));
}

TEST_F(FConfigFile, RefusesPathsWithLineBreaksAndWritesNothing)
{
	// Written as is, the break would end the value and start a line of its own,
	// here one that switches the service initialisation off.
	for (const FBootstrapperConfig& Config : std::vector<FBootstrapperConfig>{{L"App.exe\nNoOperation=1", L"", false, false},
			 {L"App.exe\r", L"", false, false}, {L"App.exe", L"Bin\r\nWaitForExit=1", false, false}})
	{
		Capture.Clear();
		EXPECT_FALSE(Bootstrapper.TryWriteConfig(ConfigPath, Config));
		const std::wstring& Bad = Config.WorkingDirectory.empty() ? Config.ApplicationPath : Config.WorkingDirectory;
		EXPECT_TRUE(Capture.Has(ELogLevel::Error, WriteCategory, L"Config values must not contain line breaks: '" + Bad + L"'."))
			<< Capture.Dump();
	}
	EXPECT_EQ(Platform->CountCalls(L"TryWriteFile(text)"), 0u);
}
