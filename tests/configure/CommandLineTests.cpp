#include "configure/CommandLine.h"
#include "configure/CommandLineOption.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace
{
	using FTokens = std::vector<std::wstring>;
	const std::wstring None = L"<none>";
}

TEST(CommandLine, DoubleQuotesGroupAndSingleQuotesOnlyWrap)
{
	// A single quote pairs only across no space and stays part of the token.
	EXPECT_EQ(FCommandLine(L"-o 'C:\\Program Files' 'abc' x'y'").GetTokens(),
		(FTokens{L"-o", L"C:\\Program", L"Files", L"'abc'", L"x", L"'y'"}));
	// A quote without its partner is skipped and the text behind it read on; only the space separates.
	EXPECT_EQ(FCommandLine(L"\"\" a\"b c\"  \"unclosed\ttext").GetTokens(), (FTokens{L"", L"a", L"b c", L"unclosed\ttext"}));

	FCommandLine CommandLine(L"C:\\Tools\\Configure.exe -o out.exe");
	CommandLine.Parse(L"--help");
	EXPECT_EQ(CommandLine.GetText(), L"--help");
	EXPECT_TRUE(CommandLine.HasNoArguments());
	EXPECT_FALSE(CommandLine.HasOption(L"-o"));

	// Tens of thousands of characters in one token must not exhaust the stack.
	const std::wstring Long(100000, L'a');
	EXPECT_EQ(FCommandLine(L"-o \"" + Long + L" b\"").GetTokens(), (FTokens{L"-o", Long + L" b"}));
}

// Options are asked for by their record: the short form first, the long form
// when the short one gives nothing.
TEST(CommandLine, OptionsMatchLooselyButOnlyWithADashAndTakeTheNextToken)
{
	const FConfigureOptions Options = MakeConfigureOptions(FCommandLine(L""));
	const std::pair<const wchar_t*, std::wstring> Cases[] = {
		{L"--o x", L"x"}, {L"--OUTPUT_PATH x", L"x"}, {L"outputpath x", None}, {L"-op x", None},
		// "=" is no separator: the whole token is another name.
		{L"--output-path=x", None},
		// The value is simply the next token, of the first occurrence.
		{L"-o -a App.exe", L"-a"}, {L"-o \"\" -a App.exe", L""}, {L"-o first -o second", L"first"},
		{L"--output-path long.exe -o short.exe", L"short.exe"}, {L"--OUTPUT-PATH long.exe -o", L"long.exe"},
		{L"-a App.exe -o", None},
	};
	for (const auto& [Text, Value] : Cases)
	{
		std::wstring Path = None;
		EXPECT_EQ(TryGetOptionPath(FCommandLine(Text), Options.OutputPath, Path), Value != None) << Text;
		EXPECT_EQ(Path, Value) << Text;
	}
}

TEST(CommandLine, FlagsNeedNoValueAndTakeOnlyABooleanOne)
{
	const FConfigureOptions Options = MakeConfigureOptions(FCommandLine(L""));
	const std::pair<const wchar_t*, const char*> Flags[] = {
		{L"-f", "true"}, {L"-f FALSE", "false"}, {L"-f maybe", "true"}, {L"-n", "absent"},
		// The next token is only looked at, not consumed; the short form is asked first.
		{L"-f -n", "true"}, {L"-n -f", "true"}, {L"-f 0 --wait-for-exit 1", "false"}, {L"--WAIT-FOR-EXIT 0", "false"},
	};
	for (const auto& [Text, Flag] : Flags)
	{
		bool bValue = false;
		const bool bFound = TryGetOptionFlag(FCommandLine(Text), Options.WaitForExit, bValue);
		EXPECT_STREQ(!bFound ? "absent" : bValue ? "true" : "false", Flag) << Text;
	}
}

TEST(CommandLine, KeysBecomeLongOptionsAndBack)
{
	const FCommandLine CommandLine(L"");
	// A run of capitals is one word, up to and including the next word's capital;
	// Z is no capital of these rules and is dropped.
	EXPECT_EQ(CommandLine.ToOptionName(L"URLPath"), L"--urlpath");
	EXPECT_EQ(CommandLine.ToOptionName(L"appPath"), L"--app-path");
	EXPECT_EQ(CommandLine.ToOptionName(L""), L"--");
	EXPECT_EQ(CommandLine.ToOptionName(L"ZipFile"), L"--ip-file");
	EXPECT_EQ(CommandLine.ToKeyName(L"--NO-OPERATION"), L"NoOperation");
	// Each word is capitalised wherever it occurs, also inside later words.
	EXPECT_EQ(CommandLine.ToKeyName(L"--a-ab"), L"AAb");
}
