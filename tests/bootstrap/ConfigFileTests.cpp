#include "bootstrap/BootstrapperConfig.h"
#include "platform/PathRules.h"
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
	const auto Fields = [](const FBootstrapperConfig& Record)
	{ return std::tie(Record.ApplicationPath, Record.WorkingDirectory, Record.WaitForExit, Record.NoOperation); };
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
		EXPECT_EQ(Fields(Config), Fields(Expected));
		EXPECT_EQ(Messages(ELogLevel::Error), Errors);
	}
}

TEST_F(ConfigFile, LogsEveryLineAndSkipsEmptyOnesQuietly)
{
	Platform->Files = {{InSampleFolder(L"App.exe"), L""},
		{ConfigPath, L"\nNoOperation=0\n#A=1\nApplicationPath=\nApplicationPath=App.exe\n"}};
	FBootstrapperConfig Config;
	ASSERT_TRUE(Bootstrapper.TryReadConfig(ConfigPath, Config));
	// The trailing line feed ends the last line and adds no empty one; a value is logged only when there is one.
	EXPECT_EQ(Messages(), (std::vector<std::wstring>{L"Reading config file: '" + ConfigPath + L"'.", L"Parsing line: ''.",
		L"Parsing line: 'NoOperation=0'.", L"Parsing key: 'NoOperation'.", L"Parsing Value: '0'.", L"Set: 'NoOperation=false'.",
		L"Parsing line: '#A=1'.", L"Parsing key: '#A'.", L"Unrecognized key ignored!", L"Parsing line: 'ApplicationPath='.",
		L"Parsing key: 'ApplicationPath'.", L"Parsing line: 'ApplicationPath=App.exe'.", L"Parsing key: 'ApplicationPath'.",
		L"Parsing Value: 'App.exe'.", L"Set: 'ApplicationPath=" + InSampleFolder(L"App.exe") + L"'.", L"Successfully read config."}));
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

// On the real file system the writer makes the folders on the way and puts
// the exact text there, in the system's line ends.
TEST(ConfigFileOnDisk, WrittenFileHasTheExactBytes)
{
	FTempDirectory Directory;
	FTestBootstrapper Bootstrapper{std::make_shared<FCommandLine>(L""), MakeNativePlatform(), nullptr};
	const std::filesystem::path File = Directory.Path() / "cfg" / "Launcher.ini";
	ASSERT_TRUE(Bootstrapper.TryWriteConfig(ToWide(File), FBootstrapperConfig{L"bin/../App.exe", L"bin", false, true}));
	const std::string End = DiskLineEnd();
	EXPECT_EQ(ReadFileBytes(File),
		"ApplicationPath=bin/../App.exe" + End + "WorkingDirectory=bin" + End + "WaitForExit=0" + End + "NoOperation=1" + End);
}

// The Windows rules are plain text and hold on every system; the running
// system's own rules take the rows written for it.

TEST(PathRules, Absoluteness)
{
	// Absolute for Windows, and for Linux: a leading slash, or absolute for Windows (a
	// configuration may ship with either build).
	const std::tuple<const wchar_t*, bool, bool> Cases[] = {{L"C:\\Games\\App.exe", true, true}, {L"C:/Games/App.exe", true, true},
		{L"\\\\server\\share\\App.exe", true, true}, {L"//server/share", true, true}, {L"\\\\?\\C:\\App.exe", true, true},
		{L"\\??\\C:\\App.exe", true, true}, {L"/Games/App.exe", false, true}, {L"\\Games\\App.exe", false, false},
		{L"C:App.exe", false, false}, {L"App.exe", false, false}, {L"", false, false}, {L"\\\\", false, false},
		{L"\\\\\\App.exe", false, false}, {L"1:\\App.exe", false, false}, {L"\\??App.exe", false, false}};
	for (const auto& [Path, bWindowsAbsolute, bLinuxAbsolute] : Cases)
	{
		EXPECT_EQ(IsWindowsAbsolutePath(Path), bWindowsAbsolute) << Path;
		EXPECT_EQ(IsAbsolutePath(Path), OnWindows ? bWindowsAbsolute : bLinuxAbsolute) << Path;
	}
	EXPECT_TRUE(IsPathSeparator(L'/'));
	EXPECT_EQ(IsPathSeparator(L'\\'), OnWindows);
}

// Appending follows drives and roots; resolving then normalises the result.
TEST(PathRules, AppendAndResolveNextToAFolder)
{
	const std::vector<std::vector<std::wstring>> AppendCases = {// directory, value, result
		{L"C:\\L", L"App.exe", L"C:\\L\\App.exe"}, {L"C:/L/", L"Bin/App.exe", L"C:/L/Bin/App.exe"},
		// An absolute value, or one on another drive, replaces the directory.
		{L"C:\\L", L"D:\\App.exe", L"D:\\App.exe"}, {L"C:\\L", L"D:App.exe", L"D:App.exe"},
		// The directory's own drive, in any case, is dropped from the value.
		{L"C:\\L", L"c:App.exe", L"C:\\L\\App.exe"},
		// One leading separator keeps only the directory's drive or server.
		{L"C:\\L", L"/Games/App.exe", L"C:/Games/App.exe"},
		{L"\\\\server\\share\\L", L"\\Games\\App.exe", L"\\\\server\\Games\\App.exe"},
		{L"C:", L"App.exe", L"C:App.exe"}, {L"", L"App.exe", L"App.exe"}};
	for (const std::vector<std::wstring>& Case : AppendCases)
	{
		EXPECT_EQ(AppendWindowsPath(Case[0], Case[1]), Case[2]) << Case[0] << " + " << Case[1];
	}
	const std::vector<std::vector<std::wstring>> WindowsCases = {
		{L"C:\\L", L"\\Games\\.\\App.exe", L"C:\\Games\\App.exe"}, {L"C:\\L", L"Bin/App.exe", L"C:\\L\\Bin\\App.exe"},
		{L"C:\\L\\Bin", L"..", L"C:\\L"}, {L"\\\\server\\share\\L", L"..\\App.exe", L"\\\\server\\share\\App.exe"}};
	const std::vector<std::vector<std::wstring>> LinuxCases = {{L"/L/", L"a//b", L"/L/a/b"}, {L"/L/Bin", L"..", L"/L"},
		{L"/L", L".", L"/L"}, {L"/L", L"Bin/", L"/L/Bin/"}, {L"/", L"..", L"/"}, {L"/L", L"/abs/./App.exe", L"/abs/App.exe"},
		// A backslash is an ordinary character of a Linux file name.
		{L"/L", L"..\\App.exe", L"/L/..\\App.exe"}};
	for (const std::vector<std::wstring>& Case : OnWindows ? WindowsCases : LinuxCases)
	{
		EXPECT_EQ(ResolvePathNextTo(Case[0], Case[1]), Case[2]) << Case[0] << " + " << Case[1];
	}
}
