// What only Windows has: full 32-bit exit codes, the last-error logger, the
// console, the version, and the job object of the session.
#include "platform/windows/WindowsGuid.h"
#include "platform/windows/WindowsHandles.h"
#include "platform/windows/WindowsPlatform.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestFiles.h"
#include "tests/process/ProcessTestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace
{
	constexpr const wchar_t* ErrorCategory = L"FWindowsPlatform::LogErrorWithLastErrorMessage";

	std::wstring UniqueName()
	{
		std::random_device Random;
		return FormatString(L"kvt-test-%08x%08x", Random(), Random());
	}

	bool IsCurrentProcessInJob(HANDLE Job)
	{
		BOOL bInJob = FALSE;
		return ::IsProcessInJob(::GetCurrentProcess(), Job, &bInJob) && bInJob;
	}

	// A fresh copy of this test binary runs one inner case; its result is its exit code.
	int RunInnerCase(const std::string& TestName)
	{
		const std::wstring Filter(TestName.begin(), TestName.end());
		std::wstring CommandLine = L"\"" + GetThisTestBinaryPath() + L"\" --gtest_filter=" + Filter;
		STARTUPINFOW StartupInfo{};
		StartupInfo.cb = sizeof(StartupInfo);
		StartupInfo.dwFlags = STARTF_USESTDHANDLES;
		StartupInfo.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
		StartupInfo.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
		StartupInfo.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
		PROCESS_INFORMATION Information{};
		::SetEnvironmentVariableA(InnerCaseVariable, "1");
		const BOOL bCreated = ::CreateProcessW(nullptr, CommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
			&StartupInfo, &Information);
		::SetEnvironmentVariableA(InnerCaseVariable, nullptr);
		if (!bCreated)
		{
			return -1;
		}
		const FScopedKernelHandle Process(Information.hProcess);
		const FScopedKernelHandle Thread(Information.hThread);
		if (::WaitForSingleObject(Process.Get(), 60000) != WAIT_OBJECT_0)
		{
			::TerminateProcess(Process.Get(), 99);
			return -1;
		}
		DWORD ExitCode = 0;
		return ::GetExitCodeProcess(Process.Get(), &ExitCode) ? static_cast<int>(ExitCode) : -1;
	}
}

#define SKIP_UNLESS_INNER_CASE() \
	if (!IsInnerCaseRun()) \
	GTEST_SKIP() << "runs only in the fresh process of its outer case"

TEST(WindowsProcesses, FullExitCodeArrivesUnchangedAndIsLoggedInHex)
{
	FWindowsPlatform Platform;
	FLogCapture Capture;
	uint32_t ExitCode = 0;
	{
		const FWatchdog Watchdog;
		ASSERT_TRUE(Platform.TryRunExecutable(GetExitHelperPath(), std::wstring(L"0xC0000005"), std::nullopt, false, true,
			&ExitCode));
	}
	EXPECT_EQ(ExitCode, 0xC0000005u);
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"FWindowsPlatform::TryRunExecutable", L"Process exited with code: 0xC0000005"))
		<< Capture.Dump();
}

TEST(WindowsProcesses, ChildSeesExactlyTheFormedCommandLine)
{
	FWindowsPlatform Platform;
	FLogCapture Capture;
	FTempDirectory Directory;
	FReport Report;
	ASSERT_TRUE(TryRunReportHelper(Platform, Directory.Wide(L"report.txt"), std::wstring(), std::nullopt, false, Report));
	EXPECT_EQ(Report.Facts[L"commandline"], L"\"" + GetReportHelperPath() + L"\" ");
	ASSERT_TRUE(TryRunReportHelper(Platform, Directory.Wide(L"report.txt"), std::wstring(L"a  \"b\""), std::nullopt, false,
		Report));
	EXPECT_EQ(Report.Facts[L"commandline"], L"\"" + GetReportHelperPath() + L"\" a  \"b\"");
	Platform.DeleteEnvironmentVariable(L"KVT_REPORT_FILE");
}

TEST(WindowsProcesses, LastErrorLoggerReadsTheCodeAtOnce)
{
	FLogCapture Capture;
	::SetLastError(ERROR_FILE_NOT_FOUND);
	FWindowsPlatform::LogErrorWithLastErrorMessage(L"Opening the thing");
	::SetLastError(0);
	FWindowsPlatform::LogErrorWithLastErrorMessage(L"Doing nothing wrong");

	ASSERT_EQ(Capture.Entries().size(), 2u) << Capture.Dump();
	const std::wstring Prefix = L"Opening the thing: ErrorCode=0x2 (2), ErrorMessage=";
	EXPECT_TRUE(HasMessageStartingWith(Capture, ELogLevel::Error, ErrorCategory, Prefix));
	// The system's text follows; its wording depends on the locale.
	EXPECT_GT(Capture.Entries()[0].Message.size(), Prefix.size());
	EXPECT_EQ(Capture.Entries()[0].Message.find(L'\n'), std::wstring::npos);
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, ErrorCategory, L"Doing nothing wrong: Unknown reason"));
}

TEST(WindowsSystemInfo, ConsoleWidthFailsWhenOutputIsNoConsole)
{
	FWindowsPlatform Platform;
	FLogCapture Capture;
	HANDLE ReadEnd = nullptr;
	HANDLE WriteEnd = nullptr;
	ASSERT_TRUE(::CreatePipe(&ReadEnd, &WriteEnd, nullptr, 0));
	const FScopedKernelHandle Read(ReadEnd);
	const FScopedKernelHandle Write(WriteEnd);
	const HANDLE Previous = ::GetStdHandle(STD_OUTPUT_HANDLE);
	::SetStdHandle(STD_OUTPUT_HANDLE, Write.Get());
	uint32_t Width = 77;
	const bool bResult = Platform.TryGetConsoleWidth(Width);
	::SetStdHandle(STD_OUTPUT_HANDLE, Previous);

	EXPECT_FALSE(bResult);
	EXPECT_EQ(Width, 77u);
	EXPECT_TRUE(HasMessageStartingWith(Capture, ELogLevel::Error, ErrorCategory,
		L"Failed to get console width: ErrorCode=0x6 (6), ErrorMessage="))
		<< Capture.Dump();
}

TEST(WindowsSystemInfo, NameAndVersionOfThe64BitProcess)
{
	FWindowsPlatform Platform;
	EXPECT_EQ(Platform.GetPlatformName(), L"Windows");
	const std::wstring Version = Platform.GetPlatformVersion();
	// The test prefix reports Windows 10; a 64-bit process is no WOW64 process.
	EXPECT_EQ(Version.rfind(L"10.0.", 0), 0u) << ToPath(Version);
	EXPECT_TRUE(Version.size() > 6 && Version.compare(Version.size() - 6, 6, L".32bit") == 0) << ToPath(Version);
}

TEST(WindowsSystemInfo, GuidSplitsIntoTheDigitsOfItsTextForm)
{
	// {00112233-4455-6677-8899-AABBCCDDEEFF}
	const GUID Guid = {0x00112233, 0x4455, 0x6677, {0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}};
	const FGuidComponents Components = SplitGuid(Guid);
	EXPECT_EQ(Components.A, 0x00112233u);
	EXPECT_EQ(Components.B, 0x44556677u);
	EXPECT_EQ(Components.C, 0x8899AABBu);
	EXPECT_EQ(Components.D, 0xCCDDEEFFu);
}

TEST(WindowsProcessGroup, NameTakenByAnotherObjectFailsAndEmptiesTheOutput)
{
	FWindowsPlatform Platform;
	FLogCapture Capture;
	const std::wstring Name = UniqueName();
	const FScopedKernelHandle Event(::CreateEventW(nullptr, TRUE, FALSE, (L"Global\\" + Name).c_str()));
	ASSERT_TRUE(Event);

	class FOldGroup : public IProcessGroup
	{
	};
	std::shared_ptr<IProcessGroup> Group = std::make_shared<FOldGroup>();
	EXPECT_FALSE(Platform.TryCreateProcessGroup(Name, Group));
	EXPECT_EQ(Group, nullptr);
	EXPECT_TRUE(HasMessageStartingWith(Capture, ELogLevel::Error, ErrorCategory, L"Failed to create job object: ErrorCode=0x"))
		<< Capture.Dump();
	EXPECT_FALSE(IsCurrentProcessInJob(nullptr));
}

// Joining a job cannot be undone: these run in a fresh process each.
TEST(WindowsProcessGroup, JoinsTheNamedJobAndOnlyBreakawayChildrenLeaveIt)
{
	EXPECT_EQ(RunInnerCase("WindowsProcessGroupInner.JoinsTheNamedJobAndOnlyBreakawayChildrenLeaveIt"), 0);
}

TEST(WindowsProcessGroup, OpensAnExistingJobOfTheSameName)
{
	EXPECT_EQ(RunInnerCase("WindowsProcessGroupInner.OpensAnExistingJobOfTheSameName"), 0);
}

TEST(WindowsProcessGroup, BreakawayFailsInAJobThatForbidsIt)
{
	EXPECT_EQ(RunInnerCase("WindowsProcessGroupInner.BreakawayFailsInAJobThatForbidsIt"), 0);
}

TEST(WindowsProcessGroupInner, JoinsTheNamedJobAndOnlyBreakawayChildrenLeaveIt)
{
	SKIP_UNLESS_INNER_CASE();
	FWindowsPlatform Platform;
	FLogCapture Capture;
	FTempDirectory Directory;
	const std::wstring Name = UniqueName();
	ASSERT_FALSE(IsCurrentProcessInJob(nullptr));

	std::shared_ptr<IProcessGroup> Group;
	ASSERT_TRUE(Platform.TryCreateProcessGroup(Name, Group)) << Capture.Dump();
	ASSERT_NE(Group, nullptr);
	const wchar_t* Category = L"FWindowsPlatform::TryCreateProcessGroup";
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, Category, L"Trying to create job object with name: 'Global\\" + Name + L"'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, Category, L"Successfully created job object"));

	const FScopedKernelHandle Job(::OpenJobObjectW(JOB_OBJECT_QUERY, FALSE, (L"Global\\" + Name).c_str()));
	ASSERT_TRUE(Job);
	EXPECT_TRUE(IsCurrentProcessInJob(Job.Get()));

	FReport Report;
	ASSERT_TRUE(TryRunReportHelper(Platform, Directory.Wide(L"report.txt"), std::nullopt, std::nullopt, false, Report));
	EXPECT_EQ(Report.Facts[L"injob"], L"1");
	// Only possible because the group allows breakaway.
	ASSERT_TRUE(TryRunReportHelper(Platform, Directory.Wide(L"report.txt"), std::nullopt, std::nullopt, true, Report))
		<< Capture.Dump();
	EXPECT_EQ(Report.Facts[L"injob"], L"0");
}

TEST(WindowsProcessGroupInner, OpensAnExistingJobOfTheSameName)
{
	SKIP_UNLESS_INNER_CASE();
	FWindowsPlatform Platform;
	FLogCapture Capture;
	const std::wstring Name = UniqueName();
	const FScopedKernelHandle Existing(::CreateJobObjectW(nullptr, (L"Global\\" + Name).c_str()));
	ASSERT_TRUE(Existing);

	std::shared_ptr<IProcessGroup> Group;
	ASSERT_TRUE(Platform.TryCreateProcessGroup(Name, Group)) << Capture.Dump();
	EXPECT_TRUE(IsCurrentProcessInJob(Existing.Get()));
}

TEST(WindowsProcessGroupInner, BreakawayFailsInAJobThatForbidsIt)
{
	SKIP_UNLESS_INNER_CASE();
	FWindowsPlatform Platform;
	FLogCapture Capture;
	const FScopedKernelHandle Strict(::CreateJobObjectW(nullptr, nullptr));
	ASSERT_TRUE(Strict);
	ASSERT_TRUE(::AssignProcessToJobObject(Strict.Get(), ::GetCurrentProcess()));

	uint32_t ExitCode = 0;
	EXPECT_FALSE(Platform.TryRunExecutable(GetExitHelperPath(), std::wstring(L"0"), std::nullopt, true, true, &ExitCode));
	EXPECT_EQ(ExitCode, static_cast<uint32_t>(ERROR_ACCESS_DENIED));
	EXPECT_TRUE(HasMessageStartingWith(Capture, ELogLevel::Error, ErrorCategory,
		L"Failed to create process: ErrorCode=0x5 (5), ErrorMessage="))
		<< Capture.Dump();
}
