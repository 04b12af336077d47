// What Linux does its own way.
#include "tests/platform/PlatformTests.h"
#include "tests/support/linux/PseudoTerminal.h"

#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

using LinuxPlatform = FNativePlatformTest;

TEST_F(LinuxPlatform, FailedWaitIsAFailureBareNamesComeFromPathAndRelativePathsFromOurFolder)
{
	// With SIGCHLD ignored the kernel reaps children itself and waitpid fails with ECHILD.
	struct sigaction Ignore{}, Previous{};
	Ignore.sa_handler = SIG_IGN;
	ASSERT_EQ(::sigaction(SIGCHLD, &Ignore, &Previous), 0);
	uint32_t ExitCode = 0;
	const bool bResult = Platform->TryRunExecutable(ReportHelper, std::wstring(L"0"), std::nullopt, false, true, &ExitCode);
	::sigaction(SIGCHLD, &Previous, nullptr);
	EXPECT_FALSE(bResult);
	EXPECT_EQ(ExitCode, static_cast<uint32_t>(ECHILD));
	EXPECT_TRUE(HasPrefix(Capture, ELogLevel::Error, ErrorCategory, L"Failed to wait for process: ErrorCode=0xA (10), ErrorMessage="))
		<< Capture.Dump();

	ASSERT_TRUE(Platform->TryRunExecutable(L"true", std::nullopt, std::nullopt, false, true, &ExitCode)) << Capture.Dump();
	EXPECT_EQ(ExitCode, 0u);

	// "./helper" means the helper next to us, although the child works elsewhere.
	const std::filesystem::path SavedFolder = std::filesystem::current_path();
	std::filesystem::current_path(HelperFolder);
	const FScopedVariable Ending(L"KVT_REPORT_EXIT_CODE", L"4");
	const bool bStarted = Platform->TryRunExecutable(L"./" + ToWide(ToPath(ReportHelper).filename()), std::nullopt,
		Directory.Wide(), false, true, &ExitCode);
	std::filesystem::current_path(SavedFolder);
	EXPECT_TRUE(bStarted) << Capture.Dump();
	EXPECT_EQ(ExitCode, 4u);
}

TEST_F(LinuxPlatform, ConsoleWidthComesFromTheTerminalOnStandardOutput)
{
	std::string TerminalPath;
	const FScopedFileDescriptor Master = OpenPseudoTerminal(TerminalPath);
	ASSERT_TRUE(Master);
	const FScopedFileDescriptor Slave(::open(TerminalPath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
	const FScopedFileDescriptor NoTerminal(::open("/dev/null", O_WRONLY | O_CLOEXEC));
	// A terminal 120 wide, one whose size was never set, and no terminal at all.
	const std::tuple<int, unsigned short, uint32_t, std::wstring> Cases[] = {{Slave.Get(), 120, 120, L""},
		{Slave.Get(), 0, 77, L"Failed to get console width: Unknown reason"},
		{NoTerminal.Get(), 0, 77, L"Failed to get console width: ErrorCode=0x19 (25), ErrorMessage="}};
	for (const auto& [Descriptor, Columns, Expected, Error] : Cases)
	{
		struct winsize Size{};
		Size.ws_col = Columns;
		ASSERT_EQ(::ioctl(Slave.Get(), TIOCSWINSZ, &Size), 0);
		std::fflush(stdout);
		const FScopedFileDescriptor Saved(::dup(STDOUT_FILENO));
		::dup2(Descriptor, STDOUT_FILENO);
		uint32_t Width = 77;
		const bool bResult = Platform->TryGetConsoleWidth(Width);
		::dup2(Saved.Get(), STDOUT_FILENO);
		EXPECT_EQ(Width, Expected);
		EXPECT_EQ(bResult, Error.empty());
		EXPECT_TRUE(Error.empty() || HasPrefix(Capture, ELogLevel::Error, ErrorCategory, Error)) << Capture.Dump();
	}
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 2u) << Capture.Dump();
}

// Whole files are written anew and renamed into place, so the permission bits
// and links are what the new file is given, never what a temporary file had.
TEST_F(LinuxPlatform, FileReplaceKeepsPermissionBitsAndLinksAndLeavesNothingBeside)
{
	const std::filesystem::path& Root = Directory.Path();
	const mode_t PreviousMask = ::umask(027);
	// A configuration keeps the bits it had; a new one gets 0666 less the umask;
	// a launcher is runnable by all, whatever it replaced and the umask.
	WriteFileBytes(Root / "kept.ini", "old");
	std::filesystem::permissions(Root / "kept.ini", static_cast<std::filesystem::perms>(0604));
	WriteFileBytes(Root / "launcher", "old");
	std::filesystem::permissions(Root / "launcher", static_cast<std::filesystem::perms>(0600));
	EXPECT_TRUE(Platform->TryWriteFile(Directory.Wide(L"kept.ini"), L"new\n", false, true));
	EXPECT_TRUE(Platform->TryWriteFile(Directory.Wide(L"new.ini"), L"new\n", false, true));
	EXPECT_TRUE(Platform->TryWriteFile(Directory.Wide(L"launcher"), std::vector<uint8_t>{'n', 'e', 'w'}));
	::umask(PreviousMask);
	const auto Mode = [&](const char* Name) { return static_cast<unsigned>(std::filesystem::status(Root / Name).permissions()); };
	EXPECT_EQ(Mode("kept.ini"), 0604u);
	EXPECT_EQ(Mode("new.ini"), 0640u);
	EXPECT_EQ(Mode("launcher"), 0755u);
	EXPECT_EQ(ReadFileBytes(Root / "launcher"), "new");

	// A link stays a link; the file it names (through a chain of two) gets the bytes.
	std::filesystem::create_directory(Root / "real");
	WriteFileBytes(Root / "real" / "Game.ini", "old");
	std::filesystem::create_symlink("real/Game.ini", Root / "middle.ini");
	std::filesystem::create_symlink(Root / "middle.ini", Root / "link.ini");
	ASSERT_TRUE(Platform->TryWriteFile(Directory.Wide(L"link.ini"), L"through the link\n", false, true));
	EXPECT_TRUE(std::filesystem::is_symlink(Root / "link.ini") && std::filesystem::is_symlink(Root / "middle.ini"));
	EXPECT_EQ(ReadFileBytes(Root / "real" / "Game.ini"), "through the link\n");
	// No temporary file is left beside the seven entries made here.
	EXPECT_EQ(std::distance(std::filesystem::recursive_directory_iterator(Root), {}), 7);
}
