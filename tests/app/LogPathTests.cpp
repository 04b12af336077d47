#include "app/Log.h"
#include "tests/support/ScopedVariable.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

// Each system takes the log's folder from its own variable; the folders below it are the same.
#ifdef _WIN32
#include "app/windows/WindowsEntryEnvironment.h"

namespace
{
	const wchar_t* const BaseVariable = L"LOCALAPPDATA";
	const std::wstring Base = L"C:\\Users\\\u00E9";
	const std::wstring Below = L"\\Zorvan Games\\Zorvan Online Services\\Bootstrapper\\Logs\\KVTBootstrapper.log";
	bool TryGetLogPath(std::wstring& OutPath) { return TryExpandLogFilePath(LogFilePathTemplate, OutPath); }
}

TEST(LogPath, AnUndefinedVariableStaysAsWritten)
{
	FScopedVariable Variable(BaseVariable, std::nullopt);
	std::wstring Path;
	ASSERT_TRUE(TryGetLogPath(Path));
	EXPECT_EQ(Path, L"%LOCALAPPDATA%" + Below);
}
#else
#include "app/linux/LinuxEntryEnvironment.h"

#include <fcntl.h>

namespace
{
	const wchar_t* const BaseVariable = L"XDG_STATE_HOME";
	const std::wstring Base = L"/var/state/\u00E9";
	const std::wstring Below = L"/Zorvan Games/Zorvan Online Services/Bootstrapper/Logs/KVTBootstrapper.log";
	bool TryGetLogPath(std::wstring& OutPath) { return TryGetLinuxLogFilePath(OutPath); }
}

TEST(LogPath, WithoutTheStateFolderTheHomeFolderOrNothing)
{
	FScopedVariable Home(L"HOME", L"/srv/player");
	// A relative value is invalid in the XDG rules and ignored.
	FScopedVariable State(BaseVariable, L"relative/state");
	std::wstring Path;
	ASSERT_TRUE(TryGetLogPath(Path));
	EXPECT_EQ(Path, L"/srv/player/.local/state" + Below);

	FScopedVariable NoState(BaseVariable, std::nullopt);
	FScopedVariable NoHome(L"HOME", std::nullopt);
	EXPECT_FALSE(TryGetLogPath(Path));
}

TEST(LogPath, ProgramArgumentsDecodeWithoutThrowing)
{
	char First[] = "prog";
	char Second[] = "\xC3\xA9t\xC3";
	char* Arguments[] = {First, Second};
	EXPECT_EQ(DecodeProgramArguments(2, Arguments), (std::vector<std::wstring>{L"prog", L"\u00E9t\uFFFD"}));
}

// The log stays open between lines; the User Helper and the game must not
// inherit it (they would hold the launcher's log for as long as they run).
TEST(LogPath, TheOpenLogIsClosedOnExec)
{
	FTempDirectory Directory;
	const std::filesystem::path Path = Directory.Path() / "held.log";
	InstallLogSink(nullptr);
	GetLogFilePath() = ToWide(Path);
	Log(ELogLevel::Info, L"Test", L"a line");

	int Flags = -1;
	for (const auto& Entry : std::filesystem::directory_iterator("/proc/self/fd"))
	{
		std::error_code Error;
		if (std::filesystem::read_symlink(Entry.path(), Error) == Path)
		{
			Flags = ::fcntl(std::stoi(Entry.path().filename().string()), F_GETFD);
		}
	}
	GetLogSink() = nullptr;
	GetLogFilePath().clear();
	ASSERT_NE(Flags, -1) << "the log file is not held open";
	EXPECT_TRUE(Flags & FD_CLOEXEC);
}
#endif

TEST(LogPath, LiesBelowTheSystemsFolderForApplicationState)
{
	FScopedVariable Variable(BaseVariable, Base);
	std::wstring Path;
	ASSERT_TRUE(TryGetLogPath(Path));
	EXPECT_EQ(Path, Base + Below);
}
