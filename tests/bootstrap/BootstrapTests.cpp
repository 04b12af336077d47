#include "analytics/Analytics.h"
#include "bootstrap/BootstrapperConfig.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestBootstrapper.h"

#include <gtest/gtest.h>

#include <regex>

namespace
{
	// The launcher over the fake platform; what it tells the telemetry is kept, in order, as text.
	class FSequenceBootstrapper : public FTestBootstrapper, public IAnalytics
	{
	public:
		FSequenceBootstrapper(std::shared_ptr<FFakePlatform> InPlatform, std::vector<std::wstring>& InTelemetry)
			: FTestBootstrapper(std::make_shared<FCommandLine>(L""), InPlatform, nullptr), Platform(*InPlatform)
			, Telemetry(InTelemetry)
		{
		}
		IAnalytics* GetAnalytics() override { return this; }

		void SetSessionId(const std::wstring& Id) override { Telemetry.push_back(L"SetSessionId " + Id); }
		void RecordEvent(const std::vector<FAnalyticsAttribute>&) override { Telemetry.push_back(L"RecordEvent"); }
		void FlushEvents() override { Telemetry.push_back(FormatString(L"FlushEvents after %i runs", int(Platform.Runs.size()))); }
		void RecordBootstrapStart() override { Telemetry.push_back(L"RecordBootstrapStart"); }
		void RecordUserHelperExit(int32_t ExitCode) override { Telemetry.push_back(FormatString(L"HelperExit %i", ExitCode)); }
		void RecordStartupSpeed(int32_t Milliseconds, int32_t Restarts, int32_t Final) override
		{
			Telemetry.push_back(FormatString(L"StartupSpeed %i ms restarts %i final %i", Milliseconds, Restarts, Final));
		}
		// Each reading comes 2,345,678,901 ns after the one before: every start-up takes 2345 ms.
		int64_t ReadMonotonicNanoseconds() const override { return Clock += 2'345'678'901; }

	private:
		mutable int64_t Clock = 0;
		const FFakePlatform& Platform;
		std::vector<std::wstring>& Telemetry;
	};

	const std::wstring GuidText = L"0123abcd-4567-ef01-89ab-2345cdef6789";
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
		std::vector<std::wstring> Telemetry;
		FLogCapture Capture;
		const std::wstring Launcher = InSampleFolder(L"Launcher.exe");
		const std::wstring Game = InSampleFolder(L"Game.exe");
		const std::wstring Helper = InSampleFolder(L"Helper.exe");

		void SetUp() override
		{
			Platform->ExecutablePath = Launcher;
			Platform->Files = {{Game, L""}, {Helper, L""}};
			Platform->Directories.insert(InSampleFolder(L"Bin"));
			WriteConfig(L"ApplicationPath=Game.exe\nNoOperation=1\n");
		}
		void WriteConfig(const std::wstring& Text) { Platform->Files[InSampleFolder(L"Launcher.ini")] = Text; }
		int32_t Run()
		{
			FSequenceBootstrapper Bootstrapper(Platform, Telemetry);
			Bootstrapper.GetCommandLine()->Parse(L"-x \"a b\"");
			return Bootstrapper.Bootstrap(L"Product", L"Tag");
		}
		// The last child started; a run that started none fails the test, never reads past the list.
		FFakePlatform::FRun TargetRun() const
		{
			EXPECT_FALSE(Platform->Runs.empty()) << "no child was started";
			return Platform->Runs.empty() ? FFakePlatform::FRun() : Platform->Runs.back();
		}
		// Every Info and Error line of the run, in order, as "[Level] [Category] message"; not the
		// configuration reader's own lines, which its tests pin.
		std::vector<std::wstring> Transcript() const
		{
			std::vector<std::wstring> Lines;
			for (const FLogCapture::FEntry& Entry : Capture.Entries())
			{
				if (Entry.Level != ELogLevel::Verbose && Entry.Line.find(L"::TryReadConfig]") == std::wstring::npos)
				{
					Lines.push_back(Entry.Line.substr(Entry.Line.find(L"] ") + 2));
				}
			}
			return Lines;
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
	const std::wstring Locating = Run_ + L"Retrieving the KVT Service install location.";
	const std::vector<std::wstring> Located{Locating, Run_ + L"KVT User Helper application located: '" + Helper + L"'."};
	const std::wstring NotInstalled = Error + L"Failed to retrieve the install location of the local KVT Service.";
	const std::wstring HelperCategory = L"[Error] [FWindowsBootstrapper::TryGetUserHelperPath] ";
	const std::vector<std::wstring> TenExits(10, L"HelperExit 3");
	const std::optional<std::wstring> Arguments = L"-x \"a b\"";
	const std::map<std::wstring, std::wstring> Session{{L"KVT_SESSION_GUID", GuidText},
		{L"KVT_OVERLAY_ENABLE_VULKAN_WIN32", L"1"}, {L"KVT_OVERLAY_ENABLE_VULKAN_WIN64", L"1"}};
	const auto Fields = [](const FFakePlatform::FRun& Run)
	{ return std::tie(Run.ExecutablePath, Run.Arguments, Run.WorkingDirectory, Run.bBreakaway, Run.bWait, Run.Environment); };

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
			{L"HelperExit 3", L"HelperExit 3", L"HelperExit 0", L"StartupSpeed 2345 ms restarts 2 final 0"}},
		{"restarts exhausted", false, Helper, std::vector<FFakePlatform::FRunResult>(10, {true, 3}),
			Join({Located, Runs(10, true),
				{Error + L"Maximum number of allowed KVT Service restarts reached, stopping. The KVT Service will not be "
						 L"started."}}),
			L"1,SERVICE_INIT_FAILED,3", Join({TenExits, {L"StartupSpeed 2345 ms restarts 10 final 3"}})},
		{"a crashing User Helper", false, Helper, {{true, 0xC0000005u}},
			Join({Located, Runs(1, false),
				{Error + L"KVT Service initialization failed. User Helper application exited with C0000005h."}}),
			L"1,SERVICE_INIT_FAILED,-1073741819", {L"HelperExit -1073741819", L"StartupSpeed 2345 ms restarts 0 final -1073741819"}},
		// The start error is the detail; the exit code is the last completed run's.
		{"a User Helper that cannot start", false, Helper, {{true, 3}, {false, 193}},
			Join({Located, Runs(2, false), {Error + L"Failed to run the User Helper application!"}}),
			L"1,SERVICE_INIT_FAILED,193", {L"HelperExit 3", L"StartupSpeed 2345 ms restarts 1 final 3"}},
		{"the service not installed", false, L"", {},
			{Locating, HelperCategory + L"Failed to read Windows Registry for the User Helper application location. Key: "
				L"SOFTWARE\\Zorvan Games\\KVT\\UserHelper\\Path.", NotInstalled},
			L"1,SERVICE_NOT_INSTALLED,", {L"StartupSpeed 2345 ms restarts 0 final 0"}},
		{"the User Helper not on disk", false, InSampleFolder(L"Missing.exe"), {},
			{Locating, HelperCategory + L"User Helper application executable not found on disk: '" +
				InSampleFolder(L"Missing.exe") + L"'.", NotInstalled},
			L"1,SERVICE_NOT_INSTALLED,", {L"StartupSpeed 2345 ms restarts 0 final 0"}},
		{"NoOperation", true, Helper, {},
			{Run_ + L"NoOperation is set. Target application will be started without initializing the KVT Service."},
			L"1,NO_OPERATION,", {L"StartupSpeed 2345 ms restarts 0 final 0"}},
	};
	for (const FCase& Case : Cases)
	{
		SCOPED_TRACE(Case.Name);
		Capture.Clear();
		Telemetry.clear();
		*Platform = FFakePlatform();
		SetUp();
		Platform->RunResults.assign(Case.HelperRuns.begin(), Case.HelperRuns.end());
		if (!Case.HelperPath.empty())
		{
			Platform->RegistryValues[{L"SOFTWARE\\Zorvan Games\\KVT\\UserHelper", L"Path"}] = Case.HelperPath;
		}
		const std::wstring NoOperation = Case.bNoOperation ? L"true" : L"false";
		WriteConfig(L"ApplicationPath=Game.exe\nWorkingDirectory=Bin\nWaitForExit=0\nNoOperation=" + NoOperation + L"\n");
		EXPECT_EQ(Run(), 0);

		EXPECT_EQ(Transcript(),
			Join({{Run_ + L"Started Product Tag.", Run_ + L"Reading config file: '" + InSampleFolder(L"Launcher.ini") + L"'."},
				Case.Lines, {Run_ + L"Running the target application: '" + Game + L"'.", Run_ + L"Completed successfully."}}));
		EXPECT_EQ(Telemetry, Join({{L"SetSessionId " + GuidText, L"RecordBootstrapStart"}, Case.Telemetry,
								  {FormatString(L"FlushEvents after %i runs", int(Case.HelperRuns.size() + 1))}}));

		// The User Helper runs outside the session, waited for, in the session's environment.
		ASSERT_EQ(Platform->Runs.size(), Case.HelperRuns.size() + 1);
		for (size_t Index = 0; Index + 1 < Platform->Runs.size(); ++Index)
		{
			EXPECT_EQ(Fields(Platform->Runs[Index]), std::make_tuple(Helper, Arguments, std::nullopt, true, true, Session));
		}
		// The game runs inside it, not waited for, with the outcome and (only after a success) the session.
		std::map<std::wstring, std::wstring> Target = Session;
		Target[L"KVT_SESSION_STARTUPINFO"] = Case.StartupInfo;
		if (Case.StartupInfo != L"1,SUCCESS,")
		{
			Target.erase(L"KVT_SESSION_GUID");
		}
		EXPECT_EQ(Fields(TargetRun()), std::make_tuple(Game, Arguments, InSampleFolder(L"Bin"), false, false, Target));
	}
}

TEST_F(BootstrapSequence, FailuresEndTheRunWithOneAndAWaitedForGameWithItsOwnCode)
{
	// The end-to-end runs refuse every name of the launcher; here, refused before any session or telemetry.
	Platform->SameFiles.insert({Launcher, Game});
	WriteConfig(L"ApplicationPath=Game.exe\n");
	EXPECT_EQ(Run(), 1);
	EXPECT_TRUE(Platform->Environment.empty() && Platform->GroupName.empty() && Telemetry.empty());
	Platform->SameFiles.clear();

	// Waited for, a failing game passes its code on; without a WorkingDirectory it starts in the launcher's own.
	WriteConfig(L"ApplicationPath=Game.exe\nWaitForExit=1\nNoOperation=1\n");
	Platform->RunResults = {{true, 0xC0000409u}, {false, 2}};
	EXPECT_EQ(Run(), static_cast<int32_t>(0xC0000409u));
	EXPECT_TRUE(TargetRun().bWait && !TargetRun().WorkingDirectory) << Capture.Dump();

	// The second game cannot be started.
	EXPECT_EQ(Run(), 1);
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, L"Failed to run the target application."));
	EXPECT_EQ(Telemetry.back(), L"StartupSpeed 2345 ms restarts 0 final 0");

	Platform->Failing = {L"KVT_SESSION_STARTUPINFO"};
	EXPECT_EQ(Run(), 1);
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, L"Initialization completion failed. Cannot proceed to run the target application."));

	// No session, then no configuration: nothing is recorded.
	Platform->Failing = {L"TryCreateProcessGroup"};
	Telemetry.clear();
	EXPECT_EQ(Run(), 1);
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, L"Failed to create a new session!"));
	EXPECT_TRUE(Telemetry.empty());
	Platform->Files.erase(InSampleFolder(L"Launcher.ini"));
	EXPECT_EQ(Run(), 1);
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, L"Failed to read and parse the config file!"));

	// What a step throws ends that step with its own failure line, and the run with 1.
	WriteConfig(L"ApplicationPath=Game.exe\n");
	Platform->Failing.clear();
	Platform->Throwing = {L"TryReadFile"};
	Capture.Clear();
	EXPECT_EQ(Run(), 1);
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, L"FGenericBootstrapper::TryReadConfig",
		L"Failed to read config file: '" + InSampleFolder(L"Launcher.ini") + L"'."));
	Platform->Throwing = {L"IsSameFile"};
	EXPECT_EQ(Run(), 1);
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, L"FGenericBootstrapper::Bootstrap", L"Failed with an unexpected error."));
}

// The session alone: a lower-case, zero-padded GUID (made here when the platform
// fails), the environment, then a process group named by the GUID.
TEST_F(BootstrapSequence, SessionMakesTheGuidSetsTheEnvironmentThenAGroupAndStopsAtAFailure)
{
	const std::wstring Environment = L"FWindowsBootstrapper::TrySetupEnvironment";
	const std::wstring Session = L"FGenericBootstrapper::TryCreateSession";
	FSequenceBootstrapper Bootstrapper(Platform, Telemetry);
	Platform->Guid = {1, 2, 3, 4};
	EXPECT_EQ(Bootstrapper.CreateGuid(), L"00000001-0000-0002-0000-000300000004");

	Platform->Failing = {L"TryCreateGuid"};
	const std::wstring First = Bootstrapper.CreateGuid();
	const std::wstring Second = Bootstrapper.CreateGuid();
	const std::wregex Layout(L"[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}");
	EXPECT_TRUE(std::regex_match(First, Layout) && std::regex_match(Second, Layout)) << First << " " << Second;
	// Seeded from the random source each time, not from a fixed seed.
	EXPECT_NE(First, Second);
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, L"FGenericBootstrapper::CreateGuid", L"Platform API failed, generating manually."));

	*Platform = FFakePlatform();
	std::shared_ptr<IProcessGroup> Group;
	std::wstring Guid;
	ASSERT_TRUE(Bootstrapper.TryCreateSession(FBootstrapperConfig(), Group, Guid)) << Capture.Dump();
	EXPECT_EQ(Platform->GroupName, GuidText);
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, Environment, L"Successfully set up the environment."));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, Session, L"Successfully created a new session."));

	// The first variable that cannot be set ends the environment, what was set before it
	// stays, and no group is made; a group that cannot be made ends the session. The GUID is kept.
	*Platform = FFakePlatform();
	Platform->Failing = {L"KVT_OVERLAY_ENABLE_VULKAN_WIN32"};
	Capture.Clear();
	Guid.clear();
	EXPECT_FALSE(Bootstrapper.TryCreateSession(FBootstrapperConfig(), Group, Guid));
	EXPECT_EQ(Guid, GuidText);
	EXPECT_TRUE(
		Capture.Has(ELogLevel::Error, Environment, L"Failed to set environment variable: 'KVT_OVERLAY_ENABLE_VULKAN_WIN32=1'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, Session, L"Failed to set up environment."));
	EXPECT_EQ(Platform->Environment, (std::map<std::wstring, std::wstring>{{L"KVT_SESSION_GUID", GuidText}}));
	EXPECT_TRUE(Platform->GroupName.empty());
	Platform->Failing = {L"TryCreateProcessGroup"};
	Capture.Clear();
	EXPECT_FALSE(Bootstrapper.TryCreateSession(FBootstrapperConfig(), Group, Guid));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, Session, L"Failed to create a new process group."));
}
