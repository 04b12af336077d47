#include "platform/linux/LinuxPlatform.h"

#include "app/Log.h"
#include "platform/ProcessRun.h"
#include "platform/SystemErrorLog.h"
#include "platform/linux/LinuxSystemText.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace
{
	// posix_spawn's two setup records, released on every path once made.
	class FSpawnSetup
	{
	public:
		FSpawnSetup()
		{
			bAttributesMade = ::posix_spawnattr_init(&Attributes) == 0;
			bActionsMade = ::posix_spawn_file_actions_init(&Actions) == 0;
		}
		~FSpawnSetup()
		{
			if (bActionsMade)
			{
				::posix_spawn_file_actions_destroy(&Actions);
			}
			if (bAttributesMade)
			{
				::posix_spawnattr_destroy(&Attributes);
			}
		}
		FSpawnSetup(const FSpawnSetup&) = delete;
		FSpawnSetup& operator=(const FSpawnSetup&) = delete;

		bool IsMade() const { return bAttributesMade && bActionsMade; }

		posix_spawnattr_t Attributes;
		posix_spawn_file_actions_t Actions;

	private:
		bool bAttributesMade = false;
		bool bActionsMade = false;
	};

	class FLinuxProcessStarter final : public IProcessStarter
	{
	public:
		explicit FLinuxProcessStarter(std::vector<std::wstring> InArguments) : Arguments(std::move(InArguments)) {}

		// The command line is only the logged text here: the program and its
		// arguments were taken apart before it was formed.
		bool TryStart(const std::wstring&, const std::optional<std::wstring>& WorkingDirectory, bool bBreakaway,
			uint32_t& OutProcessId, uint32_t& OutErrorCode) override
		{
			std::vector<std::string> Encoded(Arguments.size());
			for (size_t Index = 0; Index < Arguments.size(); ++Index)
			{
				int ErrorCode = 0;
				if (!TryEncodeSystemText(Arguments[Index], Encoded[Index], ErrorCode))
				{
					return Fail(L"Failed to create process", ErrorCode, OutErrorCode);
				}
			}

			// As with CreateProcess, a relative program path is taken from our own
			// current folder, not from the child's working directory. A bare name
			// is looked up in PATH, as a Linux user expects.
			std::string Program = Encoded[0];
			if (Program.find('/') != std::string::npos && Program[0] != '/')
			{
				std::error_code Error;
				const std::filesystem::path Absolute = std::filesystem::absolute(Program, Error);
				if (Error)
				{
					return Fail(L"Failed to create process", static_cast<uint32_t>(Error.value()), OutErrorCode);
				}
				Program = Absolute.native();
			}

			std::string Directory;
			if (WorkingDirectory.has_value())
			{
				int ErrorCode = 0;
				if (!TryEncodeSystemText(*WorkingDirectory, Directory, ErrorCode))
				{
					return Fail(L"Failed to create process", ErrorCode, OutErrorCode);
				}
			}

			FSpawnSetup Setup;
			if (!Setup.IsMade())
			{
				return Fail(L"Failed to create process", ENOMEM, OutErrorCode);
			}
			// An ignored signal stays ignored across exec: every child gets back the
			// default actions of the two our programs ignore for themselves
			// (app/linux/LinuxInheritedState.cpp), as a game expects them.
			// Breakaway: a session of its own, so neither the session's group nor
			// the terminal's signals (Ctrl+C) reach the child. One call sets both
			// flags: a second would replace the first's.
			sigset_t DefaultSignals;
			sigemptyset(&DefaultSignals);
			sigaddset(&DefaultSignals, SIGPIPE);
			sigaddset(&DefaultSignals, SIGXFSZ);
			const short Flags = POSIX_SPAWN_SETSIGDEF | (bBreakaway ? POSIX_SPAWN_SETSID : 0);
			if (const int Result = ::posix_spawnattr_setsigdefault(&Setup.Attributes, &DefaultSignals); Result != 0)
			{
				return Fail(L"Failed to create process", static_cast<uint32_t>(Result), OutErrorCode);
			}
			if (const int Result = ::posix_spawnattr_setflags(&Setup.Attributes, Flags); Result != 0)
			{
				return Fail(L"Failed to create process", static_cast<uint32_t>(Result), OutErrorCode);
			}
			// Nor does a breakaway child hold our standard streams: a service it
			// leaves running would keep a caller's pipe open (launcher | cat) long
			// after we ended. On Windows it inherits no handles either.
			if (bBreakaway)
			{
				for (const int Descriptor : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
				{
					const int Mode = Descriptor == STDIN_FILENO ? O_RDONLY : O_WRONLY;
					if (const int Result = ::posix_spawn_file_actions_addopen(&Setup.Actions, Descriptor, "/dev/null", Mode, 0);
						Result != 0)
					{
						return Fail(L"Failed to create process", static_cast<uint32_t>(Result), OutErrorCode);
					}
				}
			}
			if (WorkingDirectory.has_value())
			{
				if (const int Result = ::posix_spawn_file_actions_addchdir_np(&Setup.Actions, Directory.c_str()); Result != 0)
				{
					return Fail(L"Failed to create process", static_cast<uint32_t>(Result), OutErrorCode);
				}
			}

			std::vector<char*> Argv;
			Argv.reserve(Encoded.size() + 1);
			for (std::string& Argument : Encoded)
			{
				Argv.push_back(Argument.data());
			}
			Argv.push_back(nullptr);

			// posix_spawn reports a failed exec (missing file, no permission, bad
			// working directory) as its own result, with the child already gone.
			pid_t Pid = 0;
			const int Result = ::posix_spawnp(&Pid, Program.c_str(), &Setup.Actions, &Setup.Attributes, Argv.data(), environ);
			if (Result != 0)
			{
				return Fail(L"Failed to create process", static_cast<uint32_t>(Result), OutErrorCode);
			}
			ProcessId = Pid;
			OutProcessId = static_cast<uint32_t>(Pid);
			return true;
		}

		bool TryWaitForExit(uint32_t& OutExitCode, uint32_t& OutErrorCode) override
		{
			int Status = 0;
			for (;;)
			{
				if (::waitpid(ProcessId, &Status, 0) >= 0)
				{
					break;
				}
				const int ErrorCode = errno;
				if (ErrorCode != EINTR)
				{
					return Fail(L"Failed to wait for process", static_cast<uint32_t>(ErrorCode), OutErrorCode);
				}
			}
			if (WIFEXITED(Status))
			{
				OutExitCode = static_cast<uint32_t>(WEXITSTATUS(Status));
				return true;
			}
			if (WIFSIGNALED(Status))
			{
				// The shell's convention, so scripts read it as they always do.
				OutExitCode = 128u + static_cast<uint32_t>(WTERMSIG(Status));
				return true;
			}
			return Fail(L"Failed to get process exit code", EINVAL, OutErrorCode);
		}

	private:
		static bool Fail(const wchar_t* Message, uint32_t ErrorCode, uint32_t& OutErrorCode)
		{
			OutErrorCode = ErrorCode;
			LogErrorWithErrorCode(Message, ErrorCode);
			return false;
		}

		std::vector<std::wstring> Arguments;
		pid_t ProcessId = 0;
	};
}

bool FLinuxPlatform::TryRunExecutable(const std::wstring& ExecutablePath, const std::optional<std::wstring>& Arguments,
	const std::optional<std::wstring>& WorkingDirectory, bool bBreakaway, bool bWait, uint32_t* OutExitCode)
{
	constexpr const wchar_t* Category = L"FLinuxPlatform::TryRunExecutable";
	return GuardOperation(Category, false, [&]
	{
		FLinuxProcessStarter Starter(FormProcessArguments(ExecutablePath, Arguments));
		return RunProcess(Category, Starter, ExecutablePath, Arguments, WorkingDirectory, bBreakaway, bWait, OutExitCode);
	});
}

bool FLinuxPlatform::TrySetEnvironmentVariable(const std::wstring& Name, const std::wstring& Value)
{
	constexpr const wchar_t* Category = L"FLinuxPlatform::TrySetEnvironmentVariable";
	return GuardOperation(Category, false, [&]
	{
		Log(ELogLevel::Verbose, Category, L"Trying to set environment variable: '%s=%s'", Name, Value);
		std::string EncodedName;
		std::string EncodedValue;
		int ErrorCode = 0;
		if (TryEncodeSystemText(Name, EncodedName, ErrorCode) && TryEncodeSystemText(Value, EncodedValue, ErrorCode))
		{
			if (::setenv(EncodedName.c_str(), EncodedValue.c_str(), 1) == 0)
			{
				Log(ELogLevel::Verbose, Category, L"Successfully set environment variable: '%s=%s'", Name, Value);
				return true;
			}
			ErrorCode = errno;
		}
		LogErrorWithErrorCode(FormatString(L"Failed to set environment variable: '%s=%s'", Name, Value),
			static_cast<uint32_t>(ErrorCode));
		return false;
	});
}

void FLinuxPlatform::DeleteEnvironmentVariable(const std::wstring& Name)
{
	Log(ELogLevel::Verbose, L"FLinuxPlatform::DeleteEnvironmentVariable", L"'%s'", Name);
	std::string EncodedName;
	int ErrorCode = 0;
	// Whether the variable existed does not matter to anyone; a name that
	// cannot be a variable's name is not set either.
	if (TryEncodeSystemText(Name, EncodedName, ErrorCode))
	{
		::unsetenv(EncodedName.c_str());
	}
}
