// What Linux does its own way: signals, the wait, PATH, errno and the terminal.
#include "platform/linux/LinuxHandles.h"
#include "platform/linux/LinuxPlatform.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestFiles.h"
#include "tests/process/ProcessTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/ioctl.h>
#include <sys/utsname.h>
#include <unistd.h>
#include <vector>

namespace
{
	constexpr const wchar_t* RunCategory = L"FLinuxPlatform::TryRunExecutable";
	constexpr const wchar_t* ErrorCategory = L"FLinuxPlatform::LogErrorWithLastErrorMessage";

	// Puts Descriptor in place of the standard output for its lifetime.
	class FStandardOutputSwap
	{
	public:
		explicit FStandardOutputSwap(int Descriptor) : Saved(::dup(STDOUT_FILENO))
		{
			std::fflush(stdout);
			::dup2(Descriptor, STDOUT_FILENO);
		}
		~FStandardOutputSwap() { ::dup2(Saved.Get(), STDOUT_FILENO); }

	private:
		FScopedFileDescriptor Saved;
	};
}

TEST(LinuxProcesses, DeathBySignalReportsTheShellsExitCode)
{
	FLinuxPlatform Platform;
	FLogCapture Capture;
	uint32_t ExitCode = 0;
	{
		const FWatchdog Watchdog;
		ASSERT_TRUE(Platform.TryRunExecutable(GetExitHelperPath(), std::wstring(L"--signal 15"), std::nullopt, false, true,
			&ExitCode));
	}
	EXPECT_EQ(ExitCode, 128u + SIGTERM);
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RunCategory, L"Process exited with code: 0x8F")) << Capture.Dump();

	{
		const FWatchdog Watchdog;
		ASSERT_TRUE(Platform.TryRunExecutable(GetExitHelperPath(), std::wstring(L"300"), std::nullopt, false, true, &ExitCode));
	}
	// Linux keeps only the low 8 bits of an exit status.
	EXPECT_EQ(ExitCode, 300u & 0xFF);
}

TEST(LinuxProcesses, FailedWaitIsAFailureWithTheSystemError)
{
	FLinuxPlatform Platform;
	FLogCapture Capture;
	// With SIGCHLD ignored the kernel reaps children itself and waitpid fails with ECHILD.
	struct sigaction Ignore{};
	Ignore.sa_handler = SIG_IGN;
	struct sigaction Previous{};
	ASSERT_EQ(::sigaction(SIGCHLD, &Ignore, &Previous), 0);
	uint32_t ExitCode = 0;
	bool bResult = true;
	{
		const FWatchdog Watchdog;
		bResult = Platform.TryRunExecutable(GetExitHelperPath(), std::wstring(L"0"), std::nullopt, false, true, &ExitCode);
	}
	::sigaction(SIGCHLD, &Previous, nullptr);

	EXPECT_FALSE(bResult);
	EXPECT_EQ(ExitCode, static_cast<uint32_t>(ECHILD));
	EXPECT_TRUE(HasMessageStartingWith(Capture, ELogLevel::Error, ErrorCategory,
		L"Failed to wait for process: ErrorCode=0xA (10), ErrorMessage="))
		<< Capture.Dump();
	EXPECT_FALSE(HasMessageStartingWith(Capture, ELogLevel::Verbose, RunCategory, L"Process exited"));
}

TEST(LinuxProcesses, BareNamesComeFromPathAndRelativePathsFromOurFolder)
{
	FLinuxPlatform Platform;
	FLogCapture Capture;
	FTempDirectory Directory;
	uint32_t ExitCode = 1;
	{
		const FWatchdog Watchdog;
		ASSERT_TRUE(Platform.TryRunExecutable(L"true", std::nullopt, std::nullopt, false, true, &ExitCode)) << Capture.Dump();
	}
	EXPECT_EQ(ExitCode, 0u);

	// "./helper" means the helper next to us, although the child works elsewhere.
	const std::filesystem::path Previous = std::filesystem::current_path();
	std::filesystem::current_path(ToPath(GetExitHelperPath()).parent_path());
	const std::wstring Relative = L"./" + ToWide(ToPath(GetExitHelperPath()).filename());
	bool bResult = false;
	{
		const FWatchdog Watchdog;
		bResult = Platform.TryRunExecutable(Relative, std::wstring(L"4"), Directory.Wide(), false, true, &ExitCode);
	}
	std::filesystem::current_path(Previous);
	EXPECT_TRUE(bResult) << Capture.Dump();
	EXPECT_EQ(ExitCode, 4u);
}

TEST(LinuxProcesses, AQuoteInThePathChangesNeitherTheProgramNorTheArguments)
{
	FLinuxPlatform Platform;
	FLogCapture Capture;
	FTempDirectory Directory;
	// Read as a Windows command line, the quote would end the program name at the
	// decoy "we", which writes no report.
	const std::wstring Program = Directory.Wide(L"we\"ird");
	std::filesystem::create_symlink(ToPath(GetReportHelperPath()), ToPath(Program));
	std::filesystem::create_symlink(ToPath(GetExitHelperPath()), Directory.Path() / "we");
	const std::wstring ReportPath = Directory.Wide(L"report.txt");
	ASSERT_TRUE(Platform.TrySetEnvironmentVariable(L"KVT_REPORT_FILE", ReportPath));

	uint32_t ExitCode = 1;
	{
		const FWatchdog Watchdog;
		ASSERT_TRUE(Platform.TryRunExecutable(Program, std::wstring(L"x \"y z\""), std::nullopt, false, true, &ExitCode))
			<< Capture.Dump();
	}
	EXPECT_EQ(ExitCode, 0u);
	FReport Report;
	ASSERT_TRUE(TryReadReport(ReportPath, Report)) << "the decoy ran instead of the report helper";
	EXPECT_EQ(Report.Arguments, (std::vector<std::wstring>{Program, L"x", L"y z"}));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RunCategory, L"Creating process with command: '\"" + Program + L"\" x \"y z\"'"))
		<< Capture.Dump();
}

TEST(LinuxProcesses, ErrnoLoggerReadsTheCodeAtOnce)
{
	FLogCapture Capture;
	errno = ENOENT;
	FLinuxPlatform::LogErrorWithLastErrorMessage(L"Opening the thing");
	errno = 0;
	FLinuxPlatform::LogErrorWithLastErrorMessage(L"Doing nothing wrong");

	ASSERT_EQ(Capture.Entries().size(), 2u) << Capture.Dump();
	const std::wstring Prefix = L"Opening the thing: ErrorCode=0x2 (2), ErrorMessage=";
	EXPECT_TRUE(HasMessageStartingWith(Capture, ELogLevel::Error, ErrorCategory, Prefix));
	EXPECT_GT(Capture.Entries()[0].Message.size(), Prefix.size());
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, ErrorCategory, L"Doing nothing wrong: Unknown reason"));
}

TEST(LinuxSystemInfo, ConsoleWidthComesFromTheTerminalOnStandardOutput)
{
	FLinuxPlatform Platform;
	FLogCapture Capture;
	const FScopedFileDescriptor Master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
	ASSERT_TRUE(Master);
	ASSERT_EQ(::grantpt(Master.Get()), 0);
	ASSERT_EQ(::unlockpt(Master.Get()), 0);
	const FScopedFileDescriptor Slave(::open(::ptsname(Master.Get()), O_RDWR | O_NOCTTY | O_CLOEXEC));
	ASSERT_TRUE(Slave);

	struct winsize Size{};
	Size.ws_row = 40;
	Size.ws_col = 120;
	ASSERT_EQ(::ioctl(Slave.Get(), TIOCSWINSZ, &Size), 0);
	uint32_t Width = 0;
	bool bResult = false;
	{
		const FStandardOutputSwap Swap(Slave.Get());
		bResult = Platform.TryGetConsoleWidth(Width);
	}
	EXPECT_TRUE(bResult) << Capture.Dump();
	EXPECT_EQ(Width, 120u);

	// A terminal whose size was never set.
	Size.ws_col = 0;
	ASSERT_EQ(::ioctl(Slave.Get(), TIOCSWINSZ, &Size), 0);
	Width = 77;
	{
		const FStandardOutputSwap Swap(Slave.Get());
		bResult = Platform.TryGetConsoleWidth(Width);
	}
	EXPECT_FALSE(bResult);
	EXPECT_EQ(Width, 77u);
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, ErrorCategory, L"Failed to get console width: Unknown reason")) << Capture.Dump();
}

TEST(LinuxSystemInfo, ConsoleWidthFailsWhenOutputIsNoTerminal)
{
	FLinuxPlatform Platform;
	FLogCapture Capture;
	int Ends[2] = {-1, -1};
	ASSERT_EQ(::pipe2(Ends, O_CLOEXEC), 0);
	const FScopedFileDescriptor Read(Ends[0]);
	const FScopedFileDescriptor Write(Ends[1]);
	uint32_t Width = 77;
	bool bResult = true;
	{
		const FStandardOutputSwap Swap(Write.Get());
		bResult = Platform.TryGetConsoleWidth(Width);
	}
	EXPECT_FALSE(bResult);
	EXPECT_EQ(Width, 77u);
	EXPECT_TRUE(HasMessageStartingWith(Capture, ELogLevel::Error, ErrorCategory,
		L"Failed to get console width: ErrorCode=0x19 (25), ErrorMessage="))
		<< Capture.Dump();
}

TEST(LinuxSystemInfo, NameAndVersionFromTheKernelRelease)
{
	FLinuxPlatform Platform;
	EXPECT_EQ(Platform.GetPlatformName(), L"Linux");
	struct utsname Names{};
	ASSERT_EQ(::uname(&Names), 0);
	int Major = 0;
	int Minor = 0;
	int Patch = 0;
	ASSERT_GE(std::sscanf(Names.release, "%d.%d.%d", &Major, &Minor, &Patch), 2) << Names.release;
	EXPECT_EQ(Platform.GetPlatformVersion(), FormatString(L"%d.%d.%d.1.0.%s", Major, Minor, Patch,
		sizeof(void*) == 8 ? L"64bit" : L"32bit"));
}
