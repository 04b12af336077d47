#include "app/Entry.h"
#include "app/Log.h"
#include "app/linux/LinuxEntryEnvironment.h"
#include "tests/support/ScopedVariable.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <fcntl.h>

namespace
{
	const std::wstring Tail = L"/Zorvan Games/Zorvan Online Services/Bootstrapper/Logs/KVTBootstrapper.log";
}

TEST(LinuxLogPath, StateHomeFirstThenHomeThenNothing)
{
	FScopedVariable Home(L"HOME", L"/srv/player");
	{
		FScopedVariable State(L"XDG_STATE_HOME", L"/var/state/\u00E9");
		std::wstring Path;
		ASSERT_TRUE(TryGetLinuxLogFilePath(Path));
		EXPECT_EQ(Path, L"/var/state/\u00E9" + Tail);
	}
	{
		// A relative value is invalid in the XDG rules and ignored.
		FScopedVariable State(L"XDG_STATE_HOME", L"relative/state");
		std::wstring Path;
		ASSERT_TRUE(TryGetLinuxLogFilePath(Path));
		EXPECT_EQ(Path, L"/srv/player/.local/state" + Tail);
	}
	{
		FScopedVariable State(L"XDG_STATE_HOME", std::nullopt);
		FScopedVariable NoHome(L"HOME", std::nullopt);
		std::wstring Path = L"junk";
		EXPECT_FALSE(TryGetLinuxLogFilePath(Path));
	}
}

TEST(LinuxLogPath, ProgramArgumentsDecodeWithoutThrowing)
{
	char First[] = "prog";
	char Second[] = "\xC3\xA9t\xC3";
	char* Arguments[] = {First, Second};
	const std::vector<std::wstring> Decoded = DecodeProgramArguments(2, Arguments);
	ASSERT_EQ(Decoded.size(), 2u);
	EXPECT_EQ(Decoded[1], L"\u00E9t\uFFFD");
}

// The log stays open between lines; the User Helper and the game must not
// inherit it (they would hold the launcher's log for as long as they run).
TEST(LinuxLogPath, TheOpenLogIsClosedOnExec)
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
