// The session's process group on Linux. Leaving a process group cannot be
// undone, and what happens depends on how the launcher was started, so every
// case runs in a fresh copy of this binary, started in a session of its own:
//  - as the leader of its group (what a shell with job control does),
//  - as a plain member of its parent's group without a terminal,
//  - as a member of the group that owns the session's terminal (what a script
//    run in a terminal does), ending normally or by a signal sent to the group
//    that took the terminal over.
#include "platform/Utf8.h"
#include "platform/linux/LinuxHandles.h"
#include "platform/linux/LinuxPlatform.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestFiles.h"
#include "tests/process/ProcessTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{
	constexpr const wchar_t* Category = L"FLinuxPlatform::TryCreateProcessGroup";

	enum class EStart
	{
		GroupLeader,
		Member,
		TerminalMember,
	};

	// Runs one inner case and gives its exit code (0 = passed), -1 when it could
	// not be run or did not end in time.
	int RunInnerCase(const std::string& TestName, EStart Start, int EndingSignal = 0)
	{
		// Everything the child needs is made before fork: after it, only calls
		// that are safe in a copy of a process may run.
		std::string Program;
		if (!TryEncodeUtf8(GetThisTestBinaryPath(), Program))
		{
			return -1;
		}
		std::string Filter = "--gtest_filter=" + TestName;
		std::vector<char*> Arguments = {Program.data(), Filter.data(), nullptr};
		std::string Marker = std::string(InnerCaseVariable) + "=1";
		std::vector<char*> Environment;
		for (char** Entry = environ; *Entry != nullptr; ++Entry)
		{
			Environment.push_back(*Entry);
		}
		Environment.push_back(Marker.data());
		Environment.push_back(nullptr);

		FScopedFileDescriptor Master;
		std::string TerminalPath;
		if (Start == EStart::TerminalMember)
		{
			Master.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
			if (!Master || ::grantpt(Master.Get()) != 0 || ::unlockpt(Master.Get()) != 0 || ::ptsname(Master.Get()) == nullptr)
			{
				return -1;
			}
			TerminalPath = ::ptsname(Master.Get());
		}

		const pid_t SessionLeader = ::fork();
		if (SessionLeader < 0)
		{
			return -1;
		}
		if (SessionLeader == 0)
		{
			::setsid();
			// The first terminal a session leader opens becomes its controlling terminal,
			// with the leader's group in the foreground.
			const int Terminal = TerminalPath.empty() ? -1 : ::open(TerminalPath.c_str(), O_RDWR);
			if (!TerminalPath.empty() && Terminal < 0)
			{
				::_exit(120);
			}
			if (Start == EStart::GroupLeader)
			{
				::execve(Program.c_str(), Arguments.data(), Environment.data());
				::_exit(121);
			}
			const pid_t Member = ::fork();
			if (Member == 0)
			{
				::execve(Program.c_str(), Arguments.data(), Environment.data());
				::_exit(121);
			}
			int Status = 0;
			while (Member > 0 && ::waitpid(Member, &Status, 0) < 0 && errno == EINTR)
			{
			}
			// However the member ended, the terminal must be back with the group that
			// started it, as the shell of a script expects.
			if (Terminal >= 0 && ::tcgetpgrp(Terminal) != ::getpgrp())
			{
				::_exit(123);
			}
			if (Member > 0 && WIFSIGNALED(Status))
			{
				// A death by signal in the shell's terms.
				::_exit(128 + WTERMSIG(Status));
			}
			::_exit(Member > 0 && WIFEXITED(Status) ? WEXITSTATUS(Status) : 122);
		}

		const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
		for (;;)
		{
			// Sent as Ctrl+C is, to the terminal's foreground group, once the member's
			// new group has taken the terminal over.
			if (EndingSignal != 0)
			{
				const pid_t Foreground = ::tcgetpgrp(Master.Get());
				if (Foreground > 0 && Foreground != SessionLeader)
				{
					::kill(-Foreground, EndingSignal);
					EndingSignal = 0;
				}
			}
			int Status = 0;
			const pid_t Result = ::waitpid(SessionLeader, &Status, WNOHANG);
			if (Result == SessionLeader)
			{
				return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
			}
			if ((Result < 0 && errno != EINTR) || std::chrono::steady_clock::now() > Deadline)
			{
				// The inner case has a watchdog of its own for its part.
				::kill(-SessionLeader, SIGKILL);
				::waitpid(SessionLeader, &Status, 0);
				return -1;
			}
			std::this_thread::sleep_for(std::chrono::milliseconds(10));
		}
	}

	// Children without breakaway stay in the group; with it, they lead a session of their own.
	void ExpectChildrenInAndOutOfTheGroup(IPlatform& Platform)
	{
		FTempDirectory Directory;
		FReport Report;
		ASSERT_TRUE(TryRunReportHelper(Platform, Directory.Wide(L"report.txt"), std::nullopt, std::nullopt, false, Report));
		EXPECT_EQ(Report.Facts[L"pgid"], std::to_wstring(::getpid()));
		EXPECT_EQ(Report.Facts[L"sid"], std::to_wstring(::getsid(0)));

		ASSERT_TRUE(TryRunReportHelper(Platform, Directory.Wide(L"report.txt"), std::nullopt, std::nullopt, true, Report));
		EXPECT_EQ(Report.Facts[L"sid"], Report.Facts[L"pid"]);
		EXPECT_EQ(Report.Facts[L"pgid"], Report.Facts[L"pid"]);
		EXPECT_NE(Report.Facts[L"sid"], std::to_wstring(::getsid(0)));
	}
}

#define SKIP_UNLESS_INNER_CASE() \
	if (!IsInnerCaseRun()) \
	GTEST_SKIP() << "runs only in the fresh process of its outer case"

TEST(LinuxProcessGroup, GroupLeaderKeepsItsGroup)
{
	EXPECT_EQ(RunInnerCase("LinuxProcessGroupInner.GroupLeaderKeepsItsGroup", EStart::GroupLeader), 0);
}

TEST(LinuxProcessGroup, MemberWithoutTerminalLeadsANewGroup)
{
	EXPECT_EQ(RunInnerCase("LinuxProcessGroupInner.MemberWithoutTerminalLeadsANewGroup", EStart::Member), 0);
}

TEST(LinuxProcessGroup, ForegroundMemberTakesTheTerminalAlongAndGivesItBack)
{
	// The exit code is the session leader's report on the member: 0 when the
	// inner case passed, 128 + n when the member died of signal n, 123 when the
	// terminal was not handed back.
	struct FCase
	{
		const char* InnerCase;
		int Signal;
		int Expected;
	};
	const FCase Cases[] = {
		{"ForegroundMemberTakesTheTerminalAlongAndGivesItBack", 0, 0},
		{"ForegroundMemberWaitsForItsEnd", SIGINT, 128 + SIGINT},
		{"ForegroundMemberWaitsForItsEnd", SIGTERM, 128 + SIGTERM},
		{"ForegroundMemberWaitsForItsEnd", SIGHUP, 128 + SIGHUP},
	};
	for (const FCase& Case : Cases)
	{
		EXPECT_EQ(RunInnerCase(std::string("LinuxProcessGroupInner.") + Case.InnerCase, EStart::TerminalMember, Case.Signal),
			Case.Expected)
			<< "signal " << Case.Signal;
	}
}

TEST(LinuxProcessGroupInner, GroupLeaderKeepsItsGroup)
{
	SKIP_UNLESS_INNER_CASE();
	const FWatchdog Watchdog;
	FLinuxPlatform Platform;
	FLogCapture Capture;
	ASSERT_EQ(::getpgrp(), ::getpid());

	std::shared_ptr<IProcessGroup> Group;
	ASSERT_TRUE(Platform.TryCreateProcessGroup(L"session-a", Group)) << Capture.Dump();
	ASSERT_NE(Group, nullptr);
	EXPECT_EQ(::getpgrp(), ::getpid());
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, Category, L"Trying to create process group for session: 'session-a'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, Category,
		FormatString(L"Process %i already leads its process group; it is the group of session 'session-a'", ::getpid())))
		<< Capture.Dump();
	ExpectChildrenInAndOutOfTheGroup(Platform);
}

TEST(LinuxProcessGroupInner, MemberWithoutTerminalLeadsANewGroup)
{
	SKIP_UNLESS_INNER_CASE();
	const FWatchdog Watchdog;
	FLinuxPlatform Platform;
	FLogCapture Capture;
	const pid_t OldGroup = ::getpgrp();
	ASSERT_NE(OldGroup, ::getpid());
	ASSERT_LT(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC), 0);

	std::shared_ptr<IProcessGroup> Group;
	ASSERT_TRUE(Platform.TryCreateProcessGroup(L"session-b", Group)) << Capture.Dump();
	EXPECT_EQ(::getpgrp(), ::getpid());
	EXPECT_EQ(::getsid(0), OldGroup);
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, Category,
		FormatString(L"Created process group %i for session 'session-b'", ::getpid())))
		<< Capture.Dump();
	ExpectChildrenInAndOutOfTheGroup(Platform);

	// The group is ours for the rest of the process's life.
	Group.reset();
	EXPECT_EQ(::getpgrp(), ::getpid());
}

TEST(LinuxProcessGroupInner, ForegroundMemberTakesTheTerminalAlongAndGivesItBack)
{
	SKIP_UNLESS_INNER_CASE();
	const FWatchdog Watchdog;
	FLinuxPlatform Platform;
	FLogCapture Capture;
	const pid_t OldGroup = ::getpgrp();
	ASSERT_NE(OldGroup, ::getpid());
	const FScopedFileDescriptor Terminal(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC));
	ASSERT_TRUE(Terminal);
	ASSERT_EQ(::tcgetpgrp(Terminal.Get()), OldGroup);

	// A launcher started under nohup keeps ignoring the hang-up.
	::signal(SIGHUP, SIG_IGN);

	std::shared_ptr<IProcessGroup> Group;
	ASSERT_TRUE(Platform.TryCreateProcessGroup(L"session-c", Group)) << Capture.Dump();
	EXPECT_EQ(::getpgrp(), ::getpid());
	// Ctrl+C now reaches the launcher's group and the children in it.
	EXPECT_EQ(::tcgetpgrp(Terminal.Get()), ::getpid());
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, Category,
		FormatString(L"The terminal's foreground group is now process group %i", ::getpid())))
		<< Capture.Dump();
	// SIGTTOU was ignored only for the hand-over.
	struct sigaction Current{};
	::sigaction(SIGTTOU, nullptr, &Current);
	EXPECT_EQ(Current.sa_handler, SIG_DFL);
	ExpectChildrenInAndOutOfTheGroup(Platform);

	EXPECT_EQ(::signal(SIGHUP, SIG_IGN), SIG_IGN);

	Group.reset();
	EXPECT_EQ(::tcgetpgrp(Terminal.Get()), OldGroup);
	// With the terminal back, the launcher's signals are as they were.
	EXPECT_EQ(::signal(SIGINT, SIG_DFL), SIG_DFL);
	EXPECT_EQ(::signal(SIGTERM, SIG_DFL), SIG_DFL);
}

TEST(LinuxProcessGroupInner, ForegroundMemberWaitsForItsEnd)
{
	SKIP_UNLESS_INNER_CASE();
	const FWatchdog Watchdog;
	FLinuxPlatform Platform;
	std::shared_ptr<IProcessGroup> Group;
	ASSERT_TRUE(Platform.TryCreateProcessGroup(L"session-d", Group));
	// The outer case sends the signal once it sees the terminal with our group.
	for (;;)
	{
		::pause();
	}
}
