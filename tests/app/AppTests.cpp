#include "app/Entry.h"

#include "app/Log.h"
#include "app/ProductInfo.h"
#include "platform/Utf8.h"
#include "tests/support/LogCapture.h"
#include "tests/support/ScopedVariable.h"
#include "tests/support/TestBootstrapper.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#ifndef _WIN32
#include "platform/linux/LinuxHandles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace
{
	// Logs what the entry handed it and returns its result.
	class FScriptedBootstrapper : public FTestBootstrapper
	{
	public:
		explicit FScriptedBootstrapper(int32_t InResult)
			: FTestBootstrapper(std::make_shared<FCommandLine>(L"program.exe --ignored"), MakeNativePlatform(), nullptr)
			, Result(InResult)
		{
		}

		int32_t Bootstrap(const std::wstring& ProductName, const std::wstring& VersionTag) override
		{
			Log(ELogLevel::Info, L"Test::Bootstrap", L"%s %s [%s] \u00E9\u4E2D", ProductName, VersionTag,
				GetCommandLine()->GetText());
			return Result;
		}

	private:
		int32_t Result;
	};

	// One entry run with the scripted application and the log at LogPath (none when empty).
	int32_t RunEntry(const std::wstring& LogPath, int32_t Result, const std::wstring& Arguments,
		std::vector<std::wstring>* DebugOutput = nullptr)
	{
		FEntryEnvironment Environment;
		Environment.WriteDebugOutput = [DebugOutput](const std::wstring& Text)
		{
			if (DebugOutput != nullptr)
			{
				DebugOutput->push_back(Text);
			}
		};
		Environment.TryGetLogFilePath = [LogPath](std::wstring& OutPath)
		{
			OutPath = LogPath;
			return !LogPath.empty();
		};
		Environment.CreateApplication = [Result]() -> std::unique_ptr<IBootstrapper>
		{ return std::make_unique<FScriptedBootstrapper>(Result); };
		return RunBootstrapperEntry(Environment, Arguments);
	}
}

TEST(Entry, RunsBootstrapAndKeepsOnlyTheLastRunsLinesInTheLog)
{
	FTempDirectory Directory;
	std::vector<std::wstring> DebugOutput;
	const auto Run = [&](const std::wstring& LogPath, int32_t Result, const std::wstring& Arguments)
	{ return RunEntry(LogPath, Result, Arguments, &DebugOutput); };
	// The log's folders are made on the way.
	const std::wstring LogPath = Directory.Wide(L"Local/Zorvan Games/Logs/KVTBootstrapper.log");
	Run(LogPath, 0, L"first run");
	DebugOutput.clear();
	EXPECT_EQ(Run(LogPath, -1073741819, L"-x \"a b\""), -1073741819);
	// The sink is gone once the entry returns.
	EXPECT_FALSE(static_cast<bool>(GetLogSink()));
	ASSERT_EQ(DebugOutput.size(), 1u);
	const std::wstring Line = DebugOutput[0].substr(0, DebugOutput[0].size() - 1);
	EXPECT_EQ(Line.substr(25), L" [Info] [Test::Bootstrap] Zorvan Online Services Bootstrapper " + std::wstring(VersionTag) +
		L" [-x \"a b\"] \u00E9\u4E2D");
	// The log holds the same line alone, UTF-8 without a byte-order mark.
	const std::string Bytes = ReadFileBytes(ToPath(LogPath));
	EXPECT_EQ(Bytes, EncodeUtf8Lossless(Line) + DiskLineEnd());

	// Without a log path the run still happens and leaves the earlier log alone.
	EXPECT_EQ(Run(L"", 7, L"x"), 7);
	EXPECT_EQ(DebugOutput.size(), 2u);
	EXPECT_EQ(ReadFileBytes(ToPath(LogPath)), Bytes);
}

#ifndef _WIN32
// Something other than a file where the log belongs (a FIFO here) costs the
// log, never the run: with no reader it must not block the launcher, and with
// one no line goes into it.
TEST(Entry, RunsWithoutALogWhereTheLogsPlaceIsNoFile)
{
	FTempDirectory Directory;
	const std::wstring LogPath = Directory.Wide(L"KVTBootstrapper.log");
	ASSERT_EQ(::mkfifo(ToPath(LogPath).c_str(), 0600), 0);
	EXPECT_EQ(RunEntry(LogPath, 7, L""), 7);
	const FScopedFileDescriptor Reader(::open(ToPath(LogPath).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
	ASSERT_TRUE(Reader);
	EXPECT_EQ(RunEntry(LogPath, 8, L""), 8);
	char Byte = 0;
	EXPECT_LE(::read(Reader.Get(), &Byte, 1), 0) << "a log line went into the FIFO";
}
#endif

TEST(LogSink, FollowsThePathAndTriesAgainAfterAFailure)
{
	FTempDirectory Directory;
	const std::wstring First = Directory.Wide(L"first.log");
	const std::wstring Second = Directory.Wide(L"later/second.log");
	InstallLogSink(nullptr);

	GetLogFilePath() = First;
	Log(ELogLevel::Info, L"Test", L"one");
	// A folder that is not there yet: the line is lost, the sink stays usable.
	GetLogFilePath() = Second;
	Log(ELogLevel::Info, L"Test", L"lost");
	std::filesystem::create_directories(ToPath(Directory.Wide(L"later")));
	Log(ELogLevel::Info, L"Test", L"two");
#ifndef _WIN32
	// The log stays open between lines; the User Helper and the game must not
	// inherit it (they would hold the launcher's log for as long as they run).
	int Flags = -1;
	for (const auto& Entry : std::filesystem::directory_iterator("/proc/self/fd"))
	{
		std::error_code Error;
		if (std::filesystem::read_symlink(Entry.path(), Error) == ToPath(Second))
		{
			Flags = ::fcntl(std::stoi(Entry.path().filename().string()), F_GETFD);
		}
	}
	EXPECT_TRUE(Flags != -1 && (Flags & FD_CLOEXEC)) << "the log file is not held open, or children inherit it";
#endif

	GetLogSink() = nullptr;
	GetLogFilePath().clear();
	const std::string FirstLog = ReadFileBytes(ToPath(First));
	const std::string SecondLog = ReadFileBytes(ToPath(Second));
	EXPECT_NE(FirstLog.find("] one" + DiskLineEnd()), std::string::npos) << FirstLog;
	EXPECT_NE(SecondLog.find("] two" + DiskLineEnd()), std::string::npos) << SecondLog;
}

// The log lies below the system's folder for application state (the end-to-end
// runs read it there); what is left to show is where Linux looks without it.
#ifndef _WIN32
#include "app/linux/LinuxEntryEnvironment.h"

TEST(LogPath, WithoutTheStateFolderTheHomeFolderOrNothing)
{
	FScopedVariable Home(L"HOME", L"/srv/player");
	// A relative value is invalid in the XDG rules and ignored.
	FScopedVariable State(L"XDG_STATE_HOME", L"relative/state");
	std::wstring Path;
	ASSERT_TRUE(TryGetLinuxLogFilePath(Path));
	EXPECT_EQ(Path, L"/srv/player/.local/state/Zorvan Games/Zorvan Online Services/Bootstrapper/Logs/KVTBootstrapper.log");

	FScopedVariable NoState(L"XDG_STATE_HOME", std::nullopt);
	FScopedVariable NoHome(L"HOME", std::nullopt);
	EXPECT_FALSE(TryGetLinuxLogFilePath(Path));
}

// Each byte outside UTF-8, an encoded surrogate's three among them, stands for itself
// as one of U+DC80 to U+DCFF, so that the argument goes on to the game unchanged.
TEST(LinuxEntry, ProgramArgumentsKeepTheBytesThatAreNoUtf8)
{
	char First[] = "prog";
	char Second[] = "\xC3\xA9t\xC3";
	char Third[] = "\xED\xB3\xA9";
	char* Arguments[] = {First, Second, Third};
	EXPECT_EQ(DecodeProgramArguments(3, Arguments), (std::vector<std::wstring>{L"prog", L"\u00E9t\xDCC3", L"\xDCED\xDCB3\xDCA9"}));
}
#endif

TEST(FormatString, WideStringsAndTheIntegerConversionsOfTheProduct)
{
	const std::pair<std::wstring, std::wstring> Cases[] = {
		{FormatString(L"'%s' %s.", std::wstring(L"C:\\Games\\\u00D6dland"), L"Product"), L"'C:\\Games\\\u00D6dland' Product."},
		{FormatString(L"(%i/%i) %d %Xh %08x-%04x %u", 1, 10, -5, 0xC0000005u, 0x123ABCDu, 0xEF01u, 4000000000u),
			L"(1/10) -5 C0000005h 0123abcd-ef01 4000000000"},
		// Only unmodified string and character conversions take the wide length.
		{TranslateFormat(L"%s|%-8s|%ls|%%s|%c|%5.2f|%i"), L"%ls|%-8ls|%ls|%%s|%lc|%5.2f|%i"},
		{TranslateFormat(L"trailing %"), L"trailing %"},
	};
	for (const auto& [Result, Expected] : Cases)
	{
		EXPECT_EQ(Result, Expected);
	}
}

TEST(Log, LineLayoutAndZeroPaddedMilliseconds)
{
	// Ticks of a local wall-clock time on 2024-03-07, so the expected text holds
	// in every time zone.
	static int64_t Ticks = 0;
	const auto SetTime = [](int Hour, int Minute, int Second, int Milliseconds)
	{
		std::tm Local{};
		Local.tm_year = 2024 - 1900;
		Local.tm_mon = 2;
		Local.tm_mday = 7;
		Local.tm_hour = Hour;
		Local.tm_min = Minute;
		Local.tm_sec = Second;
		Local.tm_isdst = -1;
		Ticks = static_cast<int64_t>(std::mktime(&Local)) * 10000000 + Milliseconds * 10000 + 1234;
	};
	SetLogClockForTesting([] { return Ticks; });
	FLogCapture Capture;
	SetTime(14, 5, 9, 42);
	Log(ELogLevel::Info, L"FGenericBootstrapper::Bootstrap", L"Running the User Helper application. (%i/%i)", 1, 10);
	SetTime(4, 5, 9, 7);
	Log(ELogLevel::Verbose, L"Cat::Op", L"second");
	SetLogClockForTesting(nullptr);

	ASSERT_EQ(Capture.Entries().size(), 2u);
	EXPECT_EQ(Capture.Entries()[0].Line,
		L"[2024-03-07 14:05:09.042] [Info] [FGenericBootstrapper::Bootstrap] Running the User Helper application. (1/10)");
	EXPECT_EQ(Capture.Entries()[1].Line, L"[2024-03-07 04:05:09.007] [Verbose] [Cat::Op] second");
}

// Messages of thousands of characters are not cut.
TEST(Log, OnlyErrorInfoAndNegativeLevelsReachTheStandardOutput)
{
	FLogCapture Capture;
	const std::wstring Long(7000, L'a');
	::testing::internal::CaptureStdout();
	Log(ELogLevel::Error, L"C::E", L"an error %s", L"\u00E4");
	Log(ELogLevel::Info, L"C::I", L"[%s] %i", Long, 42);
	Log(ELogLevel::Verbose, L"C::V", L"a verbose line");
	Log(static_cast<ELogLevel>(3), L"C::U", L"level three");
	Log(static_cast<ELogLevel>(-1), L"C::N", L"level minus one");
	// Without a sink lines still reach the standard output.
	GetLogSink() = nullptr;
	Log(ELogLevel::Info, L"C::O", L"alone");

	// The message alone, UTF-8 encoded, one per line.
	EXPECT_EQ(::testing::internal::GetCapturedStdout(),
		"an error \xC3\xA4\n[" + std::string(Long.size(), 'a') + "] 42\nlevel minus one\nalone\n");
	// Every level reaches the sink.
	ASSERT_EQ(Capture.Entries().size(), 5u);
	EXPECT_NE(Capture.Entries()[3].Line.find(L"] [UnhandledValue] [C::U] level three"), std::wstring::npos);
	EXPECT_NE(Capture.Entries()[4].Line.find(L"] [UnhandledValue] [C::N] level minus one"), std::wstring::npos);
}
