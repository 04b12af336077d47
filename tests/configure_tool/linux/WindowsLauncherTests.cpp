#include "tests/configure_tool/ToolTestSupport.h"

#include <string>
#include <utility>

// Studios prepare Windows launchers here too: the output's name picks the
// launcher, and the INI beside it is written as for any other.
namespace
{
	const std::wstring WindowsLauncher = KVT_TEST_WINDOWS_LAUNCHER;
	const std::string ExpectedConfig = "ApplicationPath=Game.exe\nWorkingDirectory=\nWaitForExit=1\nNoOperation=0\n";
}

TEST_F(ConfigureTool, AnOutputNamedExeInAnyLetterCaseGetsTheWindowsLauncher)
{
	if (WindowsLauncher.empty())
	{
		GTEST_SKIP() << "this build's tool carries no Windows launcher: the Windows build was missing when it was "
						"configured (see KVT_WINDOWS_LAUNCHER)";
	}
	const std::string Expected = ReadFileBytes(ToPath(WindowsLauncher));
	ASSERT_EQ(Expected.compare(0, 2, "MZ"), 0) << "not a Windows program: " << ToPath(WindowsLauncher);

	for (const auto& [Output, Config] : {std::pair{L"a/Launcher.exe", L"a/Launcher.ini"}, {L"b/Setup.EXE", L"b/Setup.ini"},
			 {L"c/Run.eXe", L"c/Run.ini"}})
	{
		ASSERT_EQ(RunTool(std::wstring(L"-o ") + Output + L" -a Game.exe -f"), 0u) << NarrowLog();
		EXPECT_EQ(Read(Output), Expected) << ToPath(Output);
		EXPECT_EQ(Read(Config), ExpectedConfig) << ToPath(Config);
	}
}

TEST_F(ConfigureTool, NamesThatOnlyResembleExeGetTheLinuxLauncher)
{
	const std::string Expected = ReadFileBytes(ToPath(KVT_TEST_EMBEDDED_LAUNCHER));
	ASSERT_EQ(Expected.compare(0, 4, "\x7f" "ELF"), 0);

	for (const auto& [Output, Config] : {std::pair{L"a/Launcherexe", L"a/Launcherexe.ini"},
			 {L"b/Launcher.exe.old", L"b/Launcher.exe.ini"}, {L"c/Launcher.ex", L"c/Launcher.ini"},
			 {L"d/Launcher.exe2", L"d/Launcher.ini"}})
	{
		ASSERT_EQ(RunTool(std::wstring(L"-o ") + Output + L" -a Game.exe -f"), 0u) << NarrowLog();
		EXPECT_EQ(Read(Output), Expected) << ToPath(Output);
		EXPECT_EQ(Read(Config), ExpectedConfig) << ToPath(Config);
	}
}

TEST_F(ConfigureTool, AToolBuiltWithoutTheWindowsLauncherNamesTheReasonForAnExeOutput)
{
	EXPECT_EQ(RunToolAt(KVT_TEST_TOOL_WITHOUT_WINDOWS_LAUNCHER, L"-o out/Launcher.exe -a Game.exe"), 1u);
	const std::wstring Log = ToolLog();
	const size_t Reason = Log.find(L"[Error] [FLinuxBootstrapper::TryLoadEmbeddedBootstrapper] Cannot write "
								   L"'out/Launcher.exe' as a Windows launcher (the output name ends in .exe): this tool "
								   L"was built without the Windows launcher.");
	const size_t Failure = Log.find(L"Failed to acquire the Bootstrapper executable in embedded resources");
	ASSERT_NE(Reason, std::wstring::npos) << NarrowLog();
	ASSERT_NE(Failure, std::wstring::npos) << NarrowLog();
	EXPECT_LT(Reason, Failure);
	EXPECT_FALSE(Exists(L"out/Launcher.exe"));
	EXPECT_FALSE(Exists(L"out/Launcher.ini"));

	// Its own system's launcher it still writes.
	ASSERT_EQ(RunToolAt(KVT_TEST_TOOL_WITHOUT_WINDOWS_LAUNCHER, L"-o out/Launcher -a Game"), 0u) << NarrowLog();
	EXPECT_EQ(Read(L"out/Launcher"), ReadFileBytes(ToPath(KVT_TEST_EMBEDDED_LAUNCHER)));
}
