// Real children through the platform services of the system the tests run on.
#include "tests/platform/PlatformTests.h"

#include <filesystem>
#include <regex>

using Processes = FNativePlatformTest;
using SystemInfo = FNativePlatformTest;
const std::wstring RunCategory = Category(L"TryRunExecutable");

TEST_F(Processes, ChildGetsThePathArgumentsWorkingDirectoryAndEnvironmentAsGiven)
{
	ASSERT_TRUE(Platform->TrySetEnvironmentVariable(L"KVT_TEST_PRESENT", L"yes \u00FC"));
	ASSERT_TRUE(Platform->TrySetEnvironmentVariable(L"KVT_TEST_DELETED", L"soon gone"));
	Platform->DeleteEnvironmentVariable(L"KVT_TEST_DELETED");
	const std::wstring SetCategory = Category(L"TrySetEnvironmentVariable");
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, SetCategory, L"Trying to set environment variable: 'KVT_TEST_PRESENT=yes \u00FC'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, SetCategory, L"Successfully set environment variable: 'KVT_TEST_PRESENT=yes \u00FC'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, Category(L"DeleteEnvironmentVariable"), L"'KVT_TEST_DELETED'"));
	Capture.Clear();

	// A copy of the helper under a folder and a name with spaces; on Linux the
	// name holds a quote too, which a Windows reading of the command line would
	// take for the end of the program's name.
	std::filesystem::create_directories(Directory.Path() / "my games");
	const std::wstring Program = ToWide(Directory.Path() / "my games" /
		(std::string(bWindows ? "report helper" : "report \"helper") + ToPath(ReportHelper).extension().string()));
	std::filesystem::copy_file(ToPath(ReportHelper), ToPath(Program));
	const std::wstring ArgumentText = L"one  \"two words\" \"\" back\\\"slash \u00FCber";
	FReport Report = RunReportHelper(*Platform, Directory, ArgumentText, false, Directory.Wide(), Program);
	EXPECT_EQ(Report[L"arg"], (std::vector<std::wstring>{Program, L"one", L"two words", L"", L"back\"slash", L"\u00FCber"}));
	EXPECT_TRUE(std::filesystem::equivalent(ToPath(Report[L"cwd"].at(0)), Directory.Path()));
	const std::vector<std::wstring>& Environment = Report[L"env"];
	EXPECT_EQ(std::count(Environment.begin(), Environment.end(), L"KVT_TEST_PRESENT=yes \u00FC"), 1);
	EXPECT_TRUE(std::none_of(Environment.begin(), Environment.end(),
		[](const std::wstring& Entry) { return Entry.rfind(L"KVT_TEST_DELETED", 0) == 0; }));
	// On Windows, the only system with one, the child sees exactly the logged
	// command line, spaces and quotes as given.
	const std::wstring CommandLine = L"\"" + Program + L"\" " + ArgumentText;
	EXPECT_EQ(Report[L"commandline"], bWindows ? std::vector<std::wstring>{CommandLine} : std::vector<std::wstring>{});
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RunCategory, L"Creating process with command: '" + CommandLine + L"'"));
	Platform->DeleteEnvironmentVariable(L"KVT_TEST_PRESENT");
}

TEST_F(Processes, ExitCodesArriveAsTheSystemKeepsThemAndOnlyWhenWaitedFor)
{
	// Windows keeps all 32 bits; Linux gives the death by signal n as a shell does, 128 + n.
	const FScopedVariable Ending(bWindows ? L"KVT_REPORT_EXIT_CODE" : L"KVT_REPORT_SIGNAL", bWindows ? L"0xC0000005" : L"15");
	uint32_t ExitCode = 99;
	ASSERT_TRUE(Platform->TryRunExecutable(ReportHelper, std::nullopt, std::nullopt, false, true, &ExitCode));
	EXPECT_EQ(ExitCode, bWindows ? 0xC0000005u : 143u);
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RunCategory, bWindows ? L"Process exited with code: 0xC0000005" : L"Process exited with code: 0x8F"))
		<< Capture.Dump();

	Capture.Clear();
	ExitCode = 99;
	ASSERT_TRUE(Platform->TryRunExecutable(ReportHelper, std::nullopt, std::nullopt, false, false, &ExitCode));
	EXPECT_EQ(ExitCode, 0u);
	EXPECT_FALSE(Capture.Has(ELogLevel::Verbose, RunCategory, L"Waiting for exit code"));
}

TEST_F(Processes, FailedStartsStoreTheSystemErrorAndFailedEnvironmentChangesLogIt)
{
	uint32_t ExitCode = 0;
	EXPECT_FALSE(Platform->TryRunExecutable(Directory.Wide(L"no such program"), std::wstring(L"a"), std::nullopt, true, true,
		&ExitCode));
	// ERROR_FILE_NOT_FOUND and ENOENT are both 2; the system's text follows on one line.
	EXPECT_EQ(ExitCode, 2u);
	const std::wstring Prefix = L"Failed to create process: ErrorCode=0x2 (2), ErrorMessage=";
	ASSERT_TRUE(HasPrefix(Capture, ELogLevel::Error, ErrorCategory, Prefix)) << Capture.Dump();
	EXPECT_EQ(Capture.Entries().back().Message.find_first_of(L"\r\n"), std::wstring::npos);
	EXPECT_FALSE(HasPrefix(Capture, ELogLevel::Verbose, RunCategory, L"Process created"));

	Capture.Clear();
	EXPECT_FALSE(Platform->TryRunExecutable(ReportHelper, std::wstring(L"0"), Directory.Wide(L"gone"), false, true, &ExitCode));
	EXPECT_NE(ExitCode, 0u);
	EXPECT_TRUE(HasPrefix(Capture, ELogLevel::Error, ErrorCategory, L"Failed to create process: ErrorCode=0x")) << Capture.Dump();

	EXPECT_FALSE(Platform->TrySetEnvironmentVariable(L"KVT=BAD", L"1"));
	EXPECT_TRUE(HasPrefix(Capture, ELogLevel::Error, ErrorCategory, L"Failed to set environment variable: 'KVT=BAD=1': ErrorCode=0x"))
		<< Capture.Dump();
	// Deleting what was never set says nothing more than that it deletes.
	Capture.Clear();
	Platform->DeleteEnvironmentVariable(L"KVT_TEST_NEVER_SET");
	ASSERT_EQ(Capture.Entries().size(), 1u) << Capture.Dump();
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, Category(L"DeleteEnvironmentVariable"), L"'KVT_TEST_NEVER_SET'"));
}

TEST_F(SystemInfo, GuidsAreRandomVersion4AndLoggedAndTheVersionIsTheSystemsTrueOne)
{
	std::array<uint32_t, 4> First{}, Second{};
	ASSERT_TRUE(Platform->TryCreateGuid(First[0], First[1], First[2], First[3]));
	ASSERT_TRUE(Platform->TryCreateGuid(Second[0], Second[1], Second[2], Second[3]));
	EXPECT_NE(First, Second);
	EXPECT_EQ(First[1] & 0xF000u, 0x4000u) << std::hex << First[1];
	EXPECT_EQ(First[2] >> 30, 2u) << std::hex << First[2];
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, Category(L"TryCreateGuid"),
		FormatString(L"Successfully created guid components: 0x%X 0x%X 0x%X 0x%X", First[0], First[1], First[2], First[3])))
		<< Capture.Dump();

	// The test prefix reports Windows 10 to a program with the launcher's
	// manifest, and a 64-bit process is no WOW64 process, which the telemetry
	// reads as "32bit". Linux gives the kernel's release as a workstation's.
	EXPECT_EQ(Platform->GetPlatformName(), bWindows ? L"Windows" : L"Linux");
	const std::string Release = bWindows ? "10.0" : ReadFileBytes("/proc/sys/kernel/osrelease");
	const std::string Version = EncodeUtf8Lossless(Platform->GetPlatformVersion());
	std::smatch Match;
	ASSERT_TRUE(std::regex_match(Version, Match, std::regex("([0-9]+\\.[0-9]+\\.)[0-9]+\\.1\\.0\\.(32|64)bit"))) << Version;
	EXPECT_EQ((Release + ".").rfind(Match[1].str(), 0), 0u) << Release;
	EXPECT_EQ(Match[2].str(), bWindows ? "32" : "64");
}
