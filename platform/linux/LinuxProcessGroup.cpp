#include "platform/linux/LinuxPlatform.h"

#include "app/Log.h"
#include "platform/SystemErrorLog.h"
#include "platform/linux/LinuxHandles.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
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

	// The session's POSIX process group. When the launcher had to make a group
	// of its own while its old group owned the terminal, the new group took the
	// terminal over (so Ctrl+C reaches the launcher and the game); releasing the
	// group hands the terminal back, so that a script that started the launcher
	// can read from it again.
	class FLinuxProcessGroup final : public IProcessGroup
	{
	public:
		FLinuxProcessGroup(pid_t InGroup, FScopedFileDescriptor InTerminal, pid_t InPreviousForegroundGroup)
			: Group(InGroup), Terminal(std::move(InTerminal)), PreviousForegroundGroup(InPreviousForegroundGroup)
		{
		}

		~FLinuxProcessGroup() override
		{
			if (Terminal && ::tcgetpgrp(Terminal.Get()) == Group)
			{
				// The old group may be gone by now; then the terminal stays with ours.
				SetTerminalForegroundGroup(Terminal.Get(), PreviousForegroundGroup);
			}
		}

		int GetTerminal() const { return Terminal.Get(); }

	private:
		pid_t Group;
		FScopedFileDescriptor Terminal;
		pid_t PreviousForegroundGroup;
	};
}

bool FLinuxPlatform::TryCreateProcessGroup(const std::wstring& Name, std::shared_ptr<IProcessGroup>& OutProcessGroup)
{
	constexpr const wchar_t* Category = L"FLinuxPlatform::TryCreateProcessGroup";
	try
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

		FScopedFileDescriptor Terminal(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC));
		const bool bForeground = Terminal && ::tcgetpgrp(Terminal.Get()) == OldGroup;
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
			if (const int ErrorCode = SetTerminalForegroundGroup(Group->GetTerminal(), Self); ErrorCode != 0)
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
	}
	catch (...)
	{
		OutProcessGroup.reset();
		LogCurrentException(Category);
		return false;
	}
}
