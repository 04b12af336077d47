#include "app/Entry.h"

#include "app/Log.h"
#include "app/ProductInfo.h"
#include "configure/CommandLine.h"
#include "tests/support/TestBootstrapper.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace
{
	struct FRunRecord
	{
		std::wstring ProductName;
		std::wstring VersionTag;
		std::wstring ArgumentText;
		int Runs = 0;
	};

	class FScriptedBootstrapper : public FTestBootstrapper
	{
	public:
		FScriptedBootstrapper(FRunRecord& InRecord, int32_t InResult, std::wstring InMessage)
			: FTestBootstrapper(std::make_shared<FCommandLine>(L"program.exe --ignored"), MakeNativePlatform(), nullptr)
			, Record(InRecord), Result(InResult), Message(std::move(InMessage))
		{
		}

		int32_t Bootstrap(const std::wstring& ProductName, const std::wstring& VersionTag) override
		{
			Record.ProductName = ProductName;
			Record.VersionTag = VersionTag;
			Record.ArgumentText = GetCommandLine()->GetText();
			++Record.Runs;
			Log(ELogLevel::Info, L"Test::Bootstrap", L"%s", Message);
			Log(ELogLevel::Verbose, L"Test::Bootstrap", L"second line");
			return Result;
		}

		// The configure sequence must never run from this entry.
		int32_t Configure(const std::wstring&, const std::wstring&) override
		{
			ADD_FAILURE() << "Configure called from the entry";
			return 99;
		}

	private:
		FRunRecord& Record;
		int32_t Result;
		std::wstring Message;
	};

	FEntryEnvironment MakeEnvironment(FRunRecord& Record, const std::wstring& LogPath, int32_t Result,
		const std::wstring& Message, std::vector<std::wstring>* DebugOutput = nullptr)
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
		Environment.CreateApplication = [&Record, Result, Message]() -> std::unique_ptr<IBootstrapper>
		{ return std::make_unique<FScriptedBootstrapper>(Record, Result, Message); };
		return Environment;
	}

	std::vector<std::string> SplitLines(const std::string& Text, const std::string& LineEnd)
	{
		std::vector<std::string> Lines;
		size_t Start = 0;
		for (size_t End; (End = Text.find(LineEnd, Start)) != std::string::npos; Start = End + LineEnd.size())
		{
			Lines.push_back(Text.substr(Start, End - Start));
		}
		EXPECT_EQ(Start, Text.size()) << "the file does not end with a line end";
		return Lines;
	}
}

TEST(Entry, RunsBootstrapWithTheArgumentTextAndReturnsItsResult)
{
	FTempDirectory Directory;
	FRunRecord Record;
	std::vector<std::wstring> DebugOutput;
	const int32_t Result = RunBootstrapperEntry(
		MakeEnvironment(Record, Directory.Wide(L"log.txt"), -1073741819, L"hello", &DebugOutput),
		L"-o \"a b\" --configure");

	EXPECT_EQ(Result, -1073741819);
	EXPECT_EQ(Record.Runs, 1);
	EXPECT_EQ(Record.ProductName, L"Zorvan Online Services Bootstrapper");
	EXPECT_EQ(Record.VersionTag, std::wstring(VersionTag));
	EXPECT_EQ(Record.ArgumentText, L"-o \"a b\" --configure");
	ASSERT_EQ(DebugOutput.size(), 2u);
	EXPECT_EQ(DebugOutput[0].back(), L'\n');
	EXPECT_NE(DebugOutput[0].find(L"] [Info] [Test::Bootstrap] hello\n"), std::wstring::npos);
	// The sink is gone once the entry returns.
	EXPECT_FALSE(static_cast<bool>(GetLogSink()));
}

TEST(Entry, CreatesTheLogFolderAndKeepsOnlyTheLastRunInUtf8)
{
	FTempDirectory Directory;
	const std::wstring LogPath = Directory.Wide(L"Local/Zorvan Games/Logs/KVTBootstrapper.log");
	FRunRecord Record;

	RunBootstrapperEntry(MakeEnvironment(Record, LogPath, 0, L"first run"), L"");
	RunBootstrapperEntry(MakeEnvironment(Record, LogPath, 0, L"second run \u00E9\u4E2D"), L"");

	const std::string Bytes = ReadFileBytes(ToPath(LogPath));
	const std::vector<std::string> Lines = SplitLines(Bytes, DiskLineEnd());
	ASSERT_EQ(Lines.size(), 2u) << Bytes;
	EXPECT_EQ(Lines[0].find("first run"), std::string::npos);
	// [YYYY-MM-DD HH:MM:SS.mmm] [Info] [Test::Bootstrap] message
	ASSERT_GE(Lines[0].size(), 26u);
	EXPECT_EQ(Lines[0][0], '[') << "the file starts with the first line, no byte-order mark";
	EXPECT_EQ(Lines[0][24], ']');
	EXPECT_EQ(Lines[0].substr(25), " [Info] [Test::Bootstrap] second run \xC3\xA9\xE4\xB8\xAD");
	EXPECT_EQ(Lines[1].substr(25), " [Verbose] [Test::Bootstrap] second line");
}

TEST(Entry, WithoutALogPathTheRunStillHappensAndLeavesAnEarlierLogAlone)
{
	FTempDirectory Directory;
	const std::wstring LogPath = Directory.Wide(L"first.log");
	FRunRecord Record;
	RunBootstrapperEntry(MakeEnvironment(Record, LogPath, 0, L"first run"), L"");
	const std::string FirstLog = ReadFileBytes(ToPath(LogPath));

	std::vector<std::wstring> DebugOutput;
	EXPECT_EQ(RunBootstrapperEntry(MakeEnvironment(Record, L"", 7, L"no file", &DebugOutput), L"x"), 7);
	EXPECT_EQ(Record.Runs, 2);
	EXPECT_EQ(DebugOutput.size(), 2u);
	EXPECT_EQ(ReadFileBytes(ToPath(LogPath)), FirstLog) << "the second entry wrote into the first one's log";
}

TEST(Entry, TheLogSinkFollowsThePathAndTriesAgainAfterAFailure)
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
