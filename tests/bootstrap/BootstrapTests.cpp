#include "analytics/Analytics.h"
#include "app/Log.h"
#include "tests/bootstrap/SampleFolder.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestBootstrapper.h"

#include <gtest/gtest.h>

namespace
{
	// What the run sequence tells the telemetry, in order, as text.
	class FRecordingAnalytics : public IAnalytics
	{
	public:
		explicit FRecordingAnalytics(const FFakePlatform& InPlatform) : Platform(InPlatform) {}
		std::vector<std::wstring> Calls;

		void SetSessionId(const std::wstring& Id) override { Calls.push_back(L"SetSessionId " + Id); }
		void RecordEvent(const std::vector<FAnalyticsAttribute>&) override { Calls.push_back(L"RecordEvent"); }
		void FlushEvents() override { Calls.push_back(FormatString(L"FlushEvents after %i runs", int(Platform.Runs.size()))); }
		void RecordBootstrapStart() override { Calls.push_back(L"RecordBootstrapStart"); }
		void RecordUserHelperExit(int32_t ExitCode) override { Calls.push_back(FormatString(L"HelperExit %i", ExitCode)); }
		void RecordStartupSpeed(int32_t, int32_t Restarts, int32_t Final) override
		{
			Calls.push_back(FormatString(L"StartupSpeed restarts %i final %i", Restarts, Final));
		}

	private:
		const FFakePlatform& Platform;
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

	const std::wstring GuidText = L"0123abcd-4567-ef01-89ab-2345cdef6789";
	const std::wstring RegistryKey = L"SOFTWARE\\Zorvan Games\\KVT\\UserHelper";
	const std::wstring Run_ = L"[Info] [FGenericBootstrapper::Bootstrap] ";
	const std::wstring Error = L"[Error] [FGenericBootstrapper::Bootstrap] ";

	std::vector<std::wstring> Join(std::initializer_list<std::vector<std::wstring>> Parts)
	{
		std::vector<std::wstring> All;
		for (const std::vector<std::wstring>& Part : Parts)
		{
			All.insert(All.end(), Part.begin(), Part.end());
		}
		return All;
	}

	class BootstrapSequence : public ::testing::Test
	{
	protected:
		std::shared_ptr<FFakePlatform> Platform = std::make_shared<FFakePlatform>();
		FRecordingAnalytics Analytics{*Platform};
		FLogCapture Capture;
		const std::wstring Launcher = InSampleFolder(L"Launcher.exe");
		const std::wstring Game = InSampleFolder(L"Game.exe");
		const std::wstring Helper = InSampleFolder(L"Helper.exe");

		void SetUp() override
		{
			Platform->ExecutablePath = Launcher;
			Platform->Files[Game] = L"";
			Platform->Files[Helper] = L"";
			Platform->Directories.insert(InSampleFolder(L"Bin"));
			Platform->RegistryValues[{RegistryKey, L"Path"}] = Helper;
			WriteConfig(L"ApplicationPath=Game.exe\nNoOperation=1\n");
		}

		void WriteConfig(const std::wstring& Text) { Platform->Files[InSampleFolder(L"Launcher.ini")] = Text; }

		int32_t Run()
		{
			FSequenceBootstrapper Bootstrapper(Platform, Analytics);
			Bootstrapper.GetCommandLine()->Parse(L"-x \"a b\"");
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

// One case per path the run can take: what a studio reads in the log, what the
// User Helper and the game are started with, and what the telemetry is told.
TEST_F(BootstrapSequence, EachPathOfTheRunLogsItsLinesInOrder)
{
	const auto Runs = [](int Count, bool bLastRestarts)
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
	const std::vector<std::wstring> Located{Run_ + L"Retrieving the KVT Service install location.",
		Run_ + L"KVT User Helper application located: '" + InSampleFolder(L"Helper.exe") + L"'."};
	const std::vector<std::wstring> NotFound{Run_ + L"Retrieving the KVT Service install location.",
		L"[Error] [FWindowsBootstrapper::TryGetUserHelperPath] Failed to read Windows Registry for the User Helper "
		L"application location. Key: SOFTWARE\\Zorvan Games\\KVT\\UserHelper\\Path.",
		Error + L"Failed to retrieve the install location of the local KVT Service."};
	const std::vector<std::wstring> NotOnDisk{Run_ + L"Retrieving the KVT Service install location.",
		L"[Error] [FWindowsBootstrapper::TryGetUserHelperPath] User Helper application executable not found on disk: '" +
			InSampleFolder(L"Missing.exe") + L"'.",
		Error + L"Failed to retrieve the install location of the local KVT Service."};
	const std::vector<std::wstring> TenExits(10, L"HelperExit 3");

	struct FCase
	{
		const char* Name;
		bool bNoOperation;
		std::wstring HelperPath; // in the registry; empty for none
		std::vector<FFakePlatform::FRunResult> HelperRuns;
		std::vector<std::wstring> Lines; // between reading the configuration and running the target
		std::wstring StartupInfo;
		std::vector<std::wstring> Telemetry; // between the start and the upload
	};
	const FCase Cases[] = {
		{"success after two restarts", false, Helper, {{true, 3}, {true, 3}, {true, 0}},
			Join({Located, Runs(3, false), {Run_ + L"KVT Service successfully initialized."}}), L"1,SUCCESS,",
			{L"HelperExit 3", L"HelperExit 3", L"HelperExit 0", L"StartupSpeed restarts 2 final 0"}},
		{"restarts exhausted", false, Helper, std::vector<FFakePlatform::FRunResult>(10, {true, 3}),
			Join({Located, Runs(10, true),
				{Error + L"Maximum number of allowed KVT Service restarts reached, stopping. The KVT Service will not be "
						 L"started."}}),
			L"1,SERVICE_INIT_FAILED,3", Join({TenExits, {L"StartupSpeed restarts 10 final 3"}})},
		{"a crashing User Helper", false, Helper, {{true, 0xC0000005u}},
			Join({Located, Runs(1, false),
				{Error + L"KVT Service initialization failed. User Helper application exited with C0000005h."}}),
			L"1,SERVICE_INIT_FAILED,-1073741819",
			{L"HelperExit -1073741819", L"StartupSpeed restarts 0 final -1073741819"}},
		// The start error is the detail; the exit code is the last completed run's.
		{"a User Helper that cannot start", false, Helper, {{true, 3}, {false, 193}},
			Join({Located, Runs(2, false), {Error + L"Failed to run the User Helper application!"}}),
			L"1,SERVICE_INIT_FAILED,193", {L"HelperExit 3", L"StartupSpeed restarts 1 final 3"}},
		{"the service not installed", false, L"", {}, NotFound, L"1,SERVICE_NOT_INSTALLED,",
			{L"StartupSpeed restarts 0 final 0"}},
		{"the User Helper not on disk", false, InSampleFolder(L"Missing.exe"), {}, NotOnDisk,
			L"1,SERVICE_NOT_INSTALLED,", {L"StartupSpeed restarts 0 final 0"}},
		{"NoOperation", true, Helper, {},
			{Run_ + L"NoOperation is set. Target application will be started without initializing the KVT Service."},
			L"1,NO_OPERATION,", {L"StartupSpeed restarts 0 final 0"}},
	};
	for (const FCase& Case : Cases)
	{
		SCOPED_TRACE(Case.Name);
		Capture.Clear();
		Analytics.Calls.clear();
		Platform->Calls.clear();
		Platform->Runs.clear();
		Platform->Environment.clear();
		Platform->RunResults.assign(Case.HelperRuns.begin(), Case.HelperRuns.end());
		Platform->RegistryValues.clear();
		if (!Case.HelperPath.empty())
		{
			Platform->RegistryValues[{RegistryKey, L"Path"}] = Case.HelperPath;
		}
		const std::wstring NoOperation = Case.bNoOperation ? L"true" : L"false";
		WriteConfig(L"ApplicationPath=Game.exe\nWorkingDirectory=Bin\nWaitForExit=0\nNoOperation=" + NoOperation + L"\n");
		EXPECT_EQ(Run(), 0);

		const std::wstring Read = L"[Info] [FGenericBootstrapper::TryReadConfig] ";
		const std::wstring Ini = InSampleFolder(L"Launcher.ini");
		EXPECT_EQ(Transcript(),
			Join({{Run_ + L"Started Product Tag.", Run_ + L"Reading config file: '" + Ini + L"'.",
					 Read + L"Reading config file: '" + Ini + L"'.", Read + L"Set: 'ApplicationPath=" + Game + L"'.",
					 Read + L"Set: 'WorkingDirectory=" + InSampleFolder(L"Bin") + L"'.", Read + L"Set: 'WaitForExit=false'.",
					 Read + L"Set: 'NoOperation=" + NoOperation + L"'.", Read + L"Successfully read config."},
				Case.Lines,
				{Run_ + L"Running the target application: '" + Game + L"'.", Run_ + L"Completed successfully."}}));
		EXPECT_EQ(Analytics.Calls, Join({{L"SetSessionId " + GuidText, L"RecordBootstrapStart"}, Case.Telemetry,
									   {FormatString(L"FlushEvents after %i runs", int(Case.HelperRuns.size() + 1))}}));
		EXPECT_EQ(Platform->CountCalls(L"TryGetValueFromRegistry"), Case.bNoOperation ? 0u : 1u);
		EXPECT_EQ(Platform->CountCalls(L"TryCreateProcessGroup"), 1u);

		// The User Helper runs outside the session, waited for, in the session's environment.
		ASSERT_EQ(Platform->Runs.size(), Case.HelperRuns.size() + 1);
		for (size_t Index = 0; Index + 1 < Platform->Runs.size(); ++Index)
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
		// The game runs inside it, not waited for, with the outcome and (only after a success) the session.
		EXPECT_EQ(TargetRun().ExecutablePath, Game);
		EXPECT_EQ(TargetRun().Arguments, std::optional<std::wstring>(L"-x \"a b\""));
		EXPECT_EQ(TargetRun().WorkingDirectory, std::optional<std::wstring>(InSampleFolder(L"Bin")));
		EXPECT_FALSE(TargetRun().bBreakaway);
		EXPECT_FALSE(TargetRun().bWait);
		EXPECT_EQ(TargetSees(L"KVT_SESSION_STARTUPINFO"), Case.StartupInfo);
		EXPECT_EQ(TargetSees(L"KVT_SESSION_GUID"), Case.StartupInfo == L"1,SUCCESS," ? GuidText : L"<absent>");
		EXPECT_EQ(TargetSees(L"KVT_OVERLAY_ENABLE_VULKAN_WIN32"), L"1");
		EXPECT_EQ(TargetSees(L"KVT_OVERLAY_ENABLE_VULKAN_WIN64"), L"1");
	}
}

TEST_F(BootstrapSequence, TheLauncherNeverStartsItself)
{
	// By its own name, or by another name of the same file.
	Platform->Files[Launcher] = L"";
	Platform->SameFiles.insert({Launcher, Game});
	for (const std::wstring Config : {L"ApplicationPath=Launcher.exe\n", L"ApplicationPath=Game.exe\n"})
	{
		Capture.Clear();
		WriteConfig(Config);
		EXPECT_EQ(Run(), 1);
		EXPECT_TRUE(Logged(ELogLevel::Error,
			L"Target application to run cannot be the Bootstrapper executable itself! Check the value of ApplicationPath."));
		EXPECT_EQ(Platform->CountCalls(L"TryCreateGuid"), 0u);
		EXPECT_EQ(Platform->CountCalls(L"TrySetEnvironmentVariable"), 0u);
		EXPECT_TRUE(Platform->Runs.empty());
		EXPECT_TRUE(Analytics.Calls.empty());
	}
}

TEST_F(BootstrapSequence, WaitForExitPassesTheTargetsExitCodeOn)
{
	WriteConfig(L"ApplicationPath=Game.exe\nWaitForExit=1\nNoOperation=1\n");
	Platform->RunResults.push_back({true, 0xC0000409u});
	EXPECT_EQ(Run(), static_cast<int32_t>(0xC0000409u));
	EXPECT_TRUE(TargetRun().bWait);
	// Without a WorkingDirectory the target starts in the launcher's own.
	EXPECT_FALSE(TargetRun().WorkingDirectory.has_value());
	EXPECT_TRUE(Logged(ELogLevel::Error, L"Target application failed with exit code: C0000409h."));
	EXPECT_EQ(Analytics.Calls.back(), L"FlushEvents after 1 runs");

	// Without WaitForExit the exit code is 0 as soon as the target started.
	WriteConfig(L"ApplicationPath=Game.exe\nNoOperation=1\n");
	Platform->RunResults.push_back({true, 5});
	EXPECT_EQ(Run(), 0);
}

TEST_F(BootstrapSequence, EarlyFailuresEndTheRunWithOneAndUploadNothing)
{
	// The target cannot be started.
	Platform->RunResults.push_back({false, 2});
	EXPECT_EQ(Run(), 1);
	EXPECT_TRUE(Logged(ELogLevel::Error, L"Failed to run the target application."));
	EXPECT_EQ(Analytics.Calls.back(), L"StartupSpeed restarts 0 final 0");

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
	Platform->Files.erase(InSampleFolder(L"Launcher.ini"));
	EXPECT_EQ(Run(), 1);
	EXPECT_TRUE(Logged(ELogLevel::Error, L"Failed to read and parse the config file!"));
}
