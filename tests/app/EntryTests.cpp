#include "app/Entry.h"

#include "app/Log.h"
#include "app/ProductInfo.h"
#include "configure/CommandLine.h"
#include "tests/support/TestBootstrapper.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

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
