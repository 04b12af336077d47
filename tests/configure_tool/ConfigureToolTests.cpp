// The configure tool as a user meets it: its own process, started with an
// argument text in a working folder, its exit code read in full by the
// platform's process start (not by a shell, which sees 8 bits under Wine),
// its log read from the file it writes, the launcher it writes started for real.
#include "platform/Utf8.h"
#include "tests/support/TestBootstrapper.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#if KVT_TEST_ON_WINDOWS
#include "platform/windows/WindowsHandles.h"
#endif

namespace
{
	constexpr bool bWindows = KVT_TEST_ON_WINDOWS != 0;

	// A path below the temporary folder with the system's separator.
	std::wstring Native(std::wstring RelativePath)
	{
		std::replace(RelativePath.begin(), RelativePath.end(), L'/', bWindows ? L'\\' : L'/');
		return RelativePath;
	}

	// The same, with ".exe" where programs have it.
	std::wstring Program(const std::wstring& RelativePath)
	{
		return Native(RelativePath) + (bWindows ? L".exe" : L"");
	}

	std::string Config(const std::wstring& AppPath, const char* WorkingDirectory, bool bWait, bool bNoOperation)
	{
		const std::string End = DiskLineEnd();
		return "ApplicationPath=" + EncodeUtf8Lossless(AppPath) + End + "WorkingDirectory=" + WorkingDirectory + End +
			"WaitForExit=" + (bWait ? "1" : "0") + End + "NoOperation=" + (bNoOperation ? "1" : "0") + End;
	}

	class ConfigureTool : public ::testing::Test
	{
	protected:
		std::shared_ptr<IPlatform> Platform = MakeNativePlatform();
		FTempDirectory Directory;

		// The tool's log lands below this folder (the variable the log path is made of).
		void SetUp() override { ASSERT_TRUE(Platform->TrySetEnvironmentVariable(KVT_TEST_LOG_ROOT_VARIABLE, Directory.Wide(L"logs"))); }

		// Runs the tool in the temporary folder (or Folder below it); returns its exit code.
		uint32_t RunTool(const std::wstring& Arguments, const std::wstring& Folder = L"", const std::wstring& Tool = KVT_TEST_TOOL)
		{
			uint32_t ExitCode = 0xDEADBEEF;
			EXPECT_TRUE(Platform->TryRunExecutable(Tool, Arguments, Directory.Wide(Native(Folder)), false, true, &ExitCode));
			return ExitCode;
		}

		// The tool's log of its last run.
		std::wstring ToolLog() const
		{
			return DecodeUtf8Lossless(Read(L"logs/Zorvan Games/Zorvan Online Services/Bootstrapper/Logs/KVTBootstrapperTool.log"));
		}
		bool LogHas(const std::wstring& Text) const { return ToolLog().find(Text) != std::wstring::npos; }
		// Whether the log has both lines, the first one first.
		void ExpectLogOrder(const std::wstring& First, const std::wstring& Second) const
		{
			const std::wstring Log = ToolLog();
			ASSERT_NE(Log.find(First), std::wstring::npos) << Log;
			EXPECT_LT(Log.find(First), Log.find(Second)) << Log;
		}

		bool Exists(const std::wstring& RelativePath) const { return std::filesystem::exists(Directory.Path() / ToPath(Native(RelativePath))); }
		std::string Read(const std::wstring& RelativePath) const { return ReadFileBytes(Directory.Path() / ToPath(Native(RelativePath))); }
		void CopyInto(const std::wstring& Source, const std::wstring& RelativePath) const
		{
			const std::filesystem::path Target = Directory.Path() / ToPath(Native(RelativePath));
			std::filesystem::create_directories(Target.parent_path());
			std::filesystem::copy_file(ToPath(Source), Target);
		}
	};
}

TEST_F(ConfigureTool, PrintsHelpInsteadOfConfiguringWhenAskedOrGivenTooLittle)
{
	for (const std::wstring Arguments : {L"", L"-o", L"-h", L"--HELP", L"-h 1", L"-o out/L -a App -h"})
	{
		EXPECT_EQ(RunTool(Arguments), 0u) << Arguments;
		EXPECT_FALSE(LogHas(L"Started ")) << Arguments;
		EXPECT_FALSE(Exists(L"out")) << Arguments;
	}

	// -h false asks for no help: the options are carried out.
	EXPECT_EQ(RunTool(L"-h false -o " + Program(L"out/Launcher") + L" -a " + Program(L"App")), 0u);
	EXPECT_TRUE(LogHas(L"Started Zorvan Online Services Bootstrapper ")) << ToolLog();
	EXPECT_TRUE(Exists(Program(L"out/Launcher")));
}

TEST_F(ConfigureTool, WritesTheLauncherAndItsConfigurationCreatingFolders)
{
	const std::wstring Output = Program(L"out/sub/Launcher");
	const std::wstring App = Program(L"App");
	ASSERT_EQ(RunTool(L"-o " + Output + L" -a " + App), 0u) << ToolLog();

	// The launcher exactly as the tool carries it, and the four lines.
	EXPECT_EQ(Read(Output), ReadFileBytes(ToPath(KVT_TEST_EMBEDDED_LAUNCHER)));
	EXPECT_EQ(Read(L"out/sub/Launcher.ini"), Config(App, "", false, false));
	if (!bWindows)
	{
		const std::filesystem::perms Permissions = std::filesystem::status(Directory.Path() / ToPath(Output)).permissions();
		EXPECT_EQ(Permissions & std::filesystem::perms::mask, static_cast<std::filesystem::perms>(0755));
	}
	EXPECT_TRUE(LogHas(L"Successfully copied Bootstrapper executable into: '" + Output + L"'"));
	EXPECT_TRUE(LogHas(L"Completed successfully."));

	ASSERT_EQ(RunTool(L"-o " + Program(L"a/L") + L" -a " + App + L" -f -n"), 0u);
	EXPECT_EQ(Read(L"a/L.ini"), Config(App, "", true, true));
	ASSERT_EQ(RunTool(L"-o " + Program(L"b/L") + L" -a " + App + L" -f 0 --no-operation TRUE -w Bin"), 0u);
	EXPECT_EQ(Read(L"b/L.ini"), Config(App, "Bin", false, true));
}

TEST_F(ConfigureTool, RequiredOptionsAreCheckedBeforeAnythingIsWritten)
{
	const std::wstring NoApp = L"Target application file path is required. (--app-path)";
	EXPECT_EQ(RunTool(L"-o " + Program(L"out/Launcher")), 1u);
	EXPECT_TRUE(LogHas(NoApp)) << ToolLog();
	EXPECT_EQ(RunTool(L"-o " + Program(L"out/Launcher") + L" -a \"\""), 1u);
	EXPECT_TRUE(LogHas(NoApp));
	EXPECT_EQ(RunTool(L"-a " + Program(L"App") + L" -f"), 1u);
	EXPECT_TRUE(LogHas(L"File path for the output Bootstrapper executable is required. (--output-path)"));
	EXPECT_FALSE(Exists(L"out"));
}

TEST_F(ConfigureTool, FailuresAfterTheLauncherIsWrittenLeaveNoConfiguration)
{
	// An absolute application path is refused by the configuration writer.
	EXPECT_EQ(RunTool(L"-o " + Program(L"out/Launcher") + L" -a \"" + Directory.Wide(Program(L"App")) + L"\""), 1u);
	EXPECT_TRUE(Exists(Program(L"out/Launcher")));
	EXPECT_FALSE(Exists(L"out/Launcher.ini"));
	EXPECT_TRUE(LogHas(L"Failed to write the output config file to: '" + Native(L"out/Launcher.ini") + L"'.")) << ToolLog();

	// The resource copy reads the application from the current folder, not
	// next to the output where the launcher will find it.
	CopyInto(KVT_TEST_REPORT_HELPER, Program(L"next/App"));
	EXPECT_EQ(RunTool(L"-o " + Program(L"next/Launcher") + L" -a " + Program(L"App") + L" -r"), 1u);
	EXPECT_TRUE(LogHas(L"Failed to copy program icon and version info. Application executable not found: '" + Program(L"App") + L"'."))
		<< ToolLog();
	EXPECT_TRUE(Exists(Program(L"next/Launcher")));
	EXPECT_FALSE(Exists(L"next/Launcher.ini"));
}

TEST_F(ConfigureTool, RefusesAnOutputThatIsTheApplicationOrItsOwnConfigFile)
{
	CopyInto(KVT_TEST_REPORT_HELPER, Program(L"out/App"));
	const std::string Application = Read(Program(L"out/App"));
	const std::wstring Refusal = L"The output Bootstrapper executable cannot be the target application itself: '";

	// Next to the output, as the launcher would read its configuration.
	EXPECT_EQ(RunTool(L"-o " + Program(L"out/App") + L" -a " + Program(L"App")), 1u);
	EXPECT_TRUE(LogHas(Refusal + Program(L"out/App") + L"'.")) << ToolLog();
	// From the current folder, as the resource copy would read it.
	EXPECT_EQ(RunTool(L"-o " + Program(L"out/App") + L" -a " + Program(L"out/App") + L" -r"), 1u);
	EXPECT_TRUE(LogHas(Refusal));
	// Not there yet: a launcher that would start itself.
	EXPECT_EQ(RunTool(L"-o " + Program(L"new/Launcher") + L" -a " + Program(L"Launcher")), 1u);
	EXPECT_TRUE(LogHas(Refusal));
	EXPECT_FALSE(Exists(L"new"));
	// Another spelling of the same file: letter case on Windows, a link elsewhere.
	if (!bWindows)
	{
		std::filesystem::create_symlink("App", Directory.Path() / "out" / "Link");
	}
	EXPECT_EQ(RunTool(bWindows ? L"-o out\\APP.EXE -a App.exe" : L"-o out/Link -a App"), 1u);
	EXPECT_TRUE(LogHas(Refusal));
	EXPECT_EQ(Read(Program(L"out/App")), Application);
	EXPECT_FALSE(Exists(L"out/App.ini"));

	// The configuration is written last: over the launcher it would leave a
	// run that reports success and no launcher.
	for (const std::wstring Output : {L"own/Launcher.ini", bWindows ? L"own/Launcher.INI" : L"own/Launcher.ini"})
	{
		EXPECT_EQ(RunTool(L"-o " + Native(Output) + L" -a " + Program(L"App")), 1u) << Output;
		EXPECT_TRUE(LogHas(L"The output Bootstrapper executable cannot be its own config file: '" + Native(Output) + L"'."))
			<< ToolLog();
		EXPECT_FALSE(Exists(L"own")) << Output;
	}
}

TEST_F(ConfigureTool, TheConfiguredLauncherStartsTheApplication)
{
	CopyInto(KVT_TEST_REPORT_HELPER, Program(L"out/App"));
	ASSERT_EQ(RunTool(L"-o " + Program(L"out/Launcher") + L" -a " + Program(L"App") + L" -n -f"), 0u) << ToolLog();

	// With WaitForExit the launcher ends with the application's exit code, all
	// of it where the system keeps 32 bits.
	const uint32_t ApplicationExitCode = bWindows ? 300 : 7;
	ASSERT_TRUE(Platform->TrySetEnvironmentVariable(L"KVT_REPORT_FILE", Directory.Wide(L"report.txt")));
	ASSERT_TRUE(Platform->TrySetEnvironmentVariable(L"KVT_REPORT_EXIT_CODE", std::to_wstring(ApplicationExitCode)));
	EXPECT_EQ(RunTool(L"alpha beta", L"", Directory.Wide(Program(L"out/Launcher"))), ApplicationExitCode);
	Platform->DeleteEnvironmentVariable(L"KVT_REPORT_FILE");
	Platform->DeleteEnvironmentVariable(L"KVT_REPORT_EXIT_CODE");
	const std::string Report = Read(L"report.txt");
	EXPECT_NE(Report.find("arg=alpha\narg=beta\n"), std::string::npos) << Report;
}

#if KVT_TEST_ON_WINDOWS
TEST_F(ConfigureTool, CopyResourcesGivesTheLauncherTheApplicationsIconAndVersion)
{
	CopyInto(KVT_TEST_SAMPLE_APP, L"out/Game.exe");
	ASSERT_EQ(RunTool(L"-o Launcher.exe -a Game.exe -r", L"out"), 0u) << ToolLog();
	EXPECT_TRUE(LogHas(L"Program icon and file version of the target application executable copied into the output "
					   L"Bootstrapper executable."));

	const std::wstring Launcher = Directory.Wide(L"out\\Launcher.exe");
	const FScopedModule Module(::LoadLibraryExW(Launcher.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE));
	ASSERT_TRUE(Module.IsValid());
	EXPECT_NE(::FindResourceW(Module.Get(), L"MAINICON", MAKEINTRESOURCEW(14)), nullptr);
	EXPECT_NE(::FindResourceW(Module.Get(), MAKEINTRESOURCEW(101), MAKEINTRESOURCEW(14)), nullptr);
	EXPECT_NE(::FindResourceExW(Module.Get(), MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1), 0x407), nullptr);
	EXPECT_EQ(Read(L"out/Launcher.ini"), Config(L"Game.exe", "", false, false));
}
#else
// Linux programs carry no icons or version information: the platform refuses,
// naming the reason in its own words, and the configure sequence stops before
// the INI.
TEST_F(ConfigureTool, CopyResourcesFailsForALinuxLauncherNamingTheReason)
{
	CopyInto(KVT_TEST_REPORT_HELPER, L"out/Game");
	EXPECT_EQ(RunTool(L"-o Launcher -a Game -r", L"out"), 1u);
	ExpectLogOrder(L"[Error] [FLinuxPlatform::", L"Failed to copy program icon and version info from the application "
												 L"executable into the output Bootstrapper executable.");
	EXPECT_FALSE(Exists(L"out/Launcher.ini"));
}

// Studios prepare Windows launchers here too: the output's name picks the
// launcher, and the INI beside it is written as for any other.
TEST_F(ConfigureTool, TheOutputNamePicksTheWindowsOrTheLinuxLauncher)
{
	const std::wstring WindowsLauncher = KVT_TEST_WINDOWS_LAUNCHER;
	const std::pair<const wchar_t*, const wchar_t*> Outputs[] = {{L"a/Launcher.exe", L"a/Launcher.ini"},
		{L"b/Setup.EXE", L"b/Setup.ini"}, {L"c/Run.eXe", L"c/Run.ini"},
		// Names that only resemble .exe get the Linux launcher.
		{L"d/Launcherexe", L"d/Launcherexe.ini"}, {L"e/Launcher.exe.old", L"e/Launcher.exe.ini"},
		{L"f/Launcher.ex", L"f/Launcher.ini"}, {L"g/Launcher.exe2", L"g/Launcher.ini"}};
	for (size_t Index = WindowsLauncher.empty() ? 3 : 0; Index < std::size(Outputs); ++Index)
	{
		const auto& [Output, Ini] = Outputs[Index];
		const std::wstring Expected = Index < 3 ? WindowsLauncher : KVT_TEST_EMBEDDED_LAUNCHER;
		ASSERT_EQ(RunTool(std::wstring(L"-o ") + Output + L" -a Game.exe -f"), 0u) << ToolLog();
		EXPECT_EQ(Read(Output).substr(0, 2), Index < 3 ? "MZ" : "\x7f" "E") << Output;
		EXPECT_EQ(Read(Output), ReadFileBytes(ToPath(Expected))) << Output;
		EXPECT_EQ(Read(Ini), Config(L"Game.exe", "", true, false)) << Ini;
	}
	if (WindowsLauncher.empty())
	{
		GTEST_SKIP() << "this build's tool carries no Windows launcher: the Windows build was missing when it was "
						"configured (see KVT_WINDOWS_LAUNCHER)";
	}
}

TEST_F(ConfigureTool, AToolBuiltWithoutTheWindowsLauncherNamesTheReasonForAnExeOutput)
{
	EXPECT_EQ(RunTool(L"-o out/Launcher.exe -a Game.exe", L"", KVT_TEST_TOOL_WITHOUT_WINDOWS_LAUNCHER), 1u);
	ExpectLogOrder(L"[Error] [FLinuxBootstrapper::TryLoadEmbeddedBootstrapper] Cannot write 'out/Launcher.exe' as a "
				   L"Windows launcher (the output name ends in .exe): this tool was built without the Windows launcher.",
		L"Failed to acquire the Bootstrapper executable in embedded resources");
	EXPECT_FALSE(Exists(L"out/Launcher.exe"));
	EXPECT_FALSE(Exists(L"out/Launcher.ini"));

	// Its own system's launcher it still writes.
	ASSERT_EQ(RunTool(L"-o out/Launcher -a Game", L"", KVT_TEST_TOOL_WITHOUT_WINDOWS_LAUNCHER), 0u) << ToolLog();
	EXPECT_EQ(Read(L"out/Launcher"), ReadFileBytes(ToPath(KVT_TEST_EMBEDDED_LAUNCHER)));
}
#endif
