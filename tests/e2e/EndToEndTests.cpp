// The real launcher as a player's system starts it, with real children, the
// real registry (or its Linux store) and a loopback telemetry server: only
// what the unit tests with the fake platform cannot show.
#include "BuildConfig.h"
#include "platform/Utf8.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/ScopedVariable.h"
#include "tests/support/TestBootstrapper.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#if KVT_TEST_ON_WINDOWS
#include "platform/windows/WindowsHandles.h"
#include "tests/support/windows/PlantedDlls.h"
#else
#include "tests/support/linux/PseudoTerminal.h"

#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace
{
	const std::wstring Exe = bWindows ? L".exe" : L"";

	std::wstring ReadText(const std::wstring& Path) { return DecodeUtf8Lossless(ReadFileBytes(ToPath(Path))); }

	// The value of a report's "Key=" line (never its first); "?" when it has none.
	std::wstring Fact(const std::wstring& Report, const std::wstring& Key)
	{
		const size_t At = Report.find(L"\n" + Key + L"=");
		const size_t Start = At + Key.size() + 2;
		return At == std::wstring::npos ? L"?" : Report.substr(Start, Report.find(L'\n', Start) - Start);
	}

	// What differs between the systems: where the User Helper is registered (the
	// Linux store is pointed into the test's folder) and how a child shows it is in
	// the launcher's session group (the job; the launcher's new process group,
	// neither the test's nor its own).
#if KVT_TEST_ON_WINDOWS
	const wchar_t* const UserHelperKey = L"SOFTWARE\\Zorvan Games\\KVT\\UserHelper";

	void RegisterUserHelper(const std::wstring&, const std::wstring& Path)
	{
		const auto Size = static_cast<DWORD>((Path.size() + 1) * sizeof(wchar_t));
		ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, UserHelperKey, L"Path", REG_SZ, Path.c_str(), Size), ERROR_SUCCESS);
	}

	void UnregisterUserHelper() { ::RegDeleteKeyW(HKEY_CURRENT_USER, UserHelperKey); }

	bool InSessionGroup(const std::wstring& Report) { return Fact(Report, L"injob") == L"1"; }
#else
	void RegisterUserHelper(const std::wstring& ScratchFolder, const std::wstring& Path)
	{
		ASSERT_EQ(::setenv("XDG_CONFIG_HOME", ToPath(ScratchFolder + L"/config").c_str(), 1), 0);
		ASSERT_EQ(::setenv("XDG_CONFIG_DIRS", ToPath(ScratchFolder + L"/no-machine-config").c_str(), 1), 0);
		const std::filesystem::path File = ToPath(ScratchFolder + L"/config/SOFTWARE/Zorvan Games/KVT/UserHelper/Path");
		std::filesystem::create_directories(File.parent_path());
		WriteFileBytes(File, ToPath(Path).string() + "\n");
	}

	void UnregisterUserHelper() {}

	bool InSessionGroup(const std::wstring& Report)
	{
		return Fact(Report, L"pgid") != std::to_wstring(::getpgrp()) && Fact(Report, L"pgid") != Fact(Report, L"pid");
	}
#endif

	class EndToEnd : public ::testing::Test
	{
	protected:
		std::shared_ptr<IPlatform> Platform = MakeNativePlatform();
		FTempDirectory Folder;
		std::wstring Launcher = Folder.Wide(L"Launcher" + Exe);
		std::wstring Game = Folder.Wide(L"Game" + Exe);
		std::wstring UserHelper = Folder.Wide(L"Service" + Exe + L"-dir/UserHelper" + Exe);
		FLoopbackServer Server;
		// What the last run left: its exit code, its log, the reports (empty
		// when the program never ran), the session and its telemetry.
		uint32_t ExitCode = 0;
		std::wstring Log, Target, Helper, SessionGuid;
		std::vector<FRecordedRequest> Events;
#if KVT_TEST_ON_WINDOWS
		// Beside the launcher (a game folder users can write to), DLLs named like two that its first upload
		// loads: every run must load the system's copies.
		FPlantedDlls Planted{Folder.Path(), L"Launcher.exe", {L"ws2_32", L"dnsapi"}};
#endif

		void SetUp() override
		{
			ASSERT_TRUE(Server.Connect()) << Server.Error;
			std::filesystem::create_directories(Folder.Path() / "Run");
			std::filesystem::create_directories(Folder.Path() / "Work");
			std::filesystem::create_directories(ToPath(UserHelper).parent_path());
			std::filesystem::copy_file(ToPath(KVT_E2E_LAUNCHER), ToPath(Launcher));
			std::filesystem::copy_file(ToPath(KVT_E2E_REPORT_HELPER), ToPath(Game));
			std::filesystem::copy_file(ToPath(KVT_E2E_REPORT_HELPER), ToPath(UserHelper));
			RegisterUserHelper(Folder.Wide(), UserHelper);
			ASSERT_TRUE(Platform->TrySetEnvironmentVariable(KVT_TEST_LOG_ROOT_VARIABLE, Folder.Wide(L"state")));
			// Game and User Helper are both the report helper: each writes its
			// report into its own working folder, the game into the configured
			// one, the User Helper into the launcher's.
			ASSERT_TRUE(Platform->TrySetEnvironmentVariable(L"KVT_REPORT_FILE", L"report.txt"));
			ASSERT_TRUE(Platform->TrySetEnvironmentVariable(L"KVT_REPORT_EXIT_CODE", L"0"));
		}

		void TearDown() override { UnregisterUserHelper(); }

		// Both folders are read next to the configuration, not from the
		// launcher's current folder. Every run waits for the game, so that its
		// report is there when the launcher has ended.
		void WriteConfig(const std::wstring& MoreLines, const std::wstring& Application = L"Game" + Exe)
		{
			ASSERT_TRUE(Platform->TryWriteFile(Folder.Wide(L"Launcher.ini"),
				L"ApplicationPath=" + Application + L"\nWorkingDirectory=Work\nWaitForExit=1\n" + MoreLines, false, false));
		}

		// The game as a script. The tests that use it start the launcher
		// themselves, from the folder Launch starts it in.
		void WriteGameScript(const std::string& Body)
		{
			WriteFileBytes(Folder.Path() / "Game.sh", "#!/bin/sh\n" + Body + "\n");
			std::filesystem::permissions(Folder.Path() / "Game.sh", std::filesystem::perms::owner_all);
			WriteConfig(L"", L"Game.sh");
			std::filesystem::current_path(Folder.Path() / "Run");
		}

		void Launch(const std::wstring& Arguments = L"")
		{
			EXPECT_TRUE(Platform->TryRunExecutable(Launcher, Arguments, Folder.Wide(L"Run"), false, true, &ExitCode));
			ReadRun();
		}

		void ReadRun()
		{
			Log = ReadText(Folder.Wide(L"state/Zorvan Games/Zorvan Online Services/Bootstrapper/Logs/KVTBootstrapper.log"));
			Target = ReadText(Folder.Wide(L"Work/report.txt"));
			Helper = ReadText(Folder.Wide(L"Run/report.txt"));
			const size_t At = Log.find(L"Generated Session GUID: '");
			SessionGuid = At == std::wstring::npos ? L"" : Log.substr(At + 25, 36);
#if KVT_TEST_ON_WINDOWS
			EXPECT_EQ(Planted.Loaded(), L"");
#endif
			const std::string Version = std::regex_replace(EncodeUtf8Lossless(KVT_VERSION_TAG), std::regex("\\+"), "%2B");
			Events = Server.RequestsTo("/telemetry/data?SessionID=" + EncodeUtf8Lossless(SessionGuid) +
				"&AppID=ZorvanOnlineServices.BootStrapper&AppVersion=" + Version + "&AppEnvironment=prod&UploadType=eteventstream");
		}
	};
}

// One run shows what the game and the User Helper get from a real start, and
// what the server receives: here the User Helper ends as a crash ends it, which must
// not keep the game from starting.
TEST_F(EndToEnd, TheGameAndACrashingHelperRunWithTheSessionAndTheRunIsReported)
{
	// Both end the same way: with all 32 bits where the system has them; by a
	// signal on Linux (one no sanitizer catches), which the system reports as 128 + 9.
	const wchar_t* const Variable = bWindows ? L"KVT_REPORT_EXIT_CODE" : L"KVT_REPORT_SIGNAL";
	ASSERT_TRUE(Platform->TrySetEnvironmentVariable(Variable, bWindows ? L"0xC0000409" : L"9"));
	WriteConfig(L"");
	Launch(L"-x \"two words\" \"quote\\\"inside\" \"\"");
	Platform->DeleteEnvironmentVariable(L"KVT_REPORT_SIGNAL");
	EXPECT_EQ(ExitCode, bWindows ? 0xC0000409u : 137u);
	EXPECT_NE(Log.find(L"] [Error] [FGenericBootstrapper::Bootstrap] Target application failed with exit code: " +
		std::wstring(bWindows ? L"C0000409h." : L"89h.")), std::wstring::npos);

	// The game: the startup information with the User Helper's end as the
	// system reports it, the overlay, the job or group, the arguments, the folder.
	const std::wstring Detail = bWindows ? L"-1073740791" : L"137";
	const std::wstring Arguments = L"\narg=-x\narg=two words\narg=quote\"inside\narg=\n";
	EXPECT_EQ(Fact(Target, L"env=KVT_SESSION_STARTUPINFO"), L"1,SERVICE_INIT_FAILED," + Detail);
	EXPECT_EQ(Fact(Target, L"env=KVT_OVERLAY_ENABLE_VULKAN_WIN64"), L"1");
	EXPECT_TRUE(InSessionGroup(Target));
	EXPECT_NE(Target.find(Arguments + L"cwd="), std::wstring::npos) << Target;
	EXPECT_TRUE(std::filesystem::equivalent(ToPath(Fact(Target, L"cwd")), Folder.Path() / "Work")) << Target;

	// The User Helper: outside the group, with the session and the same arguments.
	EXPECT_FALSE(InSessionGroup(Helper));
	EXPECT_EQ(Fact(Helper, L"env=KVT_SESSION_GUID"), SessionGuid);
	EXPECT_NE(Helper.find(Arguments), std::wstring::npos) << Helper;

	// Telemetry as the server received it: in order, numbers as numbers.
	ASSERT_EQ(Events.size(), 3u);
	EXPECT_TRUE(Events[0].Body.starts_with(R"({"EventName":"KVTBootstrap.Start")")) << Events[0].Body;
	const std::string Exit = R"("ExitCode":)" + EncodeUtf8Lossless(Detail) + R"(,"ExitCodeHexString":")";
	EXPECT_NE(Events[1].Body.find(Exit + (bWindows ? "C0000409h" : "00000089h")), std::string::npos) << Events[1].Body;
}

// The launcher knows itself by the file, not by how the INI spells its name.
TEST_F(EndToEnd, TheLauncherRefusesToStartItself)
{
	const std::wstring Refusal = L"Target application to run cannot be the Bootstrapper executable itself!";
	const std::wstring Link = Folder.Wide(L"Link" + Exe);
	std::filesystem::create_hard_link(ToPath(Launcher), ToPath(Link));
	for (const std::wstring& Name : {L"Launcher" + Exe, Link})
	{
		WriteConfig(L"", Name);
		Launch();
		EXPECT_EQ(ExitCode, 1u) << ToPath(Name);
		// Each run's log holds only that run's lines.
		EXPECT_EQ(Log.find(Refusal), Log.rfind(Refusal)) << ToPath(Name);
		EXPECT_NE(Log.find(Refusal), std::wstring::npos) << ToPath(Name);
	}
	// Refused before the session: the server heard nothing of either run.
	EXPECT_TRUE(Server.RequestsTo("/").empty());
}

#if !KVT_TEST_ON_WINDOWS
// A system without a working libcurl (here a stub that does not load) still
// starts the game and passes its exit code on; the log says why no telemetry went.
TEST_F(EndToEnd, WithoutLibcurlTheGameStillRunsAndTheLogSaysWhy)
{
	const FScopedVariable LibraryPath(L"LD_LIBRARY_PATH", KVT_E2E_CURL_STUB_DIR);
	WriteGameScript("exec env KVT_REPORT_EXIT_CODE=7 \"${0%/*}/Game\"");
	Launch();
	EXPECT_EQ(ExitCode, 7u) << Log;
	EXPECT_EQ(Fact(Target, L"env=KVT_SESSION_STARTUPINFO"), L"1,SUCCESS,");
	EXPECT_NE(Log.find(L"] [Error] [FCurlLibrary::Load] Failed to load libcurl: "), std::wstring::npos) << Log;
	EXPECT_TRUE(Server.RequestsTo("/").empty());
}

// Linux names are bytes. A launcher in a folder whose name is no UTF-8 finds itself,
// its INI and its game there, and the game gets its argument's bytes exactly: a
// Latin-1 byte, and the three bytes of an encoded surrogate, which are no UTF-8 either.
TEST_F(EndToEnd, NamesThatAreNoUtf8KeepTheirBytes)
{
	const std::tuple<std::string, std::wstring, std::wstring> Cases[] = {
		{"\xE9", L"\xDCE9", L"e9"}, {"\xED\xB3\xA9", L"\xDCED\xDCB3\xDCA9", L"edb3a9"}};
	for (const auto& [Bytes, Text, Hex] : Cases)
	{
		const std::filesystem::path Home = Folder.Path() / ("Caf" + Bytes);
		std::filesystem::create_directories(Home / "Work");
		std::filesystem::copy_file(ToPath(KVT_E2E_LAUNCHER), Home / "Launcher");
		std::filesystem::copy_file(ToPath(KVT_E2E_REPORT_HELPER), Home / "Game");
		WriteFileBytes(Home / "Launcher.ini", "ApplicationPath=Game\nWorkingDirectory=Work\nWaitForExit=1\n");
		Launcher = Folder.Wide() + L"/Caf" + Text + L"/Launcher";
		Launch(L"caf" + Text + L".sav");
		EXPECT_EQ(ExitCode, 0u) << Log;
		const std::wstring Report = DecodeUtf8Lossless(ReadFileBytes(Home / "Work" / "report.txt"));
		EXPECT_TRUE(Fact(Report, L"argbytes").ends_with(L" 636166" + Hex + L"2e736176 ")) << Report;
	}
}

// What a parent leaves the launcher: each set-up runs in python3 (a shell cannot
// ignore SIGCHLD for a child), which gives SIGPIPE and SIGXFSZ their defaults
// back and becomes the launcher, its output a pipe read to the end. The User
// Helper leaves a child running.
TEST_F(EndToEnd, TheLauncherSurvivesWhatItsParentLeavesIt)
{
	const char* const SetUps[] = {"", "r, w = os.pipe(); os.close(r); os.dup2(w, 1)",
		"resource.setrlimit(resource.RLIMIT_FSIZE, (1024, 1024))", "signal.signal(signal.SIGCHLD, signal.SIG_IGN)", "os.close(1)"};
	// Orphans come to the test, which can then tell whether the left child still runs.
	ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
	WriteGameScript("exec env -u KVT_REPORT_LEAVE_CHILD KVT_REPORT_EXIT_CODE=7 \"${0%/*}/Game\" \"$@\"");
	ASSERT_TRUE(Platform->TrySetEnvironmentVariable(L"KVT_REPORT_LEAVE_CHILD", L"20"));
	for (const char* SetUp : SetUps)
	{
		SCOPED_TRACE(SetUp);
		FILE* Output = ::popen(("exec " + std::string(KVT_E2E_PYTHON3) + " -c 'import os, resource, signal, sys\n"
			"for s in signal.SIGPIPE, signal.SIGXFSZ: signal.signal(s, signal.SIG_DFL)\n" + SetUp +
			"\nos.execv(\"../Launcher\", [\"../Launcher\", \"x\"])'").c_str(), "r");
		ASSERT_NE(Output, nullptr);
		while (std::fgetc(Output) != EOF)
		{
		}
		const int Status = ::pclose(Output);
		ReadRun();
		// The game ran (only it exits with 7) with the session, and both children with their usual signals.
		EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 7) << Status;
		EXPECT_EQ(Fact(Target, L"env=KVT_SESSION_STARTUPINFO"), L"1,SUCCESS,");
		EXPECT_FALSE(std::regex_search(Fact(Target, L"ignored") + Fact(Helper, L"ignored"), std::wregex(L"PIPE|XFSZ|CHLD")))
			<< Target << Helper;
		EXPECT_FALSE(std::regex_search(L"\n" + Log, std::wregex(L"\n[^[]"))) << "a line without its time stamp:\n" << Log;
		// The output ended with the launcher, not with the User Helper's child.
		const pid_t Left = static_cast<pid_t>(std::wcstol(Fact(Helper, L"left").c_str(), nullptr, 10));
		EXPECT_EQ(Left > 0 ? ::waitpid(Left, nullptr, WNOHANG) : -1, 0) << Helper;
		if (Left > 0 && ::kill(Left, SIGKILL) == 0)
		{
			::waitpid(Left, nullptr, 0);
		}
	}
}

// A script without job control gives a job it starts with & /dev/null as its
// input and keeps its terminal: its read gets the line typed while the launcher
// runs (the game waits for that read).
TEST_F(EndToEnd, AScriptThatStartsTheLauncherInTheBackgroundStillReadsItsTerminal)
{
	WriteGameScript("until [ -e ../Run/line ]; do sleep 0.1; done");
	std::string Terminal;
	const FScopedFileDescriptor Master = OpenPseudoTerminal(Terminal);
	ASSERT_TRUE(Master);
	const pid_t Script = ::fork();
	if (Script == 0)
	{
		::setsid();
		::dup2(::open(Terminal.c_str(), O_RDWR), STDIN_FILENO);
		::execl("/bin/sh", "sh", "-c",
			"../Launcher & n=0; until [ -e report.txt ] || [ $n -ge 600 ]; do sleep 0.1; n=$((n+1)); done; "
			"[ -e report.txt ] || { echo 'the User Helper never ran' > line; exit; }; read Line; echo \"$Line\" > line; wait",
			nullptr);
		::_exit(127);
	}
	EXPECT_EQ(::write(Master.Get(), "typed\n", 6), 6);
	EXPECT_EQ(::waitpid(Script, nullptr, 0), Script);
	EXPECT_EQ(ReadText(Folder.Wide(L"Run/line")), L"typed\n");
}
#endif
