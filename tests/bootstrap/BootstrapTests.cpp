#include "analytics/Analytics.h"
#include "app/Log.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestBootstrapper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>

namespace
{
	// Records what the run sequence tells the telemetry, in order.
	class FRecordingAnalytics : public IAnalytics
	{
	public:
		std::vector<std::wstring> Calls;
		std::wstring SessionId;
		std::vector<int32_t> UserHelperExits;
		int32_t StartupTime = -1;
		int32_t RestartCount = -1;
		int32_t FinalExitCode = -1;
		size_t RunsBeforeFlush = 0;
		const FFakePlatform* Platform = nullptr;

		void SetSessionId(const std::wstring& Id) override { Calls.push_back(L"SetSessionId"); SessionId = Id; }
		void RecordEvent(const std::vector<FAnalyticsAttribute>&) override { Calls.push_back(L"RecordEvent"); }
		void FlushEvents() override
		{
			Calls.push_back(L"FlushEvents");
			RunsBeforeFlush = Platform->Runs.size();
		}
		void RecordBootstrapStart() override { Calls.push_back(L"RecordBootstrapStart"); }
		void RecordUserHelperExit(int32_t ExitCode) override
		{
			Calls.push_back(L"RecordUserHelperExit");
			UserHelperExits.push_back(ExitCode);
		}
		void RecordStartupSpeed(int32_t Time, int32_t Restarts, int32_t Final) override
		{
			Calls.push_back(L"RecordStartupSpeed");
			StartupTime = Time;
			RestartCount = Restarts;
			FinalExitCode = Final;
		}
	};

	class FSequenceBootstrapper : public FTestBootstrapper
	{
	public:
		FSequenceBootstrapper(std::shared_ptr<FFakePlatform> InPlatform, FRecordingAnalytics& InAnalytics)
			: FTestBootstrapper(std::make_shared<FCommandLine>(L""), std::move(InPlatform), nullptr), Analytics(InAnalytics)
		{
		}
		IAnalytics* GetAnalytics() override { return &Analytics; }

	private:
		FRecordingAnalytics& Analytics;
	};

	// A folder of the system the tests run on, so that paths resolve as the launcher's would.
	std::wstring Root()
	{
		return sizeof(wchar_t) == 2 ? L"C:\\Games\\" : L"/games/";
	}

	const std::wstring GuidText = L"0123abcd-4567-ef01-89ab-2345cdef6789";

	class BootstrapSequence : public ::testing::Test
	{
	protected:
		std::shared_ptr<FFakePlatform> Platform = std::make_shared<FFakePlatform>();
		FRecordingAnalytics Analytics;
		FLogCapture Capture;
		std::wstring Launcher = Root() + L"Launcher.exe";
		std::wstring Game = Root() + L"Game.exe";
		std::wstring Helper = Root() + L"Service\\Helper.exe";

		void SetUp() override
		{
			Analytics.Platform = Platform.get();
			Platform->ExecutablePath = Launcher;
			Platform->Files[Game] = L"";
			Platform->Files[Helper] = L"";
			Platform->RegistryValues[{L"SOFTWARE\\Zorvan Games\\KVT\\UserHelper", L"Path"}] = Helper;
			WriteConfig(L"ApplicationPath=Game.exe\nWaitForExit=0\nNoOperation=0\n");
		}

		void WriteConfig(const std::wstring& Text) { Platform->Files[Root() + L"Launcher.ini"] = Text; }

		void HelperExits(std::initializer_list<uint32_t> Codes)
		{
			for (const uint32_t Code : Codes)
			{
				Platform->RunResults.push_back({true, Code});
			}
		}

		int32_t Run(const std::wstring& Arguments = L"-x \"a b\"")
		{
			FSequenceBootstrapper Bootstrapper(Platform, Analytics);
			Bootstrapper.GetCommandLine()->Parse(Arguments);
			return Bootstrapper.Bootstrap(L"Product", L"Tag");
		}

		const FFakePlatform::FRun& TargetRun() const { return Platform->Runs.back(); }
		std::wstring TargetSees(const std::wstring& Name) const
		{
			const auto Found = TargetRun().Environment.find(Name);
			return Found == TargetRun().Environment.end() ? L"<absent>" : Found->second;
		}
		// Every Info and Error line of the run, in order, as "[Level] [Category] message".
		std::vector<std::wstring> Transcript() const
		{
			std::vector<std::wstring> Lines;
			for (const FLogCapture::FEntry& Entry : Capture.Entries())
			{
				if (Entry.Level != ELogLevel::Verbose)
				{
					Lines.push_back(Entry.Line.substr(Entry.Line.find(L"] ") + 2));
				}
			}
			return Lines;
		}
		bool Logged(ELogLevel Level, const std::wstring& Message) const
		{
			return Capture.Has(Level, L"FGenericBootstrapper::Bootstrap", Message);
		}
	};
}

TEST_F(BootstrapSequence, AHelperThatAlwaysAsksForARestartRunsTenTimes)
{
	for (int Index = 0; Index < 10; ++Index)
	{
		HelperExits({3});
	}
	EXPECT_EQ(Run(), 0);

	ASSERT_EQ(Platform->Runs.size(), 11u);
	for (size_t Index = 0; Index < 10; ++Index)
	{
		const FFakePlatform::FRun& HelperRun = Platform->Runs[Index];
		EXPECT_EQ(HelperRun.ExecutablePath, Helper);
		EXPECT_EQ(HelperRun.Arguments, std::optional<std::wstring>(L"-x \"a b\""));
		EXPECT_FALSE(HelperRun.WorkingDirectory.has_value());
		EXPECT_TRUE(HelperRun.bBreakaway);
		EXPECT_TRUE(HelperRun.bWait);
		EXPECT_EQ(HelperRun.Environment.at(L"KVT_SESSION_GUID"), GuidText);
		EXPECT_EQ(HelperRun.Environment.count(L"KVT_SESSION_STARTUPINFO"), 0u);
	}
	EXPECT_EQ(Analytics.RestartCount, 10);
	EXPECT_EQ(Analytics.FinalExitCode, 3);
	EXPECT_EQ(Analytics.UserHelperExits.size(), 10u);
	EXPECT_EQ(TargetSees(L"KVT_SESSION_STARTUPINFO"), L"1,SERVICE_INIT_FAILED,3");
	EXPECT_EQ(TargetSees(L"KVT_SESSION_GUID"), L"<absent>");
	EXPECT_EQ(TargetSees(L"KVT_OVERLAY_ENABLE_VULKAN_WIN32"), L"1");
	EXPECT_EQ(TargetSees(L"KVT_OVERLAY_ENABLE_VULKAN_WIN64"), L"1");
}

TEST_F(BootstrapSequence, ASuccessAfterTwoRestartsKeepsTheSessionForTheTarget)
{
	HelperExits({3, 3, 0});
	EXPECT_EQ(Run(), 0);

	ASSERT_EQ(Platform->Runs.size(), 4u);
	EXPECT_EQ(TargetRun().ExecutablePath, Game);
	EXPECT_FALSE(TargetRun().bBreakaway);
	EXPECT_FALSE(TargetRun().bWait);
	EXPECT_EQ(TargetRun().Arguments, std::optional<std::wstring>(L"-x \"a b\""));
	EXPECT_EQ(TargetSees(L"KVT_SESSION_STARTUPINFO"), L"1,SUCCESS,");
	EXPECT_EQ(TargetSees(L"KVT_SESSION_GUID"), GuidText);
	EXPECT_EQ(Analytics.RestartCount, 2);
	EXPECT_EQ(Analytics.FinalExitCode, 0);

	// Telemetry order: session, start, one exit per completed run, speed, then the upload after the start.
	EXPECT_EQ(Analytics.Calls, (std::vector<std::wstring>{L"SetSessionId", L"RecordBootstrapStart", L"RecordUserHelperExit",
		L"RecordUserHelperExit", L"RecordUserHelperExit", L"RecordStartupSpeed", L"FlushEvents"}));
	EXPECT_EQ(Analytics.SessionId, GuidText);
	EXPECT_EQ(Analytics.RunsBeforeFlush, 4u);
	EXPECT_GE(Analytics.StartupTime, 0);
}

TEST_F(BootstrapSequence, ACrashingHelperIsPublishedAsASignedDetail)
{
	HelperExits({0xC0000005u});
	EXPECT_EQ(Run(), 0);
	EXPECT_TRUE(Logged(ELogLevel::Error, L"KVT Service initialization failed. User Helper application exited with C0000005h."));
	EXPECT_EQ(TargetSees(L"KVT_SESSION_STARTUPINFO"), L"1,SERVICE_INIT_FAILED,-1073741819");
	EXPECT_EQ(Analytics.UserHelperExits, std::vector<int32_t>{-1073741819});
	EXPECT_EQ(Analytics.FinalExitCode, -1073741819);
}

TEST_F(BootstrapSequence, AHelperThatCannotStartGivesTheStartErrorAndNoExitEvent)
{
	HelperExits({3});
	Platform->RunResults.push_back({false, 193});
	EXPECT_EQ(Run(), 0);
	EXPECT_TRUE(Logged(ELogLevel::Error, L"Failed to run the User Helper application!"));
	EXPECT_EQ(TargetSees(L"KVT_SESSION_STARTUPINFO"), L"1,SERVICE_INIT_FAILED,193");
	EXPECT_EQ(Analytics.UserHelperExits, std::vector<int32_t>{3});
	// The final exit code is the last completed run's.
	EXPECT_EQ(Analytics.FinalExitCode, 3);
	EXPECT_EQ(Analytics.RestartCount, 1);
}

TEST_F(BootstrapSequence, NoOperationSkipsTheServiceButNotTheSession)
{
	Platform->Directories.insert(Root() + L"Bin");
	WriteConfig(L"ApplicationPath=Game.exe\nWorkingDirectory=Bin\nNoOperation=true\n");
	EXPECT_EQ(Run(), 0);
	EXPECT_EQ(Platform->CountCalls(L"TryGetValueFromRegistry"), 0u);
	ASSERT_EQ(Platform->Runs.size(), 1u);
	// The working directory reaches the target, resolved next to the INI.
	EXPECT_EQ(TargetRun().WorkingDirectory, std::optional<std::wstring>(Root() + L"Bin"));
	EXPECT_EQ(TargetSees(L"KVT_SESSION_STARTUPINFO"), L"1,NO_OPERATION,");
	EXPECT_EQ(TargetSees(L"KVT_SESSION_GUID"), L"<absent>");
	EXPECT_EQ(Platform->CountCalls(L"TryCreateProcessGroup"), 1u);
	EXPECT_EQ(Analytics.Calls.at(1), L"RecordBootstrapStart");
}

TEST_F(BootstrapSequence, AMissingServiceStillStartsTheTarget)
{
	for (const bool bValueMissing : {true, false})
	{
		Platform->Runs.clear();
		Capture.Clear();
		if (bValueMissing)
		{
			Platform->RegistryValues.clear();
		}
		else
		{
			Platform->RegistryValues[{L"SOFTWARE\\Zorvan Games\\KVT\\UserHelper", L"Path"}] = Root() + L"Missing.exe";
		}
		EXPECT_EQ(Run(), 0);
		ASSERT_EQ(Platform->Runs.size(), 1u);
		EXPECT_EQ(TargetRun().ExecutablePath, Game);
		EXPECT_EQ(TargetSees(L"KVT_SESSION_STARTUPINFO"), L"1,SERVICE_NOT_INSTALLED,");
	}
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, L"FWindowsBootstrapper::TryGetUserHelperPath",
		L"User Helper application executable not found on disk: '" + Root() + L"Missing.exe'."));
}

TEST_F(BootstrapSequence, TheLauncherNeverStartsItself)
{
	const std::wstring Self = L"ApplicationPath=Launcher.exe\n";
	const std::wstring Other = L"ApplicationPath=Game.exe\n";
	for (const bool bByIdentity : {false, true})
	{
		Platform->Calls.clear();
		Capture.Clear();
		WriteConfig(bByIdentity ? Other : Self);
		Platform->Files[Launcher] = L"";
		if (bByIdentity)
		{
			Platform->SameFiles.insert({Launcher, Game});
		}
		EXPECT_EQ(Run(), 1);
		EXPECT_TRUE(Logged(ELogLevel::Error,
			L"Target application to run cannot be the Bootstrapper executable itself! Check the value of ApplicationPath."));
		EXPECT_EQ(Platform->CountCalls(L"TryCreateGuid"), 0u);
		EXPECT_EQ(Platform->CountCalls(L"TrySetEnvironmentVariable"), 0u);
		EXPECT_EQ(Platform->CountCalls(L"TryRunExecutable"), 0u);
		EXPECT_TRUE(Analytics.Calls.empty());
	}
}

TEST_F(BootstrapSequence, WaitForExitPassesTheTargetsExitCodeOn)
{
	WriteConfig(L"ApplicationPath=Game.exe\nWaitForExit=1\nNoOperation=1\n");
	Platform->RunResults.push_back({true, 0xC0000409u});
	EXPECT_EQ(Run(), static_cast<int32_t>(0xC0000409u));
	EXPECT_TRUE(TargetRun().bWait);
	EXPECT_TRUE(Logged(ELogLevel::Error, L"Target application failed with exit code: C0000409h."));
	EXPECT_EQ(Analytics.Calls.back(), L"FlushEvents");

	// Without WaitForExit the exit code is 0 as soon as the target started.
	WriteConfig(L"ApplicationPath=Game.exe\nNoOperation=1\n");
	Platform->RunResults.push_back({true, 5});
	EXPECT_EQ(Run(), 0);
}

TEST_F(BootstrapSequence, EarlyFailuresEndTheRunWithOneAndUploadNothing)
{
	// The target cannot be started.
	WriteConfig(L"ApplicationPath=Game.exe\nNoOperation=1\n");
	Platform->RunResults.push_back({false, 2});
	EXPECT_EQ(Run(), 1);
	EXPECT_TRUE(Logged(ELogLevel::Error, L"Failed to run the target application."));
	EXPECT_EQ(std::count(Analytics.Calls.begin(), Analytics.Calls.end(), L"FlushEvents"), 0);

	// The startup information cannot be published.
	Platform->FailingEnvironmentVariables.insert(L"KVT_SESSION_STARTUPINFO");
	Platform->Runs.clear();
	EXPECT_EQ(Run(), 1);
	EXPECT_TRUE(Logged(ELogLevel::Error, L"Initialization completion failed. Cannot proceed to run the target application."));
	EXPECT_TRUE(Platform->Runs.empty());
	Platform->FailingEnvironmentVariables.clear();

	// No session.
	Platform->ProcessGroupResult = false;
	Analytics.Calls.clear();
	EXPECT_EQ(Run(), 1);
	EXPECT_TRUE(Logged(ELogLevel::Error, L"Failed to create a new session!"));
	EXPECT_TRUE(Analytics.Calls.empty());
	Platform->ProcessGroupResult = true;

	// No configuration.
	Platform->Files.erase(Root() + L"Launcher.ini");
	EXPECT_EQ(Run(), 1);
	EXPECT_TRUE(Logged(ELogLevel::Error, L"Failed to read and parse the config file!"));
}


// One transcript per path the run can take: what a studio reads in the log.
TEST_F(BootstrapSequence, EachPathOfTheRunLogsItsLinesInOrder)
{
	const std::wstring Run_ = L"[Info] [FGenericBootstrapper::Bootstrap] ";
	const std::wstring Error = L"[Error] [FGenericBootstrapper::Bootstrap] ";
	const std::wstring Read = L"[Info] [FGenericBootstrapper::TryReadConfig] ";
	const auto Opening = [&](const std::wstring& NoOperation)
	{
		return std::vector<std::wstring>{Run_ + L"Started Product Tag.",
			Run_ + L"Reading config file: '" + Root() + L"Launcher.ini'.", Read + L"Reading config file: '" + Root() +
				L"Launcher.ini'.",
			Read + L"Set: 'ApplicationPath=" + Game + L"'.", Read + L"Set: 'WaitForExit=false'.",
			Read + L"Set: 'NoOperation=" + NoOperation + L"'.", Read + L"Successfully read config."};
	};
	const std::vector<std::wstring> Located{Run_ + L"Retrieving the KVT Service install location.",
		Run_ + L"KVT User Helper application located: '" + Helper + L"'."};
	const std::vector<std::wstring> Closing{
		Run_ + L"Running the target application: '" + Game + L"'.", Run_ + L"Completed successfully."};
	const auto Runs = [&](int Count, bool bLastRestarts)
	{
		std::vector<std::wstring> Lines;
		for (int Index = 1; Index <= Count; ++Index)
		{
			Lines.push_back(Run_ + FormatString(L"Running the User Helper application. (%i/10)", Index));
			if (Index < Count || bLastRestarts)
			{
				Lines.push_back(Run_ + L"KVT Service requested to be restarted.");
			}
		}
		return Lines;
	};
	const auto Join = [](std::initializer_list<std::vector<std::wstring>> Parts)
	{
		std::vector<std::wstring> All;
		for (const std::vector<std::wstring>& Part : Parts)
		{
			All.insert(All.end(), Part.begin(), Part.end());
		}
		return All;
	};

	struct FCase
	{
		const char* Name;
		std::vector<uint32_t> HelperExitCodes;
		std::wstring Config;
		bool bServiceInstalled;
		std::vector<std::wstring> Expected;
	};
	const FCase Cases[] = {
		{"success after two restarts", {3, 3, 0}, L"", true,
			Join({Opening(L"false"), Located, Runs(3, false), {Run_ + L"KVT Service successfully initialized."}, Closing})},
		{"restarts exhausted", std::vector<uint32_t>(10, 3), L"", true,
			Join({Opening(L"false"), Located, Runs(10, true),
				{Error + L"Maximum number of allowed KVT Service restarts reached, stopping. The KVT Service will not be "
						 L"started."},
				Closing})},
		{"a failing User Helper", {5}, L"", true,
			Join({Opening(L"false"), Located, Runs(1, false),
				{Error + L"KVT Service initialization failed. User Helper application exited with 5h."}, Closing})},
		{"the service not installed", {}, L"", false,
			Join({Opening(L"false"), {Run_ + L"Retrieving the KVT Service install location.",
				L"[Error] [FWindowsBootstrapper::TryGetUserHelperPath] Failed to read Windows Registry for the User Helper "
				L"application location. Key: SOFTWARE\\Zorvan Games\\KVT\\UserHelper\\Path.",
				Error + L"Failed to retrieve the install location of the local KVT Service."}, Closing})},
		{"NoOperation", {}, L"ApplicationPath=Game.exe\nWaitForExit=0\nNoOperation=1\n", true,
			Join({Opening(L"true"),
				{Run_ + L"NoOperation is set. Target application will be started without initializing the KVT Service."},
				Closing})},
	};
	for (const FCase& Case : Cases)
	{
		Capture.Clear();
		Platform->RunResults.clear();
		for (const uint32_t Code : Case.HelperExitCodes)
		{
			HelperExits({Code});
		}
		if (!Case.Config.empty())
		{
			WriteConfig(Case.Config);
		}
		if (!Case.bServiceInstalled)
		{
			Platform->RegistryValues.clear();
		}
		EXPECT_EQ(Run(), 0) << Case.Name;
		EXPECT_EQ(Transcript(), Case.Expected) << Case.Name;
	}
}
