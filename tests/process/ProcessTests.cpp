// Real children through the platform services of the system the tests run on.
#include "tests/support/LogCapture.h"
#include "tests/support/TestBootstrapper.h"
#include "tests/support/TestFiles.h"
#include "tests/process/ProcessTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

namespace
{
	class Processes : public ::testing::Test
	{
	protected:
		void TearDown() override
		{
			Platform->DeleteEnvironmentVariable(L"KVT_REPORT_FILE");
		}

		std::shared_ptr<IPlatform> Platform = MakeNativePlatform();
		FTempDirectory Directory;
		FLogCapture Capture;
		std::wstring RunCategory = Platform->GetPlatformName() == L"Windows" ? L"FWindowsPlatform::TryRunExecutable"
																			 : L"FLinuxPlatform::TryRunExecutable";
		std::wstring ErrorCategory = Platform->GetPlatformName() == L"Windows"
			? L"FWindowsPlatform::LogErrorWithLastErrorMessage"
			: L"FLinuxPlatform::LogErrorWithLastErrorMessage";
		std::wstring PlatformClass = Platform->GetPlatformName() == L"Windows" ? L"FWindowsPlatform" : L"FLinuxPlatform";
	};

	bool IsSameFolder(const std::wstring& Left, const std::wstring& Right)
	{
		std::error_code Error;
		return std::filesystem::equivalent(ToPath(Left), ToPath(Right), Error) && !Error;
	}
}

TEST_F(Processes, ChildGetsTheArgumentsWorkingDirectoryAndLogLines)
{
	const std::wstring ArgumentText = L"one \"two words\" \"\" back\\\"slash \u00FCber";
	FReport Report;
	ASSERT_TRUE(TryRunReportHelper(*Platform, Directory.Wide(L"report.txt"), ArgumentText, Directory.Wide(), false, Report))
		<< Capture.Dump();

	const std::vector<std::wstring> Expected = {GetReportHelperPath(), L"one", L"two words", L"", L"back\"slash", L"\u00FCber"};
	EXPECT_EQ(Report.Arguments, Expected);
	EXPECT_TRUE(IsSameFolder(Report.WorkingDirectory, Directory.Wide())) << ToPath(Report.WorkingDirectory);

	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RunCategory,
		L"Creating process with command: '\"" + GetReportHelperPath() + L"\" " + ArgumentText + L"'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RunCategory, L"Working directory: '" + Directory.Wide() + L"'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RunCategory, L"Process will be added to job"));
	EXPECT_TRUE(HasMessageStartingWith(Capture, ELogLevel::Verbose, RunCategory, L"Process created with pid: "));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RunCategory, L"Waiting for exit code"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RunCategory, L"Process exited with code: 0x0"));
}

TEST_F(Processes, PathWithSpacesRunsWithAndWithoutArgumentText)
{
	// A copy of the helper in a folder and under a name with spaces.
	std::filesystem::create_directories(Directory.Path() / "my games");
	const std::filesystem::path Copy = Directory.Path() / "my games" / ("report helper" + ToPath(GetReportHelperPath()).extension().string());
	std::filesystem::copy_file(ToPath(GetReportHelperPath()), Copy);
	std::filesystem::permissions(Copy, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
	const std::wstring CopyPath = ToWide(Copy);

	Platform->TrySetEnvironmentVariable(L"KVT_REPORT_FILE", Directory.Wide(L"report.txt"));
	uint32_t ExitCode = 1;
	{
		const FWatchdog Watchdog;
		ASSERT_TRUE(Platform->TryRunExecutable(CopyPath, std::nullopt, std::nullopt, false, true, &ExitCode)) << Capture.Dump();
	}
	EXPECT_EQ(ExitCode, 0u);
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RunCategory, L"Creating process with command: '\"" + CopyPath + L"\"'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RunCategory, L"No working directory"));
	FReport Report;
	ASSERT_TRUE(TryReadReport(Directory.Wide(L"report.txt"), Report));
	EXPECT_EQ(Report.Arguments, std::vector<std::wstring>{CopyPath});

	// Present but empty: one space after the quoted path, and still no argument.
	Capture.Clear();
	{
		const FWatchdog Watchdog;
		ASSERT_TRUE(Platform->TryRunExecutable(CopyPath, std::wstring(), std::nullopt, false, true, &ExitCode));
	}
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RunCategory, L"Creating process with command: '\"" + CopyPath + L"\" '"));
	ASSERT_TRUE(TryReadReport(Directory.Wide(L"report.txt"), Report));
	EXPECT_EQ(Report.Arguments, std::vector<std::wstring>{CopyPath});
}

TEST_F(Processes, ExitCodeArrivesOnlyWhenWaitedFor)
{
	uint32_t ExitCode = 99;
	{
		const FWatchdog Watchdog;
		ASSERT_TRUE(Platform->TryRunExecutable(GetExitHelperPath(), std::wstring(L"3"), std::nullopt, false, true, &ExitCode));
	}
	EXPECT_EQ(ExitCode, 3u);
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RunCategory, L"Process exited with code: 0x3"));

	Capture.Clear();
	ExitCode = 99;
	ASSERT_TRUE(Platform->TryRunExecutable(GetExitHelperPath(), std::wstring(L"5"), std::nullopt, false, false, &ExitCode));
	EXPECT_EQ(ExitCode, 0u);
	EXPECT_FALSE(Capture.Has(ELogLevel::Verbose, RunCategory, L"Waiting for exit code"));
}

TEST_F(Processes, MissingExecutableStoresFileNotFound)
{
	const std::wstring Missing = Directory.Wide(L"no such program");
	uint32_t ExitCode = 0;
	EXPECT_FALSE(Platform->TryRunExecutable(Missing, std::wstring(L"a"), std::nullopt, true, true, &ExitCode));
	// ERROR_FILE_NOT_FOUND and ENOENT are both 2.
	EXPECT_EQ(ExitCode, 2u);
	EXPECT_TRUE(HasMessageStartingWith(Capture, ELogLevel::Error, ErrorCategory,
		L"Failed to create process: ErrorCode=0x2 (2), ErrorMessage="))
		<< Capture.Dump();
	EXPECT_FALSE(HasMessageStartingWith(Capture, ELogLevel::Verbose, RunCategory, L"Process created"));
}

TEST_F(Processes, MissingWorkingDirectoryFailsTheStart)
{
	uint32_t ExitCode = 0;
	EXPECT_FALSE(Platform->TryRunExecutable(GetExitHelperPath(), std::wstring(L"0"), Directory.Wide(L"gone"), false, true,
		&ExitCode));
	EXPECT_NE(ExitCode, 0u);
	EXPECT_TRUE(HasMessageStartingWith(Capture, ELogLevel::Error, ErrorCategory, L"Failed to create process: ErrorCode=0x"))
		<< Capture.Dump();
}

TEST_F(Processes, EnvironmentChangesReachLaterChildren)
{
	ASSERT_TRUE(Platform->TrySetEnvironmentVariable(L"KVT_TEST_PRESENT", L"yes \u00FC"));
	ASSERT_TRUE(Platform->TrySetEnvironmentVariable(L"KVT_TEST_DELETED", L"soon gone"));
	Platform->DeleteEnvironmentVariable(L"KVT_TEST_DELETED");
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, PlatformClass + L"::TrySetEnvironmentVariable",
		L"Trying to set environment variable: 'KVT_TEST_PRESENT=yes \u00FC'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, PlatformClass + L"::TrySetEnvironmentVariable",
		L"Successfully set environment variable: 'KVT_TEST_PRESENT=yes \u00FC'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, PlatformClass + L"::DeleteEnvironmentVariable", L"'KVT_TEST_DELETED'"));

	FReport Report;
	ASSERT_TRUE(TryRunReportHelper(*Platform, Directory.Wide(L"report.txt"), std::nullopt, std::nullopt, false, Report));
	EXPECT_EQ(Report.Environment[L"KVT_TEST_PRESENT"], L"yes \u00FC");
	EXPECT_EQ(Report.Environment.count(L"KVT_TEST_DELETED"), 0u);
	Platform->DeleteEnvironmentVariable(L"KVT_TEST_PRESENT");
}

TEST_F(Processes, EnvironmentFailuresAreLoggedAndDeletingNothingSaysNothingMore)
{
	EXPECT_FALSE(Platform->TrySetEnvironmentVariable(L"KVT=BAD", L"1"));
	EXPECT_TRUE(HasMessageStartingWith(Capture, ELogLevel::Error, ErrorCategory,
		L"Failed to set environment variable: 'KVT=BAD=1': ErrorCode=0x"))
		<< Capture.Dump();

	Capture.Clear();
	Platform->DeleteEnvironmentVariable(L"KVT_TEST_NEVER_SET");
	ASSERT_EQ(Capture.Entries().size(), 1u) << Capture.Dump();
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, PlatformClass + L"::DeleteEnvironmentVariable", L"'KVT_TEST_NEVER_SET'"));
}

TEST(PlatformIdentifiers, GuidsAreRandomVersion4AndLogged)
{
	const std::shared_ptr<IPlatform> Platform = MakeNativePlatform();
	FLogCapture Capture;
	uint32_t First[4] = {};
	uint32_t Second[4] = {};
	ASSERT_TRUE(Platform->TryCreateGuid(First[0], First[1], First[2], First[3]));
	ASSERT_TRUE(Platform->TryCreateGuid(Second[0], Second[1], Second[2], Second[3]));
	EXPECT_FALSE(std::equal(std::begin(First), std::end(First), std::begin(Second)));
	for (const uint32_t* Guid : {First, Second})
	{
		EXPECT_EQ(Guid[1] & 0xF000u, 0x4000u) << std::hex << Guid[1];
		EXPECT_EQ(Guid[2] >> 30, 2u) << std::hex << Guid[2];
	}
	const std::wstring Category = Platform->GetPlatformName() == L"Windows" ? L"FWindowsPlatform::TryCreateGuid"
																			: L"FLinuxPlatform::TryCreateGuid";
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, Category,
		FormatString(L"Successfully created guid components: 0x%X 0x%X 0x%X 0x%X", First[0], First[1], First[2], First[3])))
		<< Capture.Dump();
}

TEST(PlatformIdentifiers, VersionTextHasTheFiveNumbersAndTheBitness)
{
	const std::wstring Version = MakeNativePlatform()->GetPlatformVersion();
	EXPECT_TRUE(std::regex_match(Version, std::wregex(L"[0-9]+\\.[0-9]+\\.[0-9]+\\.[123]\\.[0-9]+\\.(32|64)bit")))
		<< ToPath(Version);
}
