// The session's process group on Linux. Leading a group cannot be undone, so
// the case runs in fresh copies of this binary, each in a session of its own:
// as its group's leader (a shell with job control), as a member of its
// parent's group without a terminal, and as a member of the group that owns
// the terminal (a script run in one), ending normally or by a signal.
#include "platform/linux/LinuxPlatform.h"
#include "tests/platform/PlatformTests.h"
#include "tests/support/linux/PseudoTerminal.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace
{
	constexpr const wchar_t* GroupCategory = L"FLinuxPlatform::TryCreateProcessGroup";

	enum class EStart
	{
		GroupLeader,
		Member,
		TerminalMember,
	};

	// The exit code of the session leader: the copy's own, 128 + n when it died
	// of signal n, 123 when the terminal was not handed back, -1 on a time-out.
	int RunInnerCase(EStart Start, int EndingSignal = 0)
	{
		const std::wstring Marker = std::to_wstring(static_cast<int>(Start) + 10 * EndingSignal);
		return RunCaseInFreshCopy(Marker, [&](std::string Program, std::string Filter)
		{
			// Made before fork: after it, only calls safe in a copy of a process may run.
			std::vector<char*> Arguments = {Program.data(), Filter.data(), nullptr};
			std::string TerminalPath;
			const bool bTerminal = Start == EStart::TerminalMember;
			const FScopedFileDescriptor Master = bTerminal ? OpenPseudoTerminal(TerminalPath) : FScopedFileDescriptor();
			EXPECT_TRUE(!bTerminal || Master);

			const pid_t SessionLeader = ::fork();
			if (SessionLeader == 0)
			{
				::setsid();
				// The first terminal a session leader opens becomes its controlling
				// terminal, with the leader's group in the foreground.
				const int Terminal = TerminalPath.empty() ? -1 : ::open(TerminalPath.c_str(), O_RDWR);
				// Input from a pipe (echo data | launcher) is a foreground run's all the same.
				int Input[2];
				if (::pipe(Input) == 0)
				{
					::dup2(Input[0], STDIN_FILENO);
				}
				const pid_t Member = Start == EStart::GroupLeader ? 0 : ::fork();
				if (Member == 0)
				{
					::execv(Program.c_str(), Arguments.data());
					::_exit(121);
				}
				int Status = 0;
				::waitpid(Member, &Status, 0);
				// However the member ended, the terminal must be back with the script's group.
				if (Terminal >= 0 && ::tcgetpgrp(Terminal) != ::getpgrp())
				{
					::_exit(123);
				}
				::_exit(WIFSIGNALED(Status) ? 128 + WTERMSIG(Status) : WEXITSTATUS(Status));
			}

			for (int Round = 0; Round < 6000; ++Round)
			{
				// Sent as Ctrl+C is, once the member's new group holds the terminal.
				const pid_t Foreground = EndingSignal != 0 ? ::tcgetpgrp(Master.Get()) : 0;
				if (Foreground > 0 && Foreground != SessionLeader)
				{
					::kill(-Foreground, std::exchange(EndingSignal, 0));
				}
				int Status = 0;
				if (::waitpid(SessionLeader, &Status, WNOHANG) == SessionLeader)
				{
					return WEXITSTATUS(Status);
				}
				std::this_thread::sleep_for(std::chrono::milliseconds(10));
			}
			::kill(-SessionLeader, SIGKILL);
			::waitpid(SessionLeader, nullptr, 0);
			return -1;
		});
	}
}

TEST(LinuxProcessGroup, LauncherLeadsItsGroupForGoodAndHoldsTheTerminalWhileItDoes)
{
	if (!IsInnerCase())
	{
		for (const EStart Start : {EStart::GroupLeader, EStart::Member, EStart::TerminalMember})
		{
			EXPECT_EQ(RunInnerCase(Start), 0) << "started as " << static_cast<int>(Start);
		}
		for (const int Signal : {SIGINT, SIGTERM, SIGHUP})
		{
			EXPECT_EQ(RunInnerCase(EStart::TerminalMember, Signal), 128 + Signal) << "ended by signal " << Signal;
		}
		return;
	}
	FLinuxPlatform Platform;
	FLogCapture Capture;
	const pid_t OldGroup = ::getpgrp();
	const FScopedFileDescriptor Terminal(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC));
	const int Marker = std::atoi(std::getenv("KVT_PROCESS_INNER_CASE"));
	const EStart Start = static_cast<EStart>(Marker % 10);
	ASSERT_EQ(OldGroup == ::getpid(), Start == EStart::GroupLeader);
	ASSERT_EQ(static_cast<bool>(Terminal), Start == EStart::TerminalMember);
	// A launcher started under nohup keeps ignoring the hang-up (unless a hang-up is to end it).
	::signal(SIGHUP, Marker >= 10 ? SIG_DFL : SIG_IGN);
	std::shared_ptr<IProcessGroup> Group;
	ASSERT_TRUE(Platform.TryCreateProcessGroup(L"session-a", Group)) << Capture.Dump();
	ASSERT_NE(Group, nullptr);
	EXPECT_EQ(::getpgrp(), ::getpid());
	EXPECT_EQ(::getsid(0), OldGroup);
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, GroupCategory, L"Trying to create process group for session: 'session-a'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, GroupCategory,
		OldGroup == ::getpid()
			? FormatString(L"Process %i already leads its process group; it is the group of session 'session-a'", ::getpid())
			: FormatString(L"Created process group %i for session 'session-a'", ::getpid())))
		<< Capture.Dump();
	if (Terminal)
	{
		// Ctrl+C now reaches the launcher's group and the children in it.
		EXPECT_EQ(::tcgetpgrp(Terminal.Get()), ::getpid());
		EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, GroupCategory,
			FormatString(L"The terminal's foreground group is now process group %i", ::getpid()))) << Capture.Dump();
	}
	while (Marker >= 10)
	{
		::pause();
	}
	// SIGTTOU was ignored only for the hand-over.
	EXPECT_EQ(::signal(SIGTTOU, SIG_DFL), SIG_DFL);
	EXPECT_EQ(::signal(SIGHUP, SIG_IGN), SIG_IGN);

	// Children without breakaway stay in the group; with it, they lead a session of their own.
	FTempDirectory Directory;
	FReport Report = RunReportHelper(Platform, Directory);
	EXPECT_EQ(Report[L"pgid"], std::vector<std::wstring>{std::to_wstring(::getpid())});
	EXPECT_EQ(Report[L"sid"], std::vector<std::wstring>{std::to_wstring(OldGroup)});
	Report = RunReportHelper(Platform, Directory, std::nullopt, true);
	EXPECT_EQ(Report[L"sid"], Report[L"pid"]);

	// The group stays; the terminal goes back, and with it the launcher's signals are as they were.
	Group.reset();
	EXPECT_EQ(::getpgrp(), ::getpid());
	EXPECT_TRUE(!Terminal || ::tcgetpgrp(Terminal.Get()) == OldGroup);
	EXPECT_EQ(::signal(SIGINT, SIG_DFL), SIG_DFL);
	EXPECT_EQ(::signal(SIGTERM, SIG_DFL), SIG_DFL);
}
