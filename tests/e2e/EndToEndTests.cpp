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
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <chrono>
#include <cwctype>
#include <filesystem>
#include <sstream>
#include <thread>

#if KVT_TEST_ON_WINDOWS
#include "platform/windows/WindowsHandles.h"
#else
#include <unistd.h>
#endif

namespace
{
	using FLines = std::vector<std::wstring>;
	constexpr bool bWindows = KVT_TEST_ON_WINDOWS != 0;
	const std::wstring Exe = bWindows ? L".exe" : L"";

	FLines ReadLines(const std::wstring& Path)
	{
		FLines Lines;
		std::wistringstream Stream(DecodeUtf8Lossless(ReadFileBytes(ToPath(Path))));
		for (std::wstring Line; std::getline(Stream, Line);)
		{
			Lines.push_back(Line.substr(0, Line.find_last_not_of(L'\r') + 1));
		}
		return Lines;
	}

	// The rest of each line that starts with Prefix.
	FLines Filter(const FLines& Lines, const std::wstring& Prefix)
	{
		FLines Result;
		for (const std::wstring& Line : Lines)
		{
			if (Line.rfind(Prefix, 0) == 0)
			{
				Result.push_back(Line.substr(Prefix.size()));
			}
		}
		return Result;
	}

	// The value of a report's "Key=" line.
	std::wstring Fact(const FLines& Report, const std::wstring& Key)
	{
		const auto Line = std::find_if(Report.begin(), Report.end(), [&](const std::wstring& Line) { return Line.rfind(Key + L"=", 0) == 0; });
		return Line == Report.end() ? L"?" : Line->substr(Key.size() + 1);
	}

	// What differs between the systems: where the User Helper is registered
	// (the current user's registry; a store of one file per value below the
	// configuration folder, which the test points into its own folder), other
	// names of one file, and how a child's report shows the launcher's session
	// group (the job; the launcher's new process group) or a breakaway from it.
#if KVT_TEST_ON_WINDOWS
	const wchar_t* const UserHelperKey = L"SOFTWARE\\Zorvan Games\\KVT\\UserHelper";

	void RegisterUserHelper(const std::wstring&, const std::wstring& Path)
	{
		HKEY RawKey = nullptr;
		ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, UserHelperKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &RawKey, nullptr), ERROR_SUCCESS);
		const FScopedRegistryKey Key(RawKey);
		const auto Bytes = reinterpret_cast<const BYTE*>(Path.c_str());
		ASSERT_EQ(::RegSetValueExW(Key.Get(), L"Path", 0, REG_SZ, Bytes, static_cast<DWORD>((Path.size() + 1) * sizeof(wchar_t))), ERROR_SUCCESS);
	}

	void UnregisterUserHelper()
	{
		for (const REGSAM View : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
		{
			::RegDeleteKeyExW(HKEY_CURRENT_USER, UserHelperKey, View, 0);
		}
	}

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

	bool InSessionGroup(const FLines& Report) { return Fact(Report, L"injob") == L"1"; }
	bool OutsideSessionGroup(const FLines& Report) { return Fact(Report, L"injob") == L"0"; }
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
		const std::filesystem::path Hard = ToPath(Path + L"-hard-link");
		const std::filesystem::path Symbolic = ToPath(Path + L"-symbolic-link");
		std::filesystem::create_hard_link(ToPath(Path), Hard);
		std::filesystem::create_symlink(ToPath(Path), Symbolic);
		return {ToWide(Hard), ToWide(Symbolic)};
	}

	// The launcher, started by this test inside the test's group, made a group
	// of its own: the child is in a group that is neither the test's nor its own.
	bool InSessionGroup(const FLines& Report)
	{
		const std::wstring Group = Fact(Report, L"pgid");
		return Group != L"?" && Group != std::to_wstring(::getpgrp()) && Group != Fact(Report, L"pid");
	}

	// Breakaway: a session (and so a group) of its own.
	bool OutsideSessionGroup(const FLines& Report)
	{
		return Fact(Report, L"sid") == Fact(Report, L"pid") && Fact(Report, L"pgid") == Fact(Report, L"pid");
	}
#endif

	bool Contains(const FLines& Lines, const std::wstring& Text)
	{
		return std::any_of(Lines.begin(), Lines.end(), [&](const std::wstring& Line) { return Line.find(Text) != std::wstring::npos; });
	}

	// A member of an event's JSON body as JSON text: a string keeps its quotes,
	// so text where a number belongs shows.
	std::string Field(const FRecordedRequest& Event, const char* Name)
	{
		rapidjson::Document Json;
		Json.Parse(Event.Body.c_str());
		if (!Json.IsObject() || !Json.HasMember(Name))
		{
			return "<none>";
		}
		rapidjson::StringBuffer Buffer;
		rapidjson::Writer<rapidjson::StringBuffer> Writer(Buffer);
		Json[Name].Accept(Writer);
		return Buffer.GetString();
	}

	// What the telemetry service is sent for a session, path and query.
	std::string TelemetryTarget(const std::wstring& SessionGuid)
	{
		std::string Version = EncodeUtf8Lossless(KVT_VERSION_TAG);
		for (size_t Plus = Version.find('+'); Plus != std::string::npos; Plus = Version.find('+', Plus))
		{
			Version.replace(Plus, 1, "%2B");
		}
		return "/telemetry/data?SessionID=" + EncodeUtf8Lossless(SessionGuid) +
			"&AppID=ZorvanOnlineServices.BootStrapper&AppVersion=" + Version + "&AppEnvironment=prod&UploadType=eteventstream";
	}

	struct FLaunch
	{
		uint32_t ExitCode = 0xDEADBEEF;
		FLines Log;
		FLines Target;                         // the game's report; empty when it never ran
		FLines HelperRuns;                     // the User Helper's reports, one block per run
		std::wstring SessionGuid;              // from the log
		std::vector<FRecordedRequest> Events;  // telemetry of that session
	};

	class EndToEnd : public ::testing::Test
	{
	protected:
		std::shared_ptr<IPlatform> Platform = MakeNativePlatform();
		FTempDirectory Folder;
		std::wstring Launcher = Folder.Wide(L"Launcher" + Exe);
		std::wstring Game = Folder.Wide(L"Game" + Exe);
		std::wstring UserHelper = Folder.Wide(L"Service" + Exe + L"-dir/UserHelper" + Exe);
		FLoopbackServer Server;

		void SetUp() override
		{
			ASSERT_TRUE(Server.Connect()) << Server.Error;
			std::filesystem::create_directories(ToPath(UserHelper).parent_path());
			std::filesystem::copy_file(ToPath(KVT_E2E_LAUNCHER), ToPath(Launcher));
			std::filesystem::copy_file(ToPath(KVT_E2E_TARGET), ToPath(Game));
			std::filesystem::copy_file(ToPath(KVT_E2E_USERHELPER), ToPath(UserHelper));
			UnregisterUserHelper();
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
		FLaunch Launch(const std::wstring& Arguments = L"--play \"two words\"", bool bGameExpected = true)
		{
			FLaunch Result;
			const std::filesystem::path TargetReport = ToPath(Folder.Wide(L"target-report.txt"));
			std::filesystem::remove(TargetReport);
			std::filesystem::remove(ToPath(Folder.Wide(L"helper-report.txt")));
			EXPECT_TRUE(Platform->TryRunExecutable(Launcher, Arguments, std::nullopt, false, true, &Result.ExitCode));
			const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
			while (bGameExpected && !std::filesystem::exists(TargetReport) && std::chrono::steady_clock::now() < Deadline)
			{
				std::this_thread::sleep_for(std::chrono::milliseconds(20));
			}
			Result.Log = ReadLines(Folder.Wide(L"state/Zorvan Games/Zorvan Online Services/Bootstrapper/Logs/KVTBootstrapper.log"));
			Result.Target = ReadLines(Folder.Wide(L"target-report.txt"));
			Result.HelperRuns = ReadLines(Folder.Wide(L"helper-report.txt"));
			for (const std::wstring& Line : Result.Log)
			{
				const size_t At = Line.find(L"Generated Session GUID: '");
				if (At != std::wstring::npos)
				{
					Result.SessionGuid = Line.substr(At + 25, 36);
					Result.Events = Server.RequestsTo(TelemetryTarget(Result.SessionGuid));
				}
			}
			return Result;
		}
	};
}

TEST_F(EndToEnd, TheGameRunsWithItsSessionArgumentsAndFolderAndTheRunIsReported)
{
	// Read next to the configuration, not from the launcher's current folder.
	std::filesystem::create_directories(Folder.Path() / "Work");
	WriteConfig(L"WorkingDirectory=Work\n");
	const FLaunch Run = Launch(L"-x \"two words\" \"quote\\\"inside\" \"\"");
	EXPECT_EQ(Run.ExitCode, 0u);
	ASSERT_EQ(Run.SessionGuid.size(), 36u);

	// The game: its session, the startup information, the overlay, the job or group, the arguments, the folder.
	EXPECT_EQ(Filter(Run.Target, L"env=KVT_SESSION_GUID="), FLines{Run.SessionGuid});
	EXPECT_EQ(Filter(Run.Target, L"env=KVT_SESSION_STARTUPINFO="), FLines{L"1,SUCCESS,"});
	EXPECT_EQ(Filter(Run.Target, L"env=KVT_OVERLAY_ENABLE_VULKAN_WIN32="), FLines{L"1"});
	EXPECT_EQ(Filter(Run.Target, L"env=KVT_OVERLAY_ENABLE_VULKAN_WIN64="), FLines{L"1"});
	EXPECT_TRUE(InSessionGroup(Run.Target));
	const FLines Arguments = {L"-x", L"two words", L"quote\"inside", L""};
	FLines Reported = Filter(Run.Target, L"arg=");
	EXPECT_EQ(FLines(Reported.begin() + (Reported.empty() ? 0 : 1), Reported.end()), Arguments);
	EXPECT_TRUE(std::filesystem::equivalent(ToPath(Fact(Run.Target, L"cwd")), Folder.Path() / "Work")) << ToPath(Fact(Run.Target, L"cwd"));

	// The User Helper: outside the group, with the session and the same arguments.
	EXPECT_TRUE(OutsideSessionGroup(Run.HelperRuns));
	EXPECT_EQ(Filter(Run.HelperRuns, L"env=KVT_SESSION_GUID="), FLines{Run.SessionGuid});
	EXPECT_TRUE(Filter(Run.HelperRuns, L"env=KVT_SESSION_STARTUPINFO=").empty());
	Reported = Filter(Run.HelperRuns, L"arg=");
	EXPECT_EQ(FLines(Reported.begin() + (Reported.empty() ? 0 : 1), Reported.end()), Arguments);

	// Telemetry: in order, with their values, as the server received it.
	ASSERT_EQ(Run.Events.size(), 3u);
	EXPECT_EQ(Field(Run.Events[0], "EventName"), "\"KVTBootstrap.Start\"");
	EXPECT_EQ(Field(Run.Events[1], "EventName"), "\"KVTBootstrap.UserHelper.Exit\"");
	EXPECT_EQ(Field(Run.Events[1], "ExitCode"), "0");
	EXPECT_EQ(Field(Run.Events[2], "EventName"), "\"KVTBootstrap.Performance.StartupSpeed\"");
	EXPECT_EQ(Field(Run.Events[2], "RestartCount"), "0");
	EXPECT_EQ(Field(Run.Events[2], "FinalExitCode"), "0");
	for (const FRecordedRequest& Event : Run.Events)
	{
		EXPECT_EQ(Event.Method, "POST");
		EXPECT_LT(Event.HeaderIndex("Content-Type"), Event.HeaderIndex("User-Agent"));
		EXPECT_EQ(Event.HeaderValues("Content-Type"), std::vector<std::string>{"application/json; charset=utf-8"});
		EXPECT_EQ(Event.HeaderValues("Content-Length"), std::vector<std::string>{std::to_string(Event.Body.size())});
	}
}

TEST_F(EndToEnd, ACrashingHelperIsPublishedWithItsCode)
{
	SetVariable(L"KVT_E2E_HELPER_EXIT", bWindows ? L"0xC0000005" : L"SIGSEGV");
	const FLaunch Run = Launch();
	EXPECT_EQ(Run.ExitCode, 0u);
	EXPECT_TRUE(Contains(Run.Log, bWindows ? L"User Helper application exited with C0000005h." : L"User Helper application exited with 8Bh."));
	const std::wstring Detail = bWindows ? L"-1073741819" : L"139";
	EXPECT_EQ(Filter(Run.Target, L"env=KVT_SESSION_STARTUPINFO="), FLines{L"1,SERVICE_INIT_FAILED," + Detail});
	ASSERT_EQ(Run.Events.size(), 3u);
	EXPECT_EQ(Field(Run.Events[1], "ExitCode"), EncodeUtf8Lossless(Detail));
	EXPECT_EQ(Field(Run.Events[1], "ExitCodeHexString"), bWindows ? "\"C0000005h\"" : "\"0000008Bh\"");
}

// Text is no program: the system's own start error (bad format on Windows; no
// execute permission on Linux, which stops even root) is what the run shows.
TEST_F(EndToEnd, ProgramsThatCannotStart)
{
	// A broken User Helper never keeps the game from starting; its start error is the detail, with no exit event.
	const std::wstring Broken = Folder.Wide(L"broken" + Exe);
	WriteFileBytes(ToPath(Broken), "this is not a program\n");
	RegisterUserHelper(Folder.Wide(), Broken);
	FLaunch Run = Launch();
	EXPECT_EQ(Run.ExitCode, 0u);
	EXPECT_EQ(Filter(Run.Target, L"env=KVT_SESSION_STARTUPINFO="), FLines{bWindows ? L"1,SERVICE_INIT_FAILED,193" : L"1,SERVICE_INIT_FAILED,13"});
	ASSERT_EQ(Run.Events.size(), 2u);
	EXPECT_EQ(Field(Run.Events[1], "EventName"), "\"KVTBootstrap.Performance.StartupSpeed\"");

	// A game that cannot start ends the run, without uploads. (A new file: the copy kept the program's permissions.)
	std::filesystem::remove(ToPath(Game));
	WriteFileBytes(ToPath(Game), "this is not a program\n");
	WriteConfig(L"NoOperation=1\n");
	Run = Launch(L"", false);
	EXPECT_EQ(Run.ExitCode, 1u);
	EXPECT_TRUE(Contains(Run.Log, L"Failed to run the target application."));
	EXPECT_EQ(Run.SessionGuid.size(), 36u);
	EXPECT_TRUE(Run.Events.empty());
}

TEST_F(EndToEnd, TheLauncherRefusesToStartItselfUnderAnyName)
{
	FLines Names = MakeOtherNamesOf(Launcher);
	Names.push_back(L"Launcher" + Exe);
	for (const std::wstring& Name : Names)
	{
		ASSERT_TRUE(Platform->TryWriteFile(Folder.Wide(L"Launcher.ini"), L"ApplicationPath=" + Name + L"\n", false, false));
		const FLaunch Run = Launch(L"", false);
		EXPECT_EQ(Run.ExitCode, 1u) << ToPath(Name);
		EXPECT_TRUE(Contains(Run.Log, L"Target application to run cannot be the Bootstrapper executable itself!")) << ToPath(Name);
		EXPECT_TRUE(Run.SessionGuid.empty());
		EXPECT_TRUE(Run.HelperRuns.empty());
		EXPECT_TRUE(Run.Target.empty());
	}
}

TEST_F(EndToEnd, TheGamesExitCodeIsPassedOnOnlyWhenWaitedFor)
{
	// The full 32 bits where the system has them.
	SetVariable(L"KVT_REPORT_EXIT_CODE", bWindows ? L"0xC0000409" : L"7");
	WriteConfig(L"NoOperation=1\n");
	FLaunch Run = Launch();
	EXPECT_EQ(Run.ExitCode, 0u);
	EXPECT_EQ(Filter(Run.Target, L"env=KVT_SESSION_STARTUPINFO="), FLines{L"1,NO_OPERATION,"});

	WriteConfig(L"NoOperation=1\nWaitForExit=1\n");
	Run = Launch();
	EXPECT_EQ(Run.ExitCode, bWindows ? 0xC0000409u : 7u);
	// Each run's log holds only that run's lines.
	EXPECT_FALSE(Contains(Run.Log, L"Completed successfully."));
	EXPECT_TRUE(Contains(Run.Log, bWindows ? L"Target application failed with exit code: C0000409h." : L"Target application failed with exit code: 7h."));
	EXPECT_EQ(Run.Events.size(), 2u) << "the upload follows the game's exit";
}
