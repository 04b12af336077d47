// The real launcher, started as a player's system would start it, with real
// children, the real registry (or its Linux store) and a loopback telemetry
// server. Each test lays out a game folder of its own.
#include "BuildConfig.h"
#include "platform/Utf8.h"
#include "tests/support/TestBootstrapper.h"
#include "tests/support/TestFiles.h"
#include "tests/e2e/E2ESystem.h"
#include "tests/support/LoopbackServer.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace
{
	std::vector<std::wstring> ReadLines(const std::filesystem::path& Path)
	{
		std::vector<std::wstring> Lines;
		std::wstring Line;
		for (const wchar_t Character : DecodeUtf8Lossless(ReadFileBytes(Path)))
		{
			if (Character == L'\n')
			{
				Lines.push_back(Line);
				Line.clear();
			}
			else if (Character != L'\r')
			{
				Line.push_back(Character);
			}
		}
		if (!Line.empty())
		{
			Lines.push_back(Line);
		}
		return Lines;
	}

	std::vector<std::wstring> Filter(const std::vector<std::wstring>& Lines, const std::wstring& Prefix)
	{
		std::vector<std::wstring> Result;
		for (const std::wstring& Line : Lines)
		{
			if (Line.rfind(Prefix, 0) == 0)
			{
				Result.push_back(Line.substr(Prefix.size()));
			}
		}
		return Result;
	}

	bool Contains(const std::vector<std::wstring>& Lines, const std::wstring& Text)
	{
		for (const std::wstring& Line : Lines)
		{
			if (Line.find(Text) != std::wstring::npos)
			{
				return true;
			}
		}
		return false;
	}

	std::string Narrow(const std::wstring& Text)
	{
		return EncodeUtf8Lossless(Text);
	}

	// What the telemetry service is sent for a session, path and query.
	std::string TelemetryTarget(const std::wstring& SessionGuid)
	{
		std::string Version;
		for (const char Character : Narrow(KVT_VERSION_TAG))
		{
			Version += Character == '+' ? std::string("%2B") : std::string(1, Character);
		}
		return "/telemetry/data?SessionID=" + Narrow(SessionGuid) +
			"&AppID=ZorvanOnlineServices.BootStrapper&AppVersion=" + Version + "&AppEnvironment=prod&UploadType=eteventstream";
	}

	struct FLaunch
	{
		bool bStarted = false;
		uint32_t ExitCode = 0;
		std::vector<std::wstring> Log;
		std::vector<std::wstring> Target;      // the game's report; empty when it never ran
		std::vector<std::wstring> HelperRuns;  // the User Helper's reports, one block per run
		std::wstring SessionGuid;              // from the log
		std::vector<FRecordedRequest> Events;  // telemetry of that session
	};

	class EndToEnd : public ::testing::Test
	{
	protected:
		std::shared_ptr<IPlatform> Platform = MakeNativePlatform();
		FTempDirectory Folder;
		std::wstring Launcher = Folder.Wide(L"Launcher" + ExecutableSuffix());
		std::wstring Game = Folder.Wide(L"Game" + ExecutableSuffix());
		std::wstring UserHelper = Folder.Wide(L"Service" + ExecutableSuffix() + L"-dir/UserHelper" + ExecutableSuffix());
		std::wstring LogPath;
		std::unique_ptr<FUserHelperRegistration> Registration;
		FLoopbackServer Server;

		void SetUp() override
		{
			ASSERT_TRUE(Server.Connect()) << Server.Error;
			std::filesystem::create_directories(ToPath(UserHelper).parent_path());
			std::filesystem::copy_file(ToPath(KVT_E2E_LAUNCHER), ToPath(Launcher));
			std::filesystem::copy_file(ToPath(KVT_E2E_TARGET), ToPath(Game));
			std::filesystem::copy_file(ToPath(KVT_E2E_USERHELPER), ToPath(UserHelper));

			LogPath = RouteLauncherLog(*Platform, Folder.Wide(L"state"));
			Registration = std::make_unique<FUserHelperRegistration>(*Platform, Folder.Wide());
			Registration->Set(UserHelper);
			SetVariable(L"KVT_REPORT_FILE", Folder.Wide(L"target-report.txt"));
			SetVariable(L"KVT_E2E_HELPER_REPORT", Folder.Wide(L"helper-report.txt"));
			SetVariable(L"KVT_E2E_HELPER_EXITS", L"0");
			SetVariable(L"KVT_REPORT_EXIT_CODE", L"0");
			WriteConfig(L"ApplicationPath=Game" + ExecutableSuffix() + L"\n");
		}

		void TearDown() override { Registration.reset(); }

		void SetVariable(const std::wstring& Name, const std::wstring& Value)
		{
			ASSERT_TRUE(Platform->TrySetEnvironmentVariable(Name, Value));
		}

		void WriteConfig(const std::wstring& Text)
		{
			ASSERT_TRUE(Platform->TryWriteFile(Folder.Wide(L"Launcher.ini"), Text, false, false));
		}

		// Without WaitForExit the launcher may end before the game has written
		// its report: wait for the report when the game is expected to run.
		FLaunch Launch(const std::wstring& Arguments = L"--play \"two words\"", bool bGameExpected = true)
		{
			FLaunch Result;
			const std::filesystem::path TargetReport = ToPath(Folder.Wide(L"target-report.txt"));
			std::error_code Error;
			std::filesystem::remove(TargetReport, Error);
			Result.bStarted = Platform->TryRunExecutable(Launcher, Arguments, std::nullopt, false, true, &Result.ExitCode);
			const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
			while (bGameExpected && !std::filesystem::exists(TargetReport) && std::chrono::steady_clock::now() < Deadline)
			{
				std::this_thread::sleep_for(std::chrono::milliseconds(20));
			}
			Result.Log = ReadLines(ToPath(LogPath));
			Result.Target = ReadLines(TargetReport);
			Result.HelperRuns = ReadLines(ToPath(Folder.Wide(L"helper-report.txt")));
			for (const std::wstring& Guid : Filter(Result.Log, L""))
			{
				const size_t At = Guid.find(L"Generated Session GUID: '");
				if (At != std::wstring::npos)
				{
					Result.SessionGuid = Guid.substr(At + 25, 36);
				}
			}
			if (!Result.SessionGuid.empty())
			{
				Result.Events = Server.RequestsTo(TelemetryTarget(Result.SessionGuid));
			}
			return Result;
		}

		static std::string EventName(const FRecordedRequest& Request)
		{
			rapidjson::Document Json;
			Json.Parse(Request.Body.c_str());
			return Json.IsObject() && Json.HasMember("EventName") && Json["EventName"].IsString() ? Json["EventName"].GetString() : "";
		}

		static int64_t EventNumber(const FRecordedRequest& Request, const char* Name)
		{
			rapidjson::Document Json;
			Json.Parse(Request.Body.c_str());
			return Json.IsObject() && Json.HasMember(Name) && Json[Name].IsInt64() ? Json[Name].GetInt64() : INT64_MIN;
		}
	};
}

TEST_F(EndToEnd, AHelperThatAlwaysAsksForARestartRunsTenTimes)
{
	SetVariable(L"KVT_E2E_HELPER_EXITS", L"3");
	const FLaunch Run = Launch();
	ASSERT_TRUE(Run.bStarted);
	EXPECT_EQ(Run.ExitCode, 0u);
	EXPECT_EQ(Filter(Run.HelperRuns, L"run").size(), 10u);
	EXPECT_TRUE(Contains(Run.Log, L"Running the User Helper application. (1/10)"));
	EXPECT_TRUE(Contains(Run.Log, L"Running the User Helper application. (10/10)"));
	EXPECT_FALSE(Contains(Run.Log, L"(11/10)"));
	EXPECT_EQ(Filter(Run.Target, L"env=KVT_SESSION_STARTUPINFO="), std::vector<std::wstring>{L"1,SERVICE_INIT_FAILED,3"});
	EXPECT_TRUE(Filter(Run.Target, L"env=KVT_SESSION_GUID=").empty());

	ASSERT_EQ(Run.Events.size(), 12u) << "start, ten exits, start-up speed";
	EXPECT_EQ(EventName(Run.Events.back()), "KVTBootstrap.Performance.StartupSpeed");
	EXPECT_EQ(EventNumber(Run.Events.back(), "RestartCount"), 10);
	EXPECT_EQ(EventNumber(Run.Events.back(), "FinalExitCode"), 3);
}

TEST_F(EndToEnd, SuccessAfterRestartsReachesTheGameWithItsSession)
{
	SetVariable(L"KVT_E2E_HELPER_EXITS", L"3,3,0");
	const FLaunch Run = Launch(L"-x \"two words\" \"quote\\\"inside\" \"\"");
	ASSERT_TRUE(Run.bStarted);
	EXPECT_EQ(Run.ExitCode, 0u);
	ASSERT_EQ(Run.SessionGuid.size(), 36u);

	// The game: its session, the startup information, the overlay, the job or group, the arguments.
	EXPECT_EQ(Filter(Run.Target, L"env=KVT_SESSION_GUID="), std::vector<std::wstring>{Run.SessionGuid});
	EXPECT_EQ(Filter(Run.Target, L"env=KVT_SESSION_STARTUPINFO="), std::vector<std::wstring>{L"1,SUCCESS,"});
	EXPECT_EQ(Filter(Run.Target, L"env=KVT_OVERLAY_ENABLE_VULKAN_WIN32="), std::vector<std::wstring>{L"1"});
	EXPECT_EQ(Filter(Run.Target, L"env=KVT_OVERLAY_ENABLE_VULKAN_WIN64="), std::vector<std::wstring>{L"1"});
	EXPECT_TRUE(ReportSaysInSessionGroup(Run.Target));
	const std::vector<std::wstring> Expected = {L"-x", L"two words", L"quote\"inside", L""};
	std::vector<std::wstring> TargetArguments = Filter(Run.Target, L"arg=");
	ASSERT_FALSE(TargetArguments.empty());
	TargetArguments.erase(TargetArguments.begin());
	EXPECT_EQ(TargetArguments, Expected);

	// The User Helper: three runs outside the group, with the session and the same arguments.
	EXPECT_EQ(Filter(Run.HelperRuns, L"run").size(), 3u);
	EXPECT_TRUE(ReportSaysOutsideSessionGroup(Run.HelperRuns));
	EXPECT_EQ(Filter(Run.HelperRuns, L"env=KVT_SESSION_GUID=").at(0), Run.SessionGuid);
	EXPECT_TRUE(Filter(Run.HelperRuns, L"env=KVT_SESSION_STARTUPINFO=").empty());
	std::vector<std::wstring> HelperArguments = Filter(Run.HelperRuns, L"arg=");
	ASSERT_GE(HelperArguments.size(), 5u);
	EXPECT_EQ(std::vector<std::wstring>(HelperArguments.begin() + 1, HelperArguments.begin() + 5), Expected);

	// Telemetry: in order, with their values.
	ASSERT_EQ(Run.Events.size(), 5u);
	EXPECT_EQ(EventName(Run.Events[0]), "KVTBootstrap.Start");
	for (size_t Index = 1; Index <= 3; ++Index)
	{
		EXPECT_EQ(EventName(Run.Events[Index]), "KVTBootstrap.UserHelper.Exit");
		EXPECT_EQ(EventNumber(Run.Events[Index], "ExitCode"), Index < 3 ? 3 : 0);
	}
	EXPECT_EQ(EventName(Run.Events[4]), "KVTBootstrap.Performance.StartupSpeed");
	EXPECT_EQ(EventNumber(Run.Events[4], "RestartCount"), 2);
	EXPECT_EQ(EventNumber(Run.Events[4], "FinalExitCode"), 0);
	for (const FRecordedRequest& Event : Run.Events)
	{
		EXPECT_EQ(Event.Method, "POST");
		EXPECT_EQ(Event.HeaderValues("Content-Type"), std::vector<std::string>{"application/json; charset=utf-8"});
		EXPECT_EQ(Event.HeaderValues("Content-Length"), std::vector<std::string>{std::to_string(Event.Body.size())});
	}
}

TEST_F(EndToEnd, ACrashingHelperIsPublishedWithItsCode)
{
	const bool bWindows = ExecutableSuffix() == L".exe";
	SetVariable(L"KVT_E2E_HELPER_EXITS", bWindows ? L"0xC0000005" : L"SIGSEGV");
	const FLaunch Run = Launch();
	EXPECT_EQ(Run.ExitCode, 0u);
	const std::wstring Detail = bWindows ? L"-1073741819" : L"139";
	EXPECT_TRUE(Contains(Run.Log, bWindows ? L"User Helper application exited with C0000005h." : L"User Helper application exited with 8Bh."));
	EXPECT_EQ(Filter(Run.Target, L"env=KVT_SESSION_STARTUPINFO="), std::vector<std::wstring>{L"1,SERVICE_INIT_FAILED," + Detail});
	ASSERT_EQ(Run.Events.size(), 3u);
	EXPECT_EQ(EventNumber(Run.Events[1], "ExitCode"), bWindows ? -1073741819 : 139);
}

TEST_F(EndToEnd, NoOperationSkipsTheServiceButKeepsTheSession)
{
	WriteConfig(L"ApplicationPath=Game" + ExecutableSuffix() + L"\nNoOperation=1\n");
	const FLaunch Run = Launch();
	EXPECT_EQ(Run.ExitCode, 0u);
	EXPECT_FALSE(Contains(Run.Log, L"Retrieving the KVT Service install location."));
	EXPECT_TRUE(Run.HelperRuns.empty());
	EXPECT_EQ(Run.SessionGuid.size(), 36u);
	EXPECT_EQ(Filter(Run.Target, L"env=KVT_SESSION_STARTUPINFO="), std::vector<std::wstring>{L"1,NO_OPERATION,"});
	EXPECT_TRUE(Filter(Run.Target, L"env=KVT_SESSION_GUID=").empty());
	ASSERT_EQ(Run.Events.size(), 2u);
	EXPECT_EQ(EventName(Run.Events[0]), "KVTBootstrap.Start");
}

TEST_F(EndToEnd, AMissingOrBrokenServiceNeverKeepsTheGameFromStarting)
{
	// No registration at all, then one that names a missing file.
	for (const bool bRegistered : {false, true})
	{
		Registration->Clear();
		if (bRegistered)
		{
			Registration->Set(Folder.Wide(L"missing" + ExecutableSuffix()));
		}
		const FLaunch Run = Launch();
		EXPECT_EQ(Run.ExitCode, 0u);
		EXPECT_EQ(Filter(Run.Target, L"env=KVT_SESSION_STARTUPINFO="), std::vector<std::wstring>{L"1,SERVICE_NOT_INSTALLED,"});
		EXPECT_TRUE(Run.HelperRuns.empty());
	}

	// A User Helper file that is no program: the start error is the detail, and no exit event.
	MakeUnstartableProgram(Folder.Wide(L"broken" + ExecutableSuffix()));
	Registration->Set(Folder.Wide(L"broken" + ExecutableSuffix()));
	const FLaunch Run = Launch();
	EXPECT_EQ(Run.ExitCode, 0u);
	const std::vector<std::wstring> Info = Filter(Run.Target, L"env=KVT_SESSION_STARTUPINFO=");
	ASSERT_EQ(Info.size(), 1u);
	const std::wstring Detail = Info[0].substr(std::wstring(L"1,SERVICE_INIT_FAILED,").size());
	EXPECT_EQ(Info[0].rfind(L"1,SERVICE_INIT_FAILED,", 0), 0u);
	EXPECT_EQ(Detail, ExecutableSuffix() == L".exe" ? L"193" : L"13") << "ERROR_BAD_EXE_FORMAT / EACCES";
	ASSERT_EQ(Run.Events.size(), 2u);
	EXPECT_EQ(EventName(Run.Events[1]), "KVTBootstrap.Performance.StartupSpeed");
}

TEST_F(EndToEnd, TheLauncherRefusesToStartItselfUnderAnyName)
{
	std::vector<std::wstring> Names = {L"Launcher" + ExecutableSuffix()};
	for (const std::wstring& Other : MakeOtherNamesOf(Launcher))
	{
		Names.push_back(Other);
	}
	for (const std::wstring& Name : Names)
	{
		WriteConfig(L"ApplicationPath=" + Name + L"\n");
		const FLaunch Run = Launch(L"", false);
		EXPECT_TRUE(Run.bStarted);
		EXPECT_EQ(Run.ExitCode, 1u) << Narrow(Name);
		EXPECT_TRUE(Contains(Run.Log, L"Target application to run cannot be the Bootstrapper executable itself!")) << Narrow(Name);
		EXPECT_TRUE(Run.SessionGuid.empty());
		EXPECT_TRUE(Run.HelperRuns.empty());
		EXPECT_TRUE(Run.Target.empty());
	}
}

TEST_F(EndToEnd, TheGamesExitCodeIsPassedOnOnlyWhenWaitedFor)
{
	const bool bWindows = ExecutableSuffix() == L".exe";
	// The full 32 bits where the system has them.
	const std::wstring Code = bWindows ? L"0xC0000409" : L"7";
	SetVariable(L"KVT_REPORT_EXIT_CODE", Code);

	WriteConfig(L"ApplicationPath=Game" + ExecutableSuffix() + L"\nNoOperation=1\n");
	FLaunch Run = Launch();
	EXPECT_EQ(Run.ExitCode, 0u);

	WriteConfig(L"ApplicationPath=Game" + ExecutableSuffix() + L"\nNoOperation=1\nWaitForExit=1\n");
	Run = Launch();
	EXPECT_EQ(Run.ExitCode, bWindows ? 0xC0000409u : 7u);
	EXPECT_TRUE(Contains(Run.Log, bWindows ? L"Target application failed with exit code: C0000409h." : L"Target application failed with exit code: 7h."));
	EXPECT_EQ(Run.Events.size(), 2u) << "the upload follows the game's exit";
}

TEST_F(EndToEnd, AGameThatCannotStartEndsTheRunWithoutUploads)
{
	MakeUnstartableProgram(Game);
	WriteConfig(L"ApplicationPath=Game" + ExecutableSuffix() + L"\nNoOperation=1\n");
	const FLaunch Run = Launch(L"", false);
	EXPECT_EQ(Run.ExitCode, 1u);
	EXPECT_TRUE(Contains(Run.Log, L"Failed to run the target application."));
	EXPECT_EQ(Run.SessionGuid.size(), 36u);
	EXPECT_TRUE(Run.Events.empty());
}
