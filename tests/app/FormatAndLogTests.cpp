#include "app/Log.h"

#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <ctime>

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
