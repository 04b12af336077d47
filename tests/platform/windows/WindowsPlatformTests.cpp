// What only Windows shows.
#include "platform/windows/WindowsHandles.h"
#include "platform/windows/WindowsPlatform.h"
#include "tests/platform/PlatformTests.h"

#include <random>

// Another part of the service may have made the session's job first.
TEST(WindowsJobs, JoinsTheJobOfTheSessionsNameAndOnlyBreakawayChildrenLeaveIt)
{
	FWindowsPlatform Platform;
	if (!IsInnerCase())
	{
		// A fresh copy of the test binary joins the jobs; this process stays out of them.
		EXPECT_EQ(RunCaseInFreshCopy(), 0);
		return;
	}
	FLogCapture Capture;
	// A name another kind of object holds fails, and empties the output.
	const std::wstring Name = FormatString(L"kvt-test-%08x", std::random_device()()), Taken = Name + L"-taken";
	const FScopedKernelHandle Event(::CreateEventW(nullptr, TRUE, FALSE, (L"Global\\" + Taken).c_str()));
	std::shared_ptr<IProcessGroup> Group = std::make_shared<IProcessGroup>();
	EXPECT_FALSE(Platform.TryCreateProcessGroup(Taken, Group));
	EXPECT_EQ(Group, nullptr);
	EXPECT_TRUE(HasPrefix(Capture, ELogLevel::Error, ErrorCategory, L"Failed to create job object: ErrorCode=0x")) << Capture.Dump();

	const FScopedKernelHandle Existing(::CreateJobObjectW(nullptr, (L"Global\\" + Name).c_str()));
	ASSERT_TRUE(Existing);
	ASSERT_TRUE(Platform.TryCreateProcessGroup(Name, Group)) << Capture.Dump();
	ASSERT_NE(Group, nullptr);
	const wchar_t* Category = L"FWindowsPlatform::TryCreateProcessGroup";
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, Category, L"Trying to create job object with name: 'Global\\" + Name + L"'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, Category, L"Successfully created job object"));
	BOOL bInJob = FALSE;
	EXPECT_TRUE(::IsProcessInJob(::GetCurrentProcess(), Existing.Get(), &bInJob) && bInJob);
	FTempDirectory Directory;
	EXPECT_EQ(RunReportHelper(Platform, Directory)[L"injob"], std::vector<std::wstring>{L"1"});
	// Only possible because the job allows breakaway.
	EXPECT_EQ(RunReportHelper(Platform, Directory, std::nullopt, true)[L"injob"], std::vector<std::wstring>{L"0"});

	// In a further job that forbids it, breakaway fails with the system's error.
	const FScopedKernelHandle Strict(::CreateJobObjectW(nullptr, nullptr));
	ASSERT_TRUE(::AssignProcessToJobObject(Strict.Get(), ::GetCurrentProcess()));
	uint32_t ExitCode = 0;
	EXPECT_FALSE(Platform.TryRunExecutable(ReportHelper, std::wstring(L"0"), std::nullopt, true, true, &ExitCode));
	EXPECT_EQ(ExitCode, static_cast<uint32_t>(ERROR_ACCESS_DENIED));
	EXPECT_TRUE(HasPrefix(Capture, ELogLevel::Error, ErrorCategory, L"Failed to create process: ErrorCode=0x5 (5), ErrorMessage="))
		<< Capture.Dump();
}
