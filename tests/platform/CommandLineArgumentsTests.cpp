// The Windows argument rules, split and joined as plain text on every system.
#include "platform/CommandLineArguments.h"

#include <gtest/gtest.h>

using FArguments = std::vector<std::wstring>;

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
}
