#include "app/Entry.h"

#include "app/Log.h"
#include "app/ProductInfo.h"
#include "configure/CommandLine.h"
#include "tests/support/LogCapture.h"
#include "tests/support/ScopedVariable.h"
#include "tests/support/TestBootstrapper.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <regex>

#ifndef _WIN32
#include <fcntl.h>
#endif

namespace
{
	// Logs its message, then what the entry handed it, and returns its result.
	class FScriptedBootstrapper : public FTestBootstrapper
	{
	public:
		FScriptedBootstrapper(int32_t InResult, std::wstring InMessage)
			: FTestBootstrapper(std::make_shared<FCommandLine>(L"program.exe --ignored"), MakeNativePlatform(), nullptr)
			, Result(InResult), Message(std::move(InMessage))
		{
		}

		int32_t Bootstrap(const std::wstring& ProductName, const std::wstring& VersionTag) override
		{
			Log(ELogLevel::Info, L"Test::Bootstrap", L"%s", Message);
			Log(ELogLevel::Verbose, L"Test::Bootstrap", L"%s %s [%s]", ProductName, VersionTag, GetCommandLine()->GetText());
			return Result;
		}

	private:
		int32_t Result;
		std::wstring Message;
	};

	class Entry : public ::testing::Test
	{
	protected:
		FTempDirectory Directory;
		std::vector<std::wstring> DebugOutput;

		int32_t Run(const std::wstring& LogPath, int32_t Result, const std::wstring& Message, const std::wstring& Arguments)
		{
			FEntryEnvironment Environment;
			Environment.WriteDebugOutput = [this](const std::wstring& Text) { DebugOutput.push_back(Text); };
			Environment.TryGetLogFilePath = [LogPath](std::wstring& OutPath)
			{
				OutPath = LogPath;
				return !LogPath.empty();
			};
			Environment.CreateApplication = [Result, Message]() -> std::unique_ptr<IBootstrapper>
			{ return std::make_unique<FScriptedBootstrapper>(Result, Message); };
			return RunBootstrapperEntry(Environment, Arguments);
		}
	};
}

TEST_F(Entry, RunsBootstrapAndKeepsOnlyTheLastRunsLinesInTheLog)
{
	// The log's folders are made on the way.
	const std::wstring LogPath = Directory.Wide(L"Local/Zorvan Games/Logs/KVTBootstrapper.log");
	Run(LogPath, 0, L"first run", L"");
	DebugOutput.clear();
	EXPECT_EQ(Run(LogPath, -1073741819, L"second run \u00E9\u4E2D", L"-x \"a b\""), -1073741819);
	// The sink is gone once the entry returns.
	EXPECT_FALSE(static_cast<bool>(GetLogSink()));
	ASSERT_EQ(DebugOutput.size(), 2u);
	EXPECT_EQ(DebugOutput[1].substr(25), L" [Verbose] [Test::Bootstrap] Zorvan Online Services Bootstrapper " +
		std::wstring(VersionTag) + L" [-x \"a b\"]\n");

	// UTF-8 without a byte-order mark, one "[YYYY-MM-DD HH:MM:SS.mmm] [Level] [Category] message" a line.
	const std::string Stamp = R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] )";
	const std::string Bytes = ReadFileBytes(ToPath(LogPath));
	EXPECT_TRUE(std::regex_match(Bytes, std::regex(Stamp + "\\[Info\\] \\[Test::Bootstrap\\] second run \xC3\xA9\xE4\xB8\xAD" +
		DiskLineEnd() + Stamp + "\\[Verbose\\] [^\r\n]+" + DiskLineEnd()))) << Bytes;

	// Without a log path the run still happens and leaves the earlier log alone.
	EXPECT_EQ(Run(L"", 7, L"no file", L"x"), 7);
	EXPECT_EQ(DebugOutput.size(), 4u);
	EXPECT_EQ(ReadFileBytes(ToPath(LogPath)), Bytes);
}

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
	GetLogFilePath() = First;
	Log(ELogLevel::Info, L"Test", L"three");
#ifndef _WIN32
	// The log stays open between lines; the User Helper and the game must not
	// inherit it (they would hold the launcher's log for as long as they run).
	int Flags = -1;
	for (const auto& Entry : std::filesystem::directory_iterator("/proc/self/fd"))
	{
		std::error_code Error;
		if (std::filesystem::read_symlink(Entry.path(), Error) == ToPath(First))
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
	EXPECT_NE(FirstLog.find("] three" + DiskLineEnd()), std::string::npos) << FirstLog;
	EXPECT_EQ(FirstLog.find("two"), std::string::npos) << FirstLog;
	EXPECT_NE(SecondLog.find("] two" + DiskLineEnd()), std::string::npos) << SecondLog;
	EXPECT_EQ(SecondLog.find("lost"), std::string::npos) << SecondLog;
}

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

#endif

TEST(LogPath, LiesBelowTheSystemsFolderForApplicationState)
{
	FScopedVariable Variable(BaseVariable, Base);
	std::wstring Path;
	ASSERT_TRUE(TryGetLogPath(Path));
	EXPECT_EQ(Path, Base + Below);
}

TEST(FormatString, WideStringsAndTheIntegerConversionsOfTheProduct)
{
	const std::pair<std::wstring, std::wstring> Cases[] = {
		{FormatString(L"Reading config file: '%s'.", std::wstring(L"C:\\Games\\\u00D6dland\\App.exe")),
			L"Reading config file: 'C:\\Games\\\u00D6dland\\App.exe'."},
		{FormatString(L"Started %s %s.", L"Product", std::wstring(L"++KVTSDK+Release-2.0-CL-1")),
			L"Started Product ++KVTSDK+Release-2.0-CL-1."},
		{FormatString(L"(%i/%i) %d", 1, 10, -5), L"(1/10) -5"},
		{FormatString(L"%Xh", 0xC0000005u), L"C0000005h"},
		{FormatString(L"%03i", 7), L"007"},
		{FormatString(L"%08x-%04x", 0x123ABCDu, 0xEF01u), L"0123abcd-ef01"},
		{FormatString(L"100%% of %s", L"it"), L"100% of it"},
		{FormatString(L"no arguments"), L"no arguments"},
		// Only unmodified string and character conversions take the wide length.
		{TranslateFormat(L"%s|%-8s|%ls|%%s|%c|%5.2f|%i"), L"%ls|%-8ls|%ls|%%s|%lc|%5.2f|%i"},
		{TranslateFormat(L"trailing %"), L"trailing %"},
	};
	for (const auto& [Result, Expected] : Cases)
	{
		EXPECT_EQ(Result, Expected);
	}
}

namespace
{
	int64_t GFixedTicks = 0;

	class LogTest : public ::testing::Test
	{
	protected:
		void SetUp() override { SetLogClockForTesting([] { return GFixedTicks; }); }
		void TearDown() override { SetLogClockForTesting(nullptr); }

		// Ticks of a local wall-clock time, so the expected text holds in every time zone.
		static int64_t LocalTicks(int Hour, int Minute, int Second, int Milliseconds)
		{
			// 2024-03-07, in the member order both C libraries declare.
			std::tm Local{Second, Minute, Hour, 7, 2, 2024 - 1900, 0, 0, -1};
			return static_cast<int64_t>(std::mktime(&Local)) * 10000000 + Milliseconds * 10000 + 1234;
		}

		FLogCapture Capture;
	};
}

TEST_F(LogTest, LineLayoutAndZeroPaddedMilliseconds)
{
	GFixedTicks = LocalTicks(14, 5, 9, 42);
	Log(ELogLevel::Info, L"FGenericBootstrapper::Bootstrap", L"Running the User Helper application. (%i/%i)", 1, 10);
	GFixedTicks = LocalTicks(4, 5, 9, 7);
	Log(ELogLevel::Verbose, L"Cat::Op", L"second");

	ASSERT_EQ(Capture.Entries().size(), 2u);
	EXPECT_EQ(Capture.Entries()[0].Line,
		L"[2024-03-07 14:05:09.042] [Info] [FGenericBootstrapper::Bootstrap] Running the User Helper application. (1/10)");
	EXPECT_EQ(Capture.Entries()[0].Message, L"Running the User Helper application. (1/10)");
	EXPECT_EQ(Capture.Entries()[1].Line, L"[2024-03-07 04:05:09.007] [Verbose] [Cat::Op] second");
}

TEST_F(LogTest, OnlyErrorInfoAndNegativeLevelsReachTheStandardOutput)
{
	::testing::internal::CaptureStdout();
	Log(ELogLevel::Error, L"C::E", L"an error %s", L"\u00E4");
	Log(ELogLevel::Info, L"C::I", L"an info");
	Log(ELogLevel::Verbose, L"C::V", L"a verbose line");
	Log(static_cast<ELogLevel>(3), L"C::U", L"level three");
	Log(static_cast<ELogLevel>(-1), L"C::N", L"level minus one");
	// Without a sink lines still reach the standard output.
	GetLogSink() = nullptr;
	Log(ELogLevel::Info, L"C::O", L"alone");

	// The message alone, UTF-8 encoded, one per line.
	EXPECT_EQ(::testing::internal::GetCapturedStdout(), "an error \xC3\xA4\nan info\nlevel minus one\nalone\n");
	// Every level reaches the sink.
	ASSERT_EQ(Capture.Entries().size(), 5u);
	EXPECT_NE(Capture.Entries()[3].Line.find(L"] [UnhandledValue] [C::U] level three"), std::wstring::npos);
	EXPECT_NE(Capture.Entries()[4].Line.find(L"] [UnhandledValue] [C::N] level minus one"), std::wstring::npos);
}

TEST_F(LogTest, MessagesOfThousandsOfCharactersAreNotCut)
{
	const std::wstring Long(7000, L'a');
	::testing::internal::CaptureStdout();
	Log(ELogLevel::Info, L"C::O", L"[%s] %i", Long, 42);
	const std::string Output = ::testing::internal::GetCapturedStdout();
	ASSERT_EQ(Capture.Entries().size(), 1u);
	EXPECT_EQ(Capture.Entries()[0].Message, L"[" + Long + L"] 42");
	EXPECT_EQ(Output, "[" + std::string(Long.size(), 'a') + "] 42\n");
}
