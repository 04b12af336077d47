// The system-free parts of the platform layer.
#include "platform/CommandLineArguments.h"
#include "platform/GuidComponents.h"
#include "platform/ProcessRun.h"
#include "platform/SystemErrorLog.h"
#include "platform/Utf8.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

using FArguments = std::vector<std::wstring>;

TEST(Utf8, MalformedSequencesAreRefusedWithTheirOffsetOrReplaced)
{
	constexpr size_t Accepted = SIZE_MAX;
	const std::pair<std::string, size_t> Cases[] = {
		{"ab\x80", 2},              // stray continuation byte
		{"a\xC0\x80", 1},           // overlong NUL
		{"\xE0\x80\x80", 0},        // overlong three-byte form
		{"\xE0\x9F\xBF", 0},        // U+07FF, the largest overlong three-byte form
		{"\xE0\xA0\x80", Accepted}, // U+0800, the smallest three-byte form
		{"xyz\xF4\x90\x80\x80", 3}, // above U+10FFFF
		{"ok\xE4\xB8", 2},          // cut at the end of the file
		{"\xC3\x28", 0},            // continuation missing
		{"\xF8\x88\x80\x80\x80", 0} // five-byte form
	};
	for (const auto& [Bytes, Expected] : Cases)
	{
		std::wstring Text;
		size_t Offset = 999;
		const bool bAccepted = TryDecodeUtf8(Bytes, Text, Offset);
		EXPECT_EQ(bAccepted, Expected == Accepted) << Bytes;
		EXPECT_EQ(bAccepted ? Accepted : Offset, Expected) << Bytes;
	}
	EXPECT_EQ(DecodeUtf8Lossless("a\xFF" "b"), L"a\uFFFDb");
	if constexpr (sizeof(wchar_t) == 4)
	{
		// Only a 32-bit wide character can hold a value without a UTF-8 form.
		EXPECT_EQ(EncodeUtf8Lossless(std::wstring{L'a', wchar_t(0x110000)}), "a\xEF\xBF\xBD");
	}
}

TEST(CommandLines, SplitAndJoinedByTheWindowsRulesAndFormedForAProcess)
{
	const std::pair<const wchar_t*, FArguments> Splits[] = {
		{L"a\\\\b d\"e f\"g h", {L"a\\\\b", L"de fg", L"h"}},
		{L"a\\\\\\\"b c d", {L"a\\\"b", L"c", L"d"}},
		{L"a\\\\\\\\\"b c\" d e", {L"a\\\\b c", L"d", L"e"}},
		{L" \t one\ttwo  \"\" ", {L"one", L"two", L""}},
		{L"", {}},
	};
	for (const auto& [Text, Expected] : Splits)
	{
		EXPECT_EQ(SplitCommandLineArguments(Text), Expected) << Text;
	}
	const std::pair<FArguments, const wchar_t*> Joins[] = {
		{{L"a", L"b c", L""}, L"a \"b c\" \"\""},
		{{L"C:\\dir\\"}, L"C:\\dir\\"},
		{{L"C:\\my dir\\"}, L"\"C:\\my dir\\\\\""},
		{{L"back\\\"slash"}, L"\"back\\\\\\\"slash\""},
	};
	for (const auto& [Arguments, Expected] : Joins)
	{
		EXPECT_EQ(JoinCommandLineArguments(Arguments), Expected) << Expected;
	}
	// A process's command line, logged on every system: an argument text, even an
	// empty one, follows the quoted path after one space; a quote in a Linux path stays.
	EXPECT_EQ(FormProcessCommandLine(L"/a\"b", std::wstring(L"x")), L"\"/a\"b\" x");
	EXPECT_EQ(FormProcessCommandLine(L"/my games/run", std::wstring()), L"\"/my games/run\" ");
	EXPECT_EQ(FormProcessCommandLine(L"/my games/run", std::nullopt), L"\"/my games/run\"");
}

TEST(RunProcess, ABreakawayChildIsSaidToStayOutAndAFailedWaitStoresTheSystemError)
{
	// A wait that fails cannot be brought about with a real child on Windows.
	struct FFailingWait final : IProcessStarter
	{
		bool TryStart(const std::wstring&, const std::optional<std::wstring>&, bool, uint32_t& OutId, uint32_t&) override
		{
			OutId = 4242;
			return true;
		}
		bool TryWaitForExit(uint32_t& OutExitCode, uint32_t& OutError) override
		{
			OutExitCode = 0;
			OutError = 10;
			return false;
		}
	} Starter;
	FLogCapture Capture;
	uint32_t ExitCode = 7;
	EXPECT_FALSE(RunProcess(L"Test::Run", Starter, L"game", std::nullopt, std::nullopt, true, true, &ExitCode));
	EXPECT_EQ(ExitCode, 10u);
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"Test::Run", L"No working directory"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"Test::Run", L"Process will NOT be added to job"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"Test::Run", L"Waiting for exit code"));
	EXPECT_EQ(Capture.Dump().find(L"Process exited"), std::wstring::npos) << Capture.Dump();
}

TEST(SystemErrorLine, CarriesCodeAndTextOrSaysUnknown)
{
	// The text as the system gave it, trailing space included.
	EXPECT_EQ(FormatSystemErrorLine(L"Failed", 0xC0000005, L"Access violation. "),
		L"Failed: ErrorCode=0xC0000005 (-1073741819), ErrorMessage=Access violation. ");
	// A code without a text of the system's, or no code at all.
	EXPECT_EQ(FormatSystemErrorLine(L"Failed", 317, L""), L"Failed: Unknown reason");
	EXPECT_EQ(FormatSystemErrorLine(L"Failed", 0, L"The operation completed successfully."), L"Failed: Unknown reason");
}

TEST(GuidComponents, FollowTheBytesOfTheTextForm)
{
	// 00112233-4455-6677-8899-AABBCCDDEEFF
	const FGuidComponents Components = SplitGuidBytes(
		{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF});
	EXPECT_EQ((std::array{Components.A, Components.B, Components.C, Components.D}),
		(std::array{0x00112233u, 0x44556677u, 0x8899AABBu, 0xCCDDEEFFu}));
}
