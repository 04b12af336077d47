#include "platform/CommandLineArguments.h"

#include <gtest/gtest.h>

using FArguments = std::vector<std::wstring>;

TEST(CommandLineArguments, SplitsByTheWindowsRules)
{
	EXPECT_EQ(SplitCommandLineArguments(L"\"abc\" d e"), (FArguments{L"abc", L"d", L"e"}));
	EXPECT_EQ(SplitCommandLineArguments(L"a\\\\b d\"e f\"g h"), (FArguments{L"a\\\\b", L"de fg", L"h"}));
	EXPECT_EQ(SplitCommandLineArguments(L"a\\\\\\\"b c d"), (FArguments{L"a\\\"b", L"c", L"d"}));
	EXPECT_EQ(SplitCommandLineArguments(L"a\\\\\\\\\"b c\" d e"), (FArguments{L"a\\\\b c", L"d", L"e"}));
	EXPECT_EQ(SplitCommandLineArguments(L" \t one\ttwo  \"\" "), (FArguments{L"one", L"two", L""}));
	EXPECT_EQ(SplitCommandLineArguments(L""), FArguments{});
}

TEST(CommandLineArguments, JoinedArgumentsSplitBackUnchanged)
{
	const FArguments Arguments = {L"plain", L"", L"with space", L"tab\there", L"quote\"inside", L"\"quoted\"",
		L"trailing\\", L"C:\\Program Files\\", L"back\\\\\"slash", L"-o", L"new\nline", L"\u00FCber"};
	const std::wstring Text = JoinCommandLineArguments(Arguments);
	EXPECT_EQ(SplitCommandLineArguments(Text), Arguments) << std::string(Text.begin(), Text.end());
	EXPECT_EQ(JoinCommandLineArguments({L"a", L"b c", L""}), L"a \"b c\" \"\"");
	EXPECT_EQ(JoinCommandLineArguments({L"C:\\dir\\"}), L"C:\\dir\\");
	EXPECT_EQ(JoinCommandLineArguments({L"C:\\my dir\\"}), L"\"C:\\my dir\\\\\"");
}
