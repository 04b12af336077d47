// The real launcher, started as a player's system would start it, with real
// children, the real registry (or its Linux store) and a loopback telemetry
// server. Each test lays out a game folder of its own. What the unit tests of
// the sequence already show with the fake platform is not repeated here.
#include "BuildConfig.h"
#include "platform/Utf8.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestBootstrapper.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cwctype>
#include <filesystem>
#include <regex>
#include <thread>

#if KVT_TEST_ON_WINDOWS
#include "platform/windows/WindowsHandles.h"
#else
#include <unistd.h>
#endif

namespace
{
	using FLines = std::vector<std::wstring>; // other names of one file
	constexpr bool bWindows = KVT_TEST_ON_WINDOWS != 0;
	const std::wstring Exe = bWindows ? L".exe" : L"";

	std::wstring ReadText(const std::wstring& Path) { return DecodeUtf8Lossless(ReadFileBytes(ToPath(Path))); }

	bool Contains(const std::wstring& Text, const std::wstring& Part) { return Text.find(Part) != std::wstring::npos; }

	// The value of a report's "Key=" line (never its first); "?" when it has none.
	std::wstring Fact(const std::wstring& Report, const std::wstring& Key)
	{
		const size_t At = Report.find(L"\n" + Key + L"=");
		const size_t Start = At + Key.size() + 2;
		return At == std::wstring::npos ? L"?" : Report.substr(Start, Report.find(L'\n', Start) - Start);
	}

	// What differs between the systems: where the User Helper is registered
	// (the current user's registry; a store of one file per value below the
	// configuration folder, which the test points into its own folder), other
	// names of one file, and whether a child's report shows it in the
	// launcher's session group (the job; the launcher's new process group,
	// neither the test's nor the child's own).
#if KVT_TEST_ON_WINDOWS
	const wchar_t* const UserHelperKey = L"SOFTWARE\\Zorvan Games\\KVT\\UserHelper";

	void RegisterUserHelper(const std::wstring&, const std::wstring& Path)
	{
		const auto Size = static_cast<DWORD>((Path.size() + 1) * sizeof(wchar_t));
		ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, UserHelperKey, L"Path", REG_SZ, Path.c_str(), Size), ERROR_SUCCESS);
	}

	void UnregisterUserHelper() { ::RegDeleteKeyW(HKEY_CURRENT_USER, UserHelperKey); }

	// Another letter case, and the 8.3 name where the file system keeps one.
	FLines MakeOtherNamesOf(const std::wstring& Path)
	{
		FLines Names{Path};
		std::transform(Path.begin(), Path.end(), Names[0].begin(), [](wchar_t Character) { return std::towlower(Character); });
		wchar_t Short[MAX_PATH] = {};
		const DWORD Length = ::GetShortPathNameW(Path.c_str(), Short, MAX_PATH);
		if (Length > 0 && Length < MAX_PATH && Path != Short)
		{
			Names.emplace_back(Short, Length);
		}
		return Names;
	}

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

	FLines MakeOtherNamesOf(const std::wstring& Path)
	{
		std::filesystem::create_hard_link(ToPath(Path), ToPath(Path + L"-hard-link"));
		std::filesystem::create_symlink(ToPath(Path), ToPath(Path + L"-symbolic-link"));
		return {Path + L"-hard-link", Path + L"-symbolic-link"};
	}

	bool InSessionGroup(const std::wstring& Report)
	{
		const std::wstring Group = Fact(Report, L"pgid");
		return Group != L"?" && Group != std::to_wstring(::getpgrp()) && Group != Fact(Report, L"pid");
	}
#endif

	// Each member as the body's compact JSON spells it: a string keeps its
	// quotes, so text where a number belongs shows.
	void ExpectMembers(const FRecordedRequest& Event, std::initializer_list<std::string> Members)
	{
		for (const std::string& Member : Members)
		{
			EXPECT_NE(Event.Body.find(Member), std::string::npos) << Member << " in " << Event.Body;
		}
	}

	// What the telemetry service is sent for a session, path and query.
	std::string TelemetryTarget(const std::wstring& SessionGuid)
	{
		const std::string Version = std::regex_replace(EncodeUtf8Lossless(KVT_VERSION_TAG), std::regex("\\+"), "%2B");
		return "/telemetry/data?SessionID=" + EncodeUtf8Lossless(SessionGuid) +
			"&AppID=ZorvanOnlineServices.BootStrapper&AppVersion=" + Version + "&AppEnvironment=prod&UploadType=eteventstream";
	}

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
		// when the program never ran; the User Helper's, one block per run), the
		// session from the log and the telemetry of that session.
		uint32_t ExitCode = 0;
		std::wstring Log, Target, HelperRuns, SessionGuid;
		std::vector<FRecordedRequest> Events;

		void SetUp() override
		{
			ASSERT_TRUE(Server.Connect()) << Server.Error;
			std::filesystem::create_directories(ToPath(UserHelper).parent_path());
			std::filesystem::copy_file(ToPath(KVT_E2E_LAUNCHER), ToPath(Launcher));
			std::filesystem::copy_file(ToPath(KVT_E2E_TARGET), ToPath(Game));
			std::filesystem::copy_file(ToPath(KVT_E2E_USERHELPER), ToPath(UserHelper));
			RegisterUserHelper(Folder.Wide(), UserHelper);
			SetVariable(KVT_TEST_LOG_ROOT_VARIABLE, Folder.Wide(L"state"));
			SetVariable(L"KVT_REPORT_FILE", Folder.Wide(L"target-report.txt"));
			SetVariable(L"KVT_E2E_HELPER_REPORT", Folder.Wide(L"helper-report.txt"));
			SetVariable(L"KVT_E2E_HELPER_EXIT", L"0");
			SetVariable(L"KVT_REPORT_EXIT_CODE", L"0");
			WriteConfig(L"");
		}

		void TearDown() override { UnregisterUserHelper(); }

		void SetVariable(const std::wstring& Name, const std::wstring& Value)
		{
			ASSERT_TRUE(Platform->TrySetEnvironmentVariable(Name, Value));
		}

		// The game's path and then the given lines.
		void WriteConfig(const std::wstring& MoreLines)
		{
			ASSERT_TRUE(Platform->TryWriteFile(Folder.Wide(L"Launcher.ini"), L"ApplicationPath=Game" + Exe + L"\n" + MoreLines, false, false));
		}

		// Without WaitForExit the launcher may end before the game has written
		// its report: wait for the report when the game is expected to run.
		void Launch(const std::wstring& Arguments = L"--play \"two words\"", bool bGameExpected = true)
		{
			const std::filesystem::path TargetReport = ToPath(Folder.Wide(L"target-report.txt"));
			std::filesystem::remove(TargetReport);
			std::filesystem::remove(ToPath(Folder.Wide(L"helper-report.txt")));
			EXPECT_TRUE(Platform->TryRunExecutable(Launcher, Arguments, std::nullopt, false, true, &ExitCode));
			const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
			while (bGameExpected && !std::filesystem::exists(TargetReport) && std::chrono::steady_clock::now() < Deadline)
			{
				std::this_thread::sleep_for(std::chrono::milliseconds(20));
			}
			Log = ReadText(Folder.Wide(L"state/Zorvan Games/Zorvan Online Services/Bootstrapper/Logs/KVTBootstrapper.log"));
			Target = ReadText(Folder.Wide(L"target-report.txt"));
			HelperRuns = ReadText(Folder.Wide(L"helper-report.txt"));
			const size_t At = Log.find(L"Generated Session GUID: '");
			SessionGuid = At == std::wstring::npos ? L"" : Log.substr(At + 25, 36);
			Events = Server.RequestsTo(TelemetryTarget(SessionGuid));
		}
	};
}

// One run shows what the game and the User Helper get from a real start, and
// what the server receives: here the User Helper dies by a crash, which must
// not keep the game from starting.
TEST_F(EndToEnd, TheGameAndACrashingHelperRunWithTheSessionAndTheRunIsReported)
{
	// Read next to the configuration, not from the launcher's current folder.
	std::filesystem::create_directories(Folder.Path() / "Work");
	WriteConfig(L"WorkingDirectory=Work\nWaitForExit=1\n");
	SetVariable(L"KVT_E2E_HELPER_EXIT", bWindows ? L"0xC0000005" : L"SIGSEGV");
	// The full 32 bits where the system has them.
	SetVariable(L"KVT_REPORT_EXIT_CODE", bWindows ? L"0xC0000409" : L"7");
	Launch(L"-x \"two words\" \"quote\\\"inside\" \"\"");
	EXPECT_EQ(ExitCode, bWindows ? 0xC0000409u : 7u);
	ASSERT_EQ(SessionGuid.size(), 36u);
	EXPECT_TRUE(Contains(Log, L"] [Error] [FGenericBootstrapper::Bootstrap] Target application failed with exit code: " +
		std::wstring(bWindows ? L"C0000409h." : L"7h.")));
	EXPECT_TRUE(Contains(Log, bWindows ? L"User Helper application exited with C0000005h." : L"User Helper application exited with 8Bh."));

	// The game: no session (the service failed), the startup information, the
	// overlay, the job or group, the arguments, the folder.
	const std::wstring Detail = bWindows ? L"-1073741819" : L"139";
	const std::wstring Arguments = L"\narg=-x\narg=two words\narg=quote\"inside\narg=\n";
	EXPECT_FALSE(Contains(Target, L"KVT_SESSION_GUID")) << Target;
	EXPECT_EQ(Fact(Target, L"env=KVT_SESSION_STARTUPINFO"), L"1,SERVICE_INIT_FAILED," + Detail);
	EXPECT_EQ(Fact(Target, L"env=KVT_OVERLAY_ENABLE_VULKAN_WIN32"), L"1");
	EXPECT_EQ(Fact(Target, L"env=KVT_OVERLAY_ENABLE_VULKAN_WIN64"), L"1");
	EXPECT_TRUE(InSessionGroup(Target));
	EXPECT_TRUE(Contains(Target, Arguments + L"cwd=")) << Target;
	EXPECT_TRUE(std::filesystem::equivalent(ToPath(Fact(Target, L"cwd")), Folder.Path() / "Work")) << Target;

	// The User Helper: run once, outside the group, with the session and the same arguments.
	EXPECT_EQ(HelperRuns.rfind(L"run\n"), 0u) << HelperRuns;
	EXPECT_FALSE(InSessionGroup(HelperRuns));
	EXPECT_EQ(Fact(HelperRuns, L"env=KVT_SESSION_GUID"), SessionGuid);
	EXPECT_FALSE(Contains(HelperRuns, L"KVT_SESSION_STARTUPINFO"));
	EXPECT_TRUE(Contains(HelperRuns, Arguments)) << HelperRuns;

	// Telemetry, sent after the game's exit: in order, with their values, as the server received it.
	const std::string Code = EncodeUtf8Lossless(Detail);
	ASSERT_EQ(Events.size(), 3u);
	ExpectMembers(Events[0], {R"("EventName":"KVTBootstrap.Start")"});
	ExpectMembers(Events[1], {R"("EventName":"KVTBootstrap.UserHelper.Exit")", R"("ExitCode":)" + Code,
		bWindows ? R"("ExitCodeHexString":"C0000005h")" : R"("ExitCodeHexString":"0000008Bh")"});
	ExpectMembers(Events[2], {R"("EventName":"KVTBootstrap.Performance.StartupSpeed")", R"("RestartCount":0)",
		R"("FinalExitCode":)" + Code});
	for (const FRecordedRequest& Event : Events)
	{
		EXPECT_EQ(Event.Method, "POST");
		EXPECT_LT(Event.HeaderIndex("Content-Type"), Event.HeaderIndex("User-Agent"));
		EXPECT_EQ(Event.HeaderValues("Content-Type"), std::vector<std::string>{"application/json; charset=utf-8"});
		EXPECT_EQ(Event.HeaderValues("Content-Length"), std::vector<std::string>{std::to_string(Event.Body.size())});
	}
}

// Text is no program: the system's own start error (bad format on Windows; no
// execute permission on Linux, which stops even root) is what the run shows.
TEST_F(EndToEnd, WithoutAUsableHelperOrGame)
{
	// A broken User Helper never keeps the game from starting; its start error
	// is the detail, with no exit event. Not waited for, the game's exit code is not passed on.
	const std::wstring Broken = Folder.Wide(L"broken" + Exe);
	WriteFileBytes(ToPath(Broken), "this is not a program\n");
	RegisterUserHelper(Folder.Wide(), Broken);
	SetVariable(L"KVT_REPORT_EXIT_CODE", L"7");
	Launch();
	EXPECT_EQ(ExitCode, 0u);
	EXPECT_EQ(Fact(Target, L"env=KVT_SESSION_STARTUPINFO"), bWindows ? L"1,SERVICE_INIT_FAILED,193" : L"1,SERVICE_INIT_FAILED,13");
	ASSERT_EQ(Events.size(), 2u);
	ExpectMembers(Events[1], {R"("EventName":"KVTBootstrap.Performance.StartupSpeed")"});

	// Waited for, so that the game is gone before its file is replaced below.
	WriteConfig(L"NoOperation=1\nWaitForExit=1\n");
	Launch();
	EXPECT_EQ(Fact(Target, L"env=KVT_SESSION_STARTUPINFO"), L"1,NO_OPERATION,");
	EXPECT_EQ(Events.size(), 2u);

	// A game that cannot start ends the run, without uploads. (A new file: the copy kept the program's permissions.)
	std::filesystem::remove(ToPath(Game));
	WriteFileBytes(ToPath(Game), "this is not a program\n");
	Launch(L"", false);
	EXPECT_EQ(ExitCode, 1u);
	EXPECT_TRUE(Contains(Log, L"Failed to run the target application."));
	// Each run's log holds only that run's lines.
	EXPECT_FALSE(Contains(Log, L"Target application failed with exit code"));
	EXPECT_EQ(SessionGuid.size(), 36u);
	EXPECT_TRUE(Events.empty());
}

TEST_F(EndToEnd, TheLauncherRefusesToStartItselfUnderAnyName)
{
	FLines Names = MakeOtherNamesOf(Launcher);
	Names.push_back(L"Launcher" + Exe);
	for (const std::wstring& Name : Names)
	{
		ASSERT_TRUE(Platform->TryWriteFile(Folder.Wide(L"Launcher.ini"), L"ApplicationPath=" + Name + L"\n", false, false));
		Launch(L"", false);
		EXPECT_EQ(ExitCode, 1u) << ToPath(Name);
		EXPECT_TRUE(Contains(Log, L"Target application to run cannot be the Bootstrapper executable itself!")) << ToPath(Name);
		EXPECT_TRUE(SessionGuid.empty());
		EXPECT_TRUE(Target.empty());
	}
}
