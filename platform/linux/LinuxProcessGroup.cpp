#include "platform/linux/LinuxPlatform.h"

#include "app/Log.h"
#include "platform/SystemErrorLog.h"
#include "platform/linux/LinuxHandles.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <pthread.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace
{
	// A process outside the terminal's foreground group that changes the
	// foreground group is stopped by SIGTTOU unless it ignores the signal.
	int SetTerminalForegroundGroup(int Terminal, pid_t Group)
	{
		struct sigaction Ignore{};
		Ignore.sa_handler = SIG_IGN;
		sigemptyset(&Ignore.sa_mask);
		struct sigaction Previous{};
		::sigaction(SIGTTOU, &Ignore, &Previous);
		const int Result = ::tcsetpgrp(Terminal, Group);
		const int ErrorCode = Result == 0 ? 0 : errno;
		::sigaction(SIGTTOU, &Previous, nullptr);
		return ErrorCode;
	}

	// Compared as devices, so that any node of the null device counts, also one
	// a container made.
	bool IsStandardInputNull()
	{
		struct stat Input{};
		struct stat Null{};
		return ::fstat(STDIN_FILENO, &Input) == 0 && ::stat("/dev/null", &Null) == 0 && S_ISCHR(Input.st_mode) &&
			S_ISCHR(Null.st_mode) && Input.st_rdev == Null.st_rdev;
	}

	// Ctrl+C, kill's default and a closed terminal window. Ending the launcher
	// while its group holds the terminal would leave the script that started it
	// in the background, stopped at its next read.
	constexpr int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

	// What the handler needs, set before it is installed: it may interrupt
	// anything, so it reads nothing but these.
	volatile sig_atomic_t HandedTerminal = -1;
	volatile sig_atomic_t HandedGroup = 0;
	volatile sig_atomic_t HandBackGroup = 0;

	// Only async-signal-safe calls and no log line: the launcher may be anywhere,
	// even inside the logger.
	void HandBackTheTerminalAndDie(int Signal)
	{
		if (::tcgetpgrp(HandedTerminal) == HandedGroup)
		{
			SetTerminalForegroundGroup(HandedTerminal, HandBackGroup);
		}
		// Dying of the signal itself keeps the exit status the shell reports (128 + n).
		// It is blocked until the handler returns, then the default action ends us.
		struct sigaction Default{};
		Default.sa_handler = SIG_DFL;
		sigemptyset(&Default.sa_mask);
		::sigaction(Signal, &Default, nullptr);
		::raise(Signal);
	}

	sigset_t MakeEndingSignalSet()
	{
		sigset_t Set;
		sigemptyset(&Set);
		for (const int Signal : EndingSignals)
		{
			sigaddset(&Set, Signal);
		}
		return Set;
	}

	// Holds the ending signals back for its lifetime, so that none arrives between
	// a change of the terminal's owner and the matching change of the handlers.
	class FEndingSignalsBlocked
	{
	public:
		FEndingSignalsBlocked()
		{
			const sigset_t Set = MakeEndingSignalSet();
			::pthread_sigmask(SIG_BLOCK, &Set, &Previous);
		}
		~FEndingSignalsBlocked() { ::pthread_sigmask(SIG_SETMASK, &Previous, nullptr); }
		FEndingSignalsBlocked(const FEndingSignalsBlocked&) = delete;
		FEndingSignalsBlocked& operator=(const FEndingSignalsBlocked&) = delete;

	private:
		sigset_t Previous;
	};

	// The session's POSIX process group. When the launcher had to make a group
	// of its own while its old group owned the terminal, the new group takes the
	// terminal over (so Ctrl+C reaches the launcher and the game); releasing the
	// group, or a signal that ends the launcher, hands the terminal back, so that
	// a script that started the launcher can read from it again.
	class FLinuxProcessGroup final : public IProcessGroup
	{
	public:
		FLinuxProcessGroup(pid_t InGroup, FScopedFileDescriptor InTerminal, pid_t InPreviousForegroundGroup)
			: Group(InGroup), Terminal(std::move(InTerminal)), PreviousForegroundGroup(InPreviousForegroundGroup)
		{
		}

		~FLinuxProcessGroup() override
		{
			if (!Terminal)
			{
				return;
			}
			const FEndingSignalsBlocked Blocked;
			if (::tcgetpgrp(Terminal.Get()) == Group)
			{
				// The old group may be gone by now; then the terminal stays with ours.
				SetTerminalForegroundGroup(Terminal.Get(), PreviousForegroundGroup);
			}
			for (size_t Index = 0; Index < std::size(EndingSignals); ++Index)
			{
				if (bHandlerInstalled[Index])
				{
					::sigaction(EndingSignals[Index], &PreviousActions[Index], nullptr);
				}
			}
		}

		// Gives the terminal to our group; from then on a signal that ends the
		// launcher hands it back first. Returns 0 or the system's error code.
		int TakeTerminal()
		{
			const FEndingSignalsBlocked Blocked;
			if (const int ErrorCode = SetTerminalForegroundGroup(Terminal.Get(), Group); ErrorCode != 0)
			{
				return ErrorCode;
			}
			HandedTerminal = Terminal.Get();
			HandedGroup = Group;
			HandBackGroup = PreviousForegroundGroup;
			struct sigaction Handler{};
			Handler.sa_handler = HandBackTheTerminalAndDie;
			Handler.sa_mask = MakeEndingSignalSet();
			for (size_t Index = 0; Index < std::size(EndingSignals); ++Index)
			{
				// A signal the launcher was started to ignore (nohup, a background job of
				// a script) stays ignored, and a handler of someone else's stays theirs.
				::sigaction(EndingSignals[Index], nullptr, &PreviousActions[Index]);
				if ((PreviousActions[Index].sa_flags & SA_SIGINFO) == 0 && PreviousActions[Index].sa_handler == SIG_DFL)
				{
					bHandlerInstalled[Index] = ::sigaction(EndingSignals[Index], &Handler, nullptr) == 0;
				}
			}
			return 0;
		}

	private:
		pid_t Group;
		FScopedFileDescriptor Terminal;
		pid_t PreviousForegroundGroup;
		struct sigaction PreviousActions[std::size(EndingSignals)]{};
		bool bHandlerInstalled[std::size(EndingSignals)]{};
	};
}

bool FLinuxPlatform::TryCreateProcessGroup(const std::wstring& Name, std::shared_ptr<IProcessGroup>& OutProcessGroup)
{
	constexpr const wchar_t* Category = L"FLinuxPlatform::TryCreateProcessGroup";
	const bool bCreated = GuardOperation(Category, false, [&]
	{
		// A POSIX process group has no name; the session's name is only logged.
		Log(ELogLevel::Verbose, Category, L"Trying to create process group for session: '%s'", Name);
		const pid_t Self = ::getpid();
		const pid_t OldGroup = ::getpgrp();

		// A shell with job control gives every job a group of its own: that group
		// is the session's already, and the terminal's signals keep working.
		if (OldGroup == Self)
		{
			OutProcessGroup = std::make_shared<FLinuxProcessGroup>(Self, FScopedFileDescriptor(), 0);
			Log(ELogLevel::Verbose, Category, L"Process %i already leads its process group; it is the group of session '%s'",
				static_cast<int>(Self), Name);
			return true;
		}

		// A shell without job control starts a background job (launcher &) in its
		// own group with /dev/null as its input: taking the terminal then would
		// make the script's next read fail. Any other input, a pipe included, is
		// a foreground run's.
		FScopedFileDescriptor Terminal(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC));
		const bool bForeground = Terminal && ::tcgetpgrp(Terminal.Get()) == OldGroup && !IsStandardInputNull();
		if (!bForeground)
		{
			Terminal.Reset();
		}
		// Made before anything changes, so that every way out of here hands the
		// terminal back.
		auto Group = std::make_shared<FLinuxProcessGroup>(Self, std::move(Terminal), OldGroup);

		if (::setpgid(0, 0) != 0)
		{
			LogErrorWithLastErrorMessage(L"Failed to create process group");
			OutProcessGroup.reset();
			return false;
		}
		if (bForeground)
		{
			if (const int ErrorCode = Group->TakeTerminal(); ErrorCode != 0)
			{
				LogErrorWithErrorCode(L"Failed to give the terminal to the new process group", static_cast<uint32_t>(ErrorCode));
				// Back into the old group: a launcher that Ctrl+C cannot reach is worse
				// than no group of its own.
				::setpgid(0, OldGroup);
				OutProcessGroup.reset();
				return false;
			}
			Log(ELogLevel::Verbose, Category, L"The terminal's foreground group is now process group %i", static_cast<int>(Self));
		}

		OutProcessGroup = std::move(Group);
		Log(ELogLevel::Verbose, Category, L"Created process group %i for session '%s'", static_cast<int>(Self), Name);
		return true;
	});
	// Every failure leaves the caller without a group, also one that threw.
	if (!bCreated)
	{
		OutProcessGroup.reset();
	}
	return bCreated;
}
