#include "bootstrap/BootstrapperConfig.h"
#include "configure/CommandLine.h"
#include "platform/Utf8.h"
#include "tests/bootstrap/SampleFolder.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestBootstrapper.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace
{
	constexpr const wchar_t* ReadCategory = L"FGenericBootstrapper::TryReadConfig";
	constexpr const wchar_t* WriteCategory = L"FGenericBootstrapper::TryWriteConfig";

	// The configuration reader and writer over a fake file system.
	class ConfigFile : public ::testing::Test
	{
	protected:
		std::shared_ptr<FFakePlatform> Platform = std::make_shared<FFakePlatform>();
		FTestBootstrapper Bootstrapper{std::make_shared<FCommandLine>(L""), Platform, nullptr};
		FLogCapture Capture;
		FBootstrapperConfig Config;
		const std::wstring ConfigPath = InSampleFolder(L"Launcher.ini");

		void SetUp() override { Platform->Files[InSampleFolder(L"App.exe")] = L""; }

		bool Read(const std::wstring& Text)
		{
			Platform->Files[ConfigPath] = Text;
			return Bootstrapper.TryReadConfig(ConfigPath, Config);
		}
		size_t CountMessage(const std::wstring& Message) const
		{
			return static_cast<size_t>(std::count_if(Capture.Entries().begin(), Capture.Entries().end(),
				[&](const FLogCapture::FEntry& Entry) { return Entry.Message == Message; }));
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
	for (const std::wstring Text : {L"true", L"TRUE", L"tRuE", L"1", L"false", L"FALSE", L"fAlSe", L"0"})
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

TEST_F(ConfigFile, ReadsKeysValuesAndBooleansByTheLetter)
{
	Platform->Files[InSampleFolder(L"a=b.exe")] = L"";
	ASSERT_TRUE(Read(L"WaitForExit=TRUE\nNoOperation=1\nNoOperation= 1\nNoOperation=yes\nNoOperation=\n"
					 L"waitforexit=0\n WaitForExit=0\n#WaitForExit=0\n=0\n"
					 L"ApplicationPath=first.exe\nApplicationPath=a=b.exe\nApplicationPath=\nApplicationPath\n"))
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
}

TEST_F(ConfigFile, LogsEveryLineAndSkipsEmptyOnesQuietly)
{
	ASSERT_TRUE(Read(L"\nNoOperation=0\nApplicationPath=App.exe\n"));
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

TEST_F(ConfigFile, ByteOrderMarkAndLoneCarriageReturnAreTextLikeAnyOther)
{
	// The reader does not skip a byte-order mark: it becomes part of the first key.
	EXPECT_FALSE(Read(L"\uFEFFApplicationPath=App.exe\n"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, ReadCategory, L"Unrecognized key ignored!"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, ReadCategory, L"Required option missing: 'ApplicationPath'."));

	// Only a line feed ends a line; a carriage return alone stays in the value.
	EXPECT_FALSE(Read(L"ApplicationPath=App\r.exe\nWaitForExit=1\r\n"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, ReadCategory, L"Parsing Value: 'App\r.exe'."));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, ReadCategory, L"Failed to parse the value!"));
}

TEST_F(ConfigFile, ReadingStartsFromDefaultsAndValidatesInOrder)
{
	Config = FBootstrapperConfig{L"stale.exe", L"stale", true, true};
	EXPECT_FALSE(Bootstrapper.TryReadConfig(ConfigPath, Config));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, ReadCategory, L"Failed to read config file: '" + ConfigPath + L"'."));
	EXPECT_TRUE(Config.ApplicationPath.empty() && Config.WorkingDirectory.empty());
	EXPECT_FALSE(Config.WaitForExit || Config.NoOperation);

	// Validation stops at the first failure; a folder of the application's name is no file.
	const std::wstring App = InSampleFolder(L"Game.exe");
	const std::wstring Work = InSampleFolder(L"Work");
	const std::wstring BothLines = L"ApplicationPath=Game.exe\nWorkingDirectory=Work\n";
	const auto ExpectOnlyError = [&](const std::wstring& Text, const std::wstring& Message)
	{
		Capture.Clear();
		EXPECT_FALSE(Read(Text));
		EXPECT_EQ(Capture.Count(ELogLevel::Error), 1u) << Capture.Dump();
		EXPECT_TRUE(Capture.Has(ELogLevel::Error, ReadCategory, Message)) << Capture.Dump();
	};
	ExpectOnlyError(L"WorkingDirectory=Work\n", L"Required option missing: 'ApplicationPath'.");
	Platform->Directories.insert(App);
	ExpectOnlyError(BothLines, L"ApplicationPath does not point to an existing file: '" + App + L"'.");
	Platform->Files[App] = L"";
	ExpectOnlyError(BothLines, L"WorkingDirectory does not point to an existing directory: '" + Work + L"'.");
	Platform->Files[Work] = L"";
	ExpectOnlyError(BothLines, L"WorkingDirectory points to a file, not a directory: '" + Work + L"'.");

	Platform->Files.erase(Work);
	Platform->Directories.insert(Work);
	EXPECT_TRUE(Read(BothLines)) << Capture.Dump();
	EXPECT_EQ(Config.WorkingDirectory, Work);
	// An empty working directory is not set and not checked.
	Platform->Calls.clear();
	EXPECT_TRUE(Read(L"ApplicationPath=App.exe\nWorkingDirectory=\n")) << Capture.Dump();
	EXPECT_TRUE(Config.WorkingDirectory.empty());
	EXPECT_EQ(Platform->CountCalls(L"PathExists"), 0u);
}

TEST_F(ConfigFile, WritesTheFourKeysInOrderAndReportsAFailedWrite)
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

TEST_F(ConfigFile, TheWriterRefusesAbsolutePathsAndLineBreaksBeforeWritingAnything)
{
	const std::wstring AbsoluteApp =
		L"Target application file path must be a relative path to the executable, or the executable base name itself.";
	const std::wstring AbsoluteWork = L"Working directory must be a relative path.";
	const std::wstring Break = L"Config values must not contain line breaks: '";
	// Written as is, a line break would end the value and start a line of its
	// own, here one that switches the service initialisation off.
	const std::vector<std::vector<std::wstring>> Cases = {// application, working directory, error
		{L"\\\\?\\C:\\App.exe", L"", AbsoluteApp}, {L"App.exe", L"C:/Work", AbsoluteWork},
		{L"App.exe\nNoOperation=1", L"", Break + L"App.exe\nNoOperation=1'."}, {L"App.exe\r", L"", Break + L"App.exe\r'."},
		{L"App.exe", L"Bin\r\nWaitForExit=1", Break + L"Bin\r\nWaitForExit=1'."}};
	for (const std::vector<std::wstring>& Case : Cases)
	{
		EXPECT_FALSE(Bootstrapper.TryWriteConfig(ConfigPath, FBootstrapperConfig{Case[0], Case[1], false, false}));
		EXPECT_TRUE(Capture.Has(ELogLevel::Error, WriteCategory, Case[2])) << Case[2];
	}
	EXPECT_EQ(Platform->CountCalls(L"TryWriteFile(text)"), 0u);

	// Relative to the drive, to the drive's current folder or up from here is still relative.
	for (const std::wstring Path : {L"\\Games\\App.exe", L"C:App.exe", L"..\\App.exe"})
	{
		EXPECT_TRUE(Bootstrapper.TryWriteConfig(ConfigPath, FBootstrapperConfig{Path, Path, false, false})) << Path;
	}
	// A leading slash is relative to the drive on Windows only.
	EXPECT_EQ(Bootstrapper.TryWriteConfig(ConfigPath, FBootstrapperConfig{L"App.exe", L"/Games", false, false}), OnWindows);
}

namespace
{
	// The reader and writer over the real file system, in a fresh folder that
	// is not the current directory.
	class ConfigFileOnDisk : public ::testing::Test
	{
	protected:
		FTempDirectory Directory;
		FTestBootstrapper Bootstrapper{std::make_shared<FCommandLine>(L""), MakeNativePlatform(), nullptr};
		FLogCapture Capture;
		const std::filesystem::path ConfigFile = Directory.Path() / "cfg" / "Launcher.ini";
		FBootstrapperConfig Config;
	};
}

// What the writer puts on disk is the exact text, and the reader takes its
// values from the file's own folder, never from the current directory.
TEST_F(ConfigFileOnDisk, WrittenFileHasTheExactBytesAndReadsBackNextToItself)
{
	// Missing folders on the way are created.
	ASSERT_TRUE(Bootstrapper.TryWriteConfig(ToWide(ConfigFile), FBootstrapperConfig{L"bin/../App.exe", L"bin", false, true}))
		<< Capture.Dump();
	const std::string End = DiskLineEnd();
	EXPECT_EQ(ReadFileBytes(ConfigFile),
		"ApplicationPath=bin/../App.exe" + End + "WorkingDirectory=bin" + End + "WaitForExit=0" + End + "NoOperation=1" + End);

	std::filesystem::create_directories(Directory.Path() / "cfg" / "bin");
	WriteFileBytes(Directory.Path() / "cfg" / "App.exe", "MZ");
	ASSERT_NE(std::filesystem::current_path(), Directory.Path() / "cfg");
	ASSERT_TRUE(Bootstrapper.TryReadConfig(ToWide(ConfigFile), Config)) << Capture.Dump();
	EXPECT_EQ(Config.ApplicationPath, ToWide(Directory.Path() / "cfg" / "App.exe"));
	EXPECT_EQ(Config.WorkingDirectory, ToWide(Directory.Path() / "cfg" / "bin"));
	EXPECT_FALSE(Config.WaitForExit);
	EXPECT_TRUE(Config.NoOperation);

	// CR LF on every system: a file saved on Windows may ship with any build. An absolute value stays.
	const std::wstring Absolute = ToWide(Directory.Path() / "cfg" / "App.exe");
	WriteFileBytes(ConfigFile, "ApplicationPath=" + EncodeUtf8Lossless(Absolute) + "\r\nWaitForExit=1\r\n");
	ASSERT_TRUE(Bootstrapper.TryReadConfig(ToWide(ConfigFile), Config)) << Capture.Dump();
	EXPECT_EQ(Config.ApplicationPath, Absolute);
	EXPECT_TRUE(Config.WaitForExit);
}
