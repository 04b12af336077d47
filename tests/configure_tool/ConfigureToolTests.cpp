#include "tests/configure_tool/ToolTestSupport.h"

#include <filesystem>
#include <vector>

namespace
{
	std::string ExpectedConfig(const std::string& AppPath, const std::string& WorkingDirectory, bool bWait, bool bNoOperation)
	{
		const std::string End = DiskLineEnd();
		return "ApplicationPath=" + AppPath + End + "WorkingDirectory=" + WorkingDirectory + End + "WaitForExit=" +
			(bWait ? "1" : "0") + End + "NoOperation=" + (bNoOperation ? "1" : "0") + End;
	}

	std::string Narrow(const std::wstring& Text)
	{
		return std::string(Text.begin(), Text.end());
	}
}

TEST_F(ConfigureTool, PrintsHelpInsteadOfConfiguringWhenAskedOrGivenTooLittle)
{
	for (const std::wstring Arguments : {L"", L"-o", L"-h", L"--HELP", L"-h 1", L"-o out/L -a App -h"})
	{
		EXPECT_EQ(RunTool(Arguments), 0u) << Narrow(Arguments);
		EXPECT_FALSE(LogHas(L"Started ")) << Narrow(Arguments);
		EXPECT_FALSE(Exists(L"out")) << Narrow(Arguments);
	}

	// -h false asks for no help: the options are carried out.
	EXPECT_EQ(RunTool(L"-h false -o " + Program(L"out/Launcher") + L" -a " + Program(L"App")), 0u);
	EXPECT_TRUE(LogHas(L"Started Zorvan Online Services Bootstrapper ")) << NarrowLog();
	EXPECT_TRUE(Exists(Program(L"out/Launcher")));
}

TEST_F(ConfigureTool, WritesTheLauncherAndItsConfigurationCreatingFolders)
{
	const std::wstring Output = Program(L"out/sub/Launcher");
	const std::wstring App = Program(L"App");
	ASSERT_EQ(RunTool(L"-o " + Output + L" -a " + App), 0u) << NarrowLog();

	// The launcher exactly as the tool carries it, and the four lines.
	EXPECT_EQ(Read(Output), ReadFileBytes(ToPath(KVT_TEST_EMBEDDED_LAUNCHER)));
	EXPECT_EQ(Read(L"out/sub/Launcher.ini"), ExpectedConfig(Narrow(App), "", false, false));
	if (!bWindows)
	{
		const std::filesystem::perms Permissions = std::filesystem::status(Directory.Path() / ToPath(Output)).permissions();
		EXPECT_EQ(Permissions & std::filesystem::perms::mask, static_cast<std::filesystem::perms>(0755));
	}
	EXPECT_TRUE(LogHas(L"Successfully copied Bootstrapper executable into: '" + Output + L"'"));
	EXPECT_TRUE(LogHas(L"Completed successfully."));

	ASSERT_EQ(RunTool(L"-o " + Program(L"a/L") + L" -a " + App + L" -f -n"), 0u);
	EXPECT_EQ(Read(L"a/L.ini"), ExpectedConfig(Narrow(App), "", true, true));
	ASSERT_EQ(RunTool(L"-o " + Program(L"b/L") + L" -a " + App + L" -f 0 --no-operation TRUE -w Bin"), 0u);
	EXPECT_EQ(Read(L"b/L.ini"), ExpectedConfig(Narrow(App), "Bin", false, true));
}

TEST_F(ConfigureTool, RequiredOptionsAreCheckedBeforeAnythingIsWritten)
{
	EXPECT_EQ(RunTool(L"-o " + Program(L"out/Launcher")), 1u);
	EXPECT_TRUE(LogHas(L"Target application file path is required. (--app-path)")) << NarrowLog();
	EXPECT_EQ(RunTool(L"-o " + Program(L"out/Launcher") + L" -a \"\""), 1u);
	EXPECT_TRUE(LogHas(L"Target application file path is required. (--app-path)"));
	EXPECT_EQ(RunTool(L"-a " + Program(L"App") + L" -f"), 1u);
	EXPECT_TRUE(LogHas(L"File path for the output Bootstrapper executable is required. (--output-path)"));
	EXPECT_FALSE(Exists(L"out"));
}

TEST_F(ConfigureTool, AnAbsoluteApplicationPathFailsAfterTheLauncherIsWritten)
{
	const std::wstring Absolute = Directory.Wide(Program(L"App"));
	EXPECT_EQ(RunTool(L"-o " + Program(L"out/Launcher") + L" -a \"" + Absolute + L"\""), 1u);
	EXPECT_TRUE(Exists(Program(L"out/Launcher")));
	EXPECT_FALSE(Exists(L"out/Launcher.ini"));
	EXPECT_TRUE(LogHas(L"Failed to write the output config file to: '" + Native(L"out/Launcher.ini") + L"'."))
		<< NarrowLog();
}

TEST_F(ConfigureTool, CopyResourcesReadsTheApplicationFromTheCurrentFolder)
{
	// The application lies next to the output, as the launcher will find it,
	// but not in the current folder, where the resource copy looks.
	CopyInto(KVT_TEST_REPORT_HELPER, Program(L"out/App"));
	EXPECT_EQ(RunTool(L"-o " + Program(L"out/Launcher") + L" -a " + Program(L"App") + L" -r"), 1u);
	EXPECT_TRUE(LogHas(L"Failed to copy program icon and version info. Application executable not found: '" +
		Program(L"App") + L"'."))
		<< NarrowLog();
	EXPECT_TRUE(Exists(Program(L"out/Launcher")));
	EXPECT_FALSE(Exists(L"out/Launcher.ini"));
}

TEST_F(ConfigureTool, RefusesAnOutputThatIsTheApplicationItself)
{
	CopyInto(KVT_TEST_REPORT_HELPER, Program(L"out/App"));
	const std::string Application = Read(Program(L"out/App"));
	const std::wstring Refusal = L"The output Bootstrapper executable cannot be the target application itself: '";

	// Next to the output, as the launcher would read its configuration.
	EXPECT_EQ(RunTool(L"-o " + Program(L"out/App") + L" -a " + Program(L"App")), 1u);
	EXPECT_TRUE(LogHas(Refusal + Program(L"out/App") + L"'.")) << NarrowLog();
	// From the current folder, as the resource copy would read it.
	EXPECT_EQ(RunTool(L"-o " + Program(L"out/App") + L" -a " + Program(L"out/App") + L" -r"), 1u);
	EXPECT_TRUE(LogHas(Refusal));
	// Not there yet: a launcher that would start itself.
	EXPECT_EQ(RunTool(L"-o " + Program(L"new/Launcher") + L" -a " + Program(L"Launcher")), 1u);
	EXPECT_TRUE(LogHas(Refusal));
	EXPECT_FALSE(Exists(L"new"));

	// Another spelling of the same file: letter case on Windows, a link elsewhere.
	if (bWindows)
	{
		EXPECT_EQ(RunTool(L"-o " + Native(L"out/APP.EXE") + L" -a " + Program(L"App")), 1u);
	}
	else
	{
		std::filesystem::create_symlink("App", Directory.Path() / "out" / "Link");
		EXPECT_EQ(RunTool(L"-o out/Link -a App"), 1u);
	}
	EXPECT_TRUE(LogHas(Refusal));

	EXPECT_EQ(Read(Program(L"out/App")), Application);
	EXPECT_FALSE(Exists(L"out/App.ini"));
}

TEST_F(ConfigureTool, RefusesAnOutputThatIsItsOwnConfigFile)
{
	// The configuration is written last: over the launcher it would leave a
	// run that reports success and no launcher.
	std::vector<std::wstring> Outputs{L"out/Launcher.ini"};
	if (bWindows)
	{
		Outputs.push_back(L"out/Launcher.INI");
	}
	for (const std::wstring& Output : Outputs)
	{
		EXPECT_EQ(RunTool(L"-o " + Native(Output) + L" -a " + Program(L"App")), 1u) << Narrow(Output);
		EXPECT_TRUE(LogHas(L"The output Bootstrapper executable cannot be its own config file: '" + Native(Output) + L"'."))
			<< NarrowLog();
		EXPECT_FALSE(Exists(L"out")) << Narrow(Output);
	}
}

TEST_F(ConfigureTool, TheConfiguredLauncherStartsTheApplication)
{
	CopyInto(KVT_TEST_REPORT_HELPER, Program(L"out/App"));
	ASSERT_EQ(RunTool(L"-o " + Program(L"out/Launcher") + L" -a " + Program(L"App") + L" -n -f"), 0u) << NarrowLog();

	// With WaitForExit the launcher ends with the application's exit code, all
	// of it where the system keeps 32 bits.
	const uint32_t ApplicationExitCode = bWindows ? 300 : 7;
	ASSERT_TRUE(Platform->TrySetEnvironmentVariable(L"KVT_REPORT_FILE", Directory.Wide(L"report.txt")));
	ASSERT_TRUE(Platform->TrySetEnvironmentVariable(L"KVT_REPORT_EXIT_CODE", std::to_wstring(ApplicationExitCode)));
	uint32_t ExitCode = 0;
	EXPECT_TRUE(Platform->TryRunExecutable(Directory.Wide(Program(L"out/Launcher")), std::wstring(L"alpha beta"),
		Directory.Wide(), false, true, &ExitCode));
	Platform->DeleteEnvironmentVariable(L"KVT_REPORT_FILE");
	Platform->DeleteEnvironmentVariable(L"KVT_REPORT_EXIT_CODE");
	EXPECT_EQ(ExitCode, ApplicationExitCode);

	const std::string Report = Read(L"report.txt");
	EXPECT_NE(Report.find("arg=alpha\n"), std::string::npos) << Report;
	EXPECT_NE(Report.find("arg=beta\n"), std::string::npos) << Report;
}
