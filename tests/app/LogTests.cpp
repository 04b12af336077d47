#include "app/Log.h"

#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <ctime>

namespace
{
	// Ticks of a local wall-clock time, so the expected text holds in every time zone.
	int64_t LocalTicks(int Year, int Month, int Day, int Hour, int Minute, int Second, int Milliseconds)
	{
		std::tm Local{};
		Local.tm_year = Year - 1900;
		Local.tm_mon = Month - 1;
		Local.tm_mday = Day;
		Local.tm_hour = Hour;
		Local.tm_min = Minute;
		Local.tm_sec = Second;
		Local.tm_isdst = -1;
		const std::time_t Time = std::mktime(&Local);
		return static_cast<int64_t>(Time) * 10000000 + static_cast<int64_t>(Milliseconds) * 10000 + 1234;
	}

	int64_t GFixedTicks = 0;
	int64_t FixedClock() { return GFixedTicks; }

	class LogTest : public ::testing::Test
	{
	protected:
		void SetUp() override { SetLogClockForTesting(&FixedClock); }
		void TearDown() override { SetLogClockForTesting(nullptr); }
	};
}

TEST_F(LogTest, LineLayoutAndZeroPaddedMilliseconds)
{
	FLogCapture Capture;
	GFixedTicks = LocalTicks(2024, 3, 7, 14, 5, 9, 42);
	Log(ELogLevel::Info, L"FGenericBootstrapper::Bootstrap", L"Running the User Helper application. (%i/%i)", 1, 10);
	GFixedTicks = LocalTicks(2024, 3, 7, 14, 5, 9, 7);
	Log(ELogLevel::Verbose, L"Cat::Op", L"second");

	ASSERT_EQ(Capture.Entries().size(), 2u);
	EXPECT_EQ(Capture.Entries()[0].Line,
		L"[2024-03-07 14:05:09.042] [Info] [FGenericBootstrapper::Bootstrap] Running the User Helper application. (1/10)");
	EXPECT_EQ(Capture.Entries()[0].Message, L"Running the User Helper application. (1/10)");
	EXPECT_EQ(Capture.Entries()[1].Line, L"[2024-03-07 14:05:09.007] [Verbose] [Cat::Op] second");
}

TEST_F(LogTest, OnlyErrorInfoAndNegativeLevelsReachTheStandardOutput)
{
	FLogCapture Capture;
	::testing::internal::CaptureStdout();
	Log(ELogLevel::Error, L"C::E", L"an error %s", L"ä");
	Log(ELogLevel::Info, L"C::I", L"an info");
	Log(ELogLevel::Verbose, L"C::V", L"a verbose line");
	Log(static_cast<ELogLevel>(3), L"C::U", L"level three");
	Log(static_cast<ELogLevel>(-1), L"C::N", L"level minus one");
	const std::string Output = ::testing::internal::GetCapturedStdout();

	// The message alone, UTF-8 encoded, one per line.
	EXPECT_EQ(Output, "an error \xC3\xA4\nan info\nlevel minus one\n");
	// Every level still reaches the sink.
	ASSERT_EQ(Capture.Entries().size(), 5u);
	EXPECT_NE(Capture.Entries()[3].Line.find(L"] [UnhandledValue] [C::U] level three"), std::wstring::npos);
	EXPECT_NE(Capture.Entries()[4].Line.find(L"] [UnhandledValue] [C::N] level minus one"), std::wstring::npos);
}

TEST_F(LogTest, MessagesOfThousandsOfCharactersAreNotCut)
{
	FLogCapture Capture;
	const std::wstring Long = std::wstring(6000, L'a') + L"END";
	::testing::internal::CaptureStdout();
	Log(ELogLevel::Info, L"C::O", L"%s", Long);
	const std::string Output = ::testing::internal::GetCapturedStdout();
	ASSERT_EQ(Capture.Entries().size(), 1u);
	EXPECT_EQ(Capture.Entries()[0].Message, Long);
	EXPECT_EQ(Output.size(), Long.size() + 1);
}

TEST_F(LogTest, WithoutASinkLinesReachOnlyTheStandardOutput)
{
	const FLogSink Saved = GetLogSink();
	GetLogSink() = nullptr;
	::testing::internal::CaptureStdout();
	Log(ELogLevel::Info, L"C::O", L"alone");
	const std::string Output = ::testing::internal::GetCapturedStdout();
	GetLogSink() = Saved;
	EXPECT_EQ(Output, "alone\n");
}
