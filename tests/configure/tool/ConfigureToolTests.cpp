// The configure tool as a user meets it: its own process, started with an
// argument text in a working folder, its log read from the file it writes.
#include "platform/Utf8.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestBootstrapper.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#if KVT_TEST_ON_WINDOWS
#include "app/windows/WindowsBootstrapper.h"
#include "platform/windows/WindowsHandles.h"
#include "tests/support/windows/PlantedDlls.h"

#include <imagehlp.h>
#else
#include "app/linux/LinuxBootstrapper.h"
#endif

namespace
{
	// A path below the temporary folder with the system's separator; a program's with ".exe" where programs have it.
	std::wstring Native(const std::wstring& RelativePath) { return std::filesystem::path(RelativePath).make_preferred().wstring(); }
	std::wstring Program(const std::wstring& RelativePath) { return Native(RelativePath) + (bWindows ? L".exe" : L""); }

	class ConfigureTool : public ::testing::Test
	{
	protected:
		std::shared_ptr<IPlatform> Platform = MakeNativePlatform();
		FTempDirectory Directory;

		// The tool's log lands below this folder (the variable the log path is made of).
		void SetUp() override { ASSERT_TRUE(Platform->TrySetEnvironmentVariable(KVT_TEST_LOG_ROOT_VARIABLE, Directory.Wide(L"logs"))); }

		// Runs the tool (or a copy of it) in the temporary folder (or Folder below it); returns its exit code.
		uint32_t RunTool(const std::wstring& Arguments, const std::wstring& Folder = L"", const std::wstring& Tool = KVT_TEST_TOOL)
		{
			uint32_t ExitCode = 0xDEADBEEF;
			EXPECT_TRUE(Platform->TryRunExecutable(Tool, Arguments, Directory.Wide(Native(Folder)), false, true, &ExitCode));
			return ExitCode;
		}

		std::wstring ToolLog() const
		{
			return DecodeUtf8Lossless(Read(L"logs/Zorvan Games/Zorvan Online Services/Bootstrapper/Logs/KVTBootstrapperTool.log"));
		}
		bool LogHas(const std::wstring& Text) const { return ToolLog().find(Text) != std::wstring::npos; }

		// What the configuration writer itself makes of these values.
		// The INI text a launcher reads, in the system's line ends.
		std::string Ini(const std::string& Work, char Wait, char NoOperation) const
		{
			const std::string End = DiskLineEnd();
			return "ApplicationPath=" + ToPath(Program(L"App")).string() + End + "WorkingDirectory=" + Work + End +
				"WaitForExit=" + Wait + End + "NoOperation=" + NoOperation + End;
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

TEST_F(ConfigureTool, WritesTheLauncherAndItsConfiguration)
{
	// -h false asks for no help.
	const std::wstring Output = Program(L"out/sub/Launcher");
	ASSERT_EQ(RunTool(L"-h false -o " + Output + L" -a " + Program(L"App") + L" -f"), 0u) << ToolLog();
	EXPECT_EQ(Read(Output), ReadFileBytes(ToPath(KVT_TEST_EMBEDDED_LAUNCHER)));
	EXPECT_EQ(Read(L"out/sub/Launcher.ini"), Ini("", '1', '0'));
	EXPECT_TRUE(LogHas(L"Started Zorvan Online Services Bootstrapper ")) << ToolLog();
	EXPECT_TRUE(LogHas(L"Successfully copied Bootstrapper executable into: '" + Output + L"'"));
	ASSERT_EQ(RunTool(L"-o " + Program(L"b/L") + L" -a " + Program(L"App") + L" -n -w Bin"), 0u);
	EXPECT_EQ(Read(L"b/L.ini"), Ini("Bin", '0', '1'));
}

// Each failure exits 1, names its reason in the log and leaves no
// configuration: the options and the output are checked before anything is
// written, and the configuration is written last.
TEST_F(ConfigureTool, FailuresNameTheirReasonAndLeaveNoConfiguration)
{
	CopyInto(KVT_TEST_REPORT_HELPER, Program(L"out/App"));
	CopyInto(KVT_TEST_REPORT_HELPER, Program(L"next/App"));
	if (!bWindows)
	{
		std::filesystem::create_symlink("App", Directory.Path() / "out" / "Link");
	}
	WriteFileBytes(Directory.Path() / "blocker", "a file where the output wants a folder");
	const std::string Application = Read(Program(L"out/App"));
	const std::wstring NoApp = L"Target application file path is required. (--app-path)";
	const std::wstring Refusal = L"The output Bootstrapper executable cannot be the target application itself: '";
	const std::wstring OwnConfig = Native(bWindows ? L"own/Launcher.INI" : L"own/Launcher.ini");
	const std::tuple<std::wstring, std::wstring, const wchar_t*> Cases[] = {
		{L"-o " + Program(L"a/Launcher"), NoApp, L"a"}, {L"-o " + Program(L"b/Launcher") + L" -a \"\"", NoApp, L"b"},
		{L"-a " + Program(L"App") + L" -f", L"File path for the output Bootstrapper executable is required. (--output-path)", L"App.ini"},
		{L"-o " + Program(L"blocker/sub/Launcher") + L" -a " + Program(L"App"),
			L"Failed to create the output directory tree for: '" + Program(L"blocker/sub/Launcher") + L"'.", L"blocker/sub"},
		// An absolute application path is refused by the configuration writer.
		{L"-o " + Program(L"c/Launcher") + L" -a \"" + Directory.Wide(Program(L"App")) + L"\"",
			L"Failed to write the output config file to: '" + Native(L"c/Launcher.ini") + L"'.", L"c/Launcher.ini"},
		// The resource copy reads the application from the current folder, not next to the output.
		{L"-o " + Program(L"next/Launcher") + L" -a " + Program(L"App") + L" -r",
			L"Failed to copy program icon and version info. Application executable not found: '" + Program(L"App") + L"'.",
			L"next/Launcher.ini"},
#if !KVT_TEST_ON_WINDOWS
		// A Linux launcher carries no icons or version information.
		{L"-o r/Launcher -a out/App -r", L"Failed to copy program icon and version info from the application executable "
			L"into the output Bootstrapper executable.", L"r/Launcher.ini"},
#endif
		// The application read next to the output (as the launcher will), from the current folder (as the
		// resource copy does), not there yet, spelt otherwise (letter case on Windows, a link elsewhere).
		{L"-o " + Program(L"out/App") + L" -a " + Program(L"App"), Refusal + Program(L"out/App") + L"'.", L"out/App.ini"},
		{L"-o " + Program(L"out/App") + L" -a " + Program(L"out/App") + L" -r", Refusal, L"out/App.ini"},
		{L"-o " + Program(L"new/Launcher") + L" -a " + Program(L"Launcher"), Refusal, L"new"},
		{bWindows ? L"-o out\\APP.EXE -a App.exe" : L"-o out/Link -a App", Refusal, L"out/App.ini"},
		// Over the launcher, the configuration would leave a run that reports success and no launcher.
		{L"-o " + OwnConfig + L" -a " + Program(L"App"),
			L"The output Bootstrapper executable cannot be its own config file: '" + OwnConfig + L"'.", L"own"},
	};
	for (const auto& [Arguments, Reason, Absent] : Cases)
	{
		EXPECT_EQ(RunTool(Arguments), 1u) << Arguments;
		EXPECT_TRUE(LogHas(Reason)) << ToolLog();
		EXPECT_FALSE(Exists(Absent)) << Arguments;
	}
	EXPECT_EQ(Read(Program(L"out/App")), Application);
}

// This test program carries no launcher, as a tool built without one would not:
// the system's own application object says so and writes neither file (on
// Linux, an output for Windows names the launcher that is missing).
TEST_F(ConfigureTool, WithoutAnEmbeddedLauncherTheReasonIsNamed)
{
	FLogCapture Capture;
#if KVT_TEST_ON_WINDOWS
	FWindowsBootstrapper Tool;
#else
	FLinuxBootstrapper Tool(L"");
#endif
	for (const std::wstring Output : {L"Launcher", L"Launcher.exe"})
	{
		Tool.GetCommandLine()->Parse(L"-o \"" + Directory.Wide(Output) + L"\" -a App");
		EXPECT_EQ(Tool.Configure(L"Product", L"Tag"), 1);
		EXPECT_TRUE(Capture.Has(ELogLevel::Error, L"FGenericBootstrapper::Configure",
			L"Failed to extract the Bootstrapper executable into the destination path: '" + Directory.Wide(Output) + L"'."));
		EXPECT_FALSE(Exists(Output) || Exists(L"Launcher.ini")) << Output;
	}
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, L"FWindowsBootstrapper::TryCopyBootstrapperApp",
		L"Failed to acquire the Bootstrapper executable in embedded resources")) << Capture.Dump();
	EXPECT_EQ(Capture.Has(ELogLevel::Error, L"FLinuxBootstrapper::TryLoadEmbeddedBootstrapper", L"Cannot write '" +
		Directory.Wide(L"Launcher.exe") + L"' as a Windows launcher (the output name ends in .exe): this tool was built "
		L"without the Windows launcher."), !bWindows);
}

#if KVT_TEST_ON_WINDOWS
TEST_F(ConfigureTool, CopyResourcesGivesTheLauncherTheApplicationsIconAndVersion)
{
	CopyInto(KVT_TEST_SAMPLE_APP, L"out/Game.exe");
	// Beside the tool (a Downloads folder), a DLL named like the one the signature removal loads: the system's
	// copy is loaded, and the bare -a name is still found.
	CopyInto(KVT_TEST_TOOL, L"out/Tool.exe");
	const FPlantedDlls Planted(Directory.Path() / "out", L"Tool.exe", {L"imagehlp"});
	const uint32_t ExitCode = RunTool(L"-o Launcher.exe -a Game.exe -r", L"out", Directory.Wide(L"out\\Tool.exe"));
	EXPECT_EQ(Planted.Loaded(), L"");
	ASSERT_EQ(ExitCode, 0u) << ToolLog();
	const std::wstring Launcher = Directory.Wide(L"out\\Launcher.exe");
	const FScopedModule Module(::LoadLibraryExW(Launcher.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE));
	ASSERT_TRUE(Module.IsValid());
	EXPECT_NE(::FindResourceW(Module.Get(), L"MAINICON", MAKEINTRESOURCEW(14)), nullptr);
	EXPECT_NE(::FindResourceExW(Module.Get(), MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1), 0x407), nullptr);
	EXPECT_TRUE(Exists(L"out/Launcher.ini"));
	// The stored checksum is the changed file's, although the system's resource update keeps the old one.
	DWORD Stored = 0, Computed = 0;
	ASSERT_EQ(::MapFileAndCheckSumW(Launcher.c_str(), &Stored, &Computed), static_cast<DWORD>(CHECKSUM_SUCCESS));
	EXPECT_NE(Stored, 0u);
	EXPECT_EQ(Stored, Computed);
}
#else
// Studios prepare Windows launchers here too: an output named .exe in any
// letter case gets the Windows launcher, any other name this system's.
TEST_F(ConfigureTool, TheOutputNamePicksTheWindowsOrTheLinuxLauncher)
{
	if (std::wstring(KVT_TEST_WINDOWS_LAUNCHER).empty())
	{
		GTEST_SKIP() << "this build's tool carries no Windows launcher (see KVT_WINDOWS_LAUNCHER)";
	}
	const std::pair<const wchar_t*, const wchar_t*> Outputs[] = {{L"a/Launcher.eXe", KVT_TEST_WINDOWS_LAUNCHER},
		{L"b/Launcherexe", KVT_TEST_EMBEDDED_LAUNCHER}, {L"c/Launcher.exe.old", KVT_TEST_EMBEDDED_LAUNCHER}};
	for (const auto& [Output, Launcher] : Outputs)
	{
		ASSERT_EQ(RunTool(std::wstring(L"-o ") + Output + L" -a Game.exe"), 0u) << ToolLog();
		EXPECT_EQ(Read(Output), ReadFileBytes(ToPath(Launcher))) << Output;
	}
}
#endif
