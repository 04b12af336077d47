#include "configure/CommandLine.h"
#include "configure/CommandLineOption.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace
{
	using FTokens = std::vector<std::wstring>;
	const std::wstring None = L"<none>";

	// The option's value, or None when the lookup fails.
	std::wstring ValueOf(const std::wstring& Text, const std::wstring& Name)
	{
		std::wstring Value = None;
		FCommandLine(Text).TryGetOptionValue(Name, Value);
		return Value;
	}
}

TEST(CommandLine, DoubleQuotesGroupAndSingleQuotesOnlyWrap)
{
	const std::pair<const wchar_t*, FTokens> Cases[] = {
		// A single quote pairs only across no space and stays part of the token.
		{L"-o 'C:\\Program Files' 'abc' x'y'", {L"-o", L"C:\\Program", L"Files", L"'abc'", L"x", L"'y'"}},
		// A quote without its partner is skipped and the text behind it read on; only the space separates.
		{L"\"\" a\"b c\"  \"unclosed\ttext", {L"", L"a", L"b c", L"unclosed\ttext"}},
	};
	for (const auto& [Text, Tokens] : Cases)
	{
		EXPECT_EQ(FCommandLine(Text).GetTokens(), Tokens) << Text;
	}

	FCommandLine CommandLine(L"C:\\Tools\\Configure.exe -o out.exe");
	CommandLine.Parse(L"--help");
	EXPECT_EQ(CommandLine.GetText(), L"--help");
	EXPECT_TRUE(CommandLine.HasNoArguments());
	EXPECT_FALSE(CommandLine.HasOption(L"-o"));

	// Tens of thousands of characters in one token must not exhaust the stack.
	const std::wstring Long(100000, L'a');
	EXPECT_EQ(ValueOf(L"-o \"" + Long + L" b\"", L"-o"), Long + L" b");
}

TEST(CommandLine, OptionsMatchLooselyButOnlyWithADashAndTakeTheNextToken)
{
	const std::tuple<const wchar_t*, const wchar_t*, bool, std::wstring> Cases[] = {
		{L"--o x", L"-o", true, L"x"}, {L"--OUTPUT_PATH x", L"--output-path", true, L"x"},
		{L"outputpath x", L"--output-path", false, None}, {L"-op x", L"-o", false, None},
		// "=" is no separator: the whole token is another name.
		{L"--app-path=App.exe", L"--app-path", false, None},
		// The value is simply the next token, of the first occurrence.
		{L"-o -a App.exe", L"-o", true, L"-a"}, {L"-o \"\" -a App.exe", L"-o", true, L""},
		{L"-o first -o second", L"-o", true, L"first"}, {L"-a App.exe -o", L"-o", true, None},
	};
	for (const auto& [Text, Name, bFound, Value] : Cases)
	{
		EXPECT_EQ(FCommandLine(Text).HasOption(Name), bFound) << Text;
		EXPECT_EQ(ValueOf(Text, Name), Value) << Text;
	}
}

TEST(CommandLine, BooleanValues)
{
	const std::tuple<const wchar_t*, const wchar_t*, const char*> Flags[] = {
		{L"-r", L"-r", "true"}, {L"-r FALSE", L"-r", "false"}, {L"-r maybe", L"-r", "true"},
		// The next token is only looked at, not consumed.
		{L"-r -f", L"-r", "true"}, {L"-r -f", L"-f", "true"}, {L"-f", L"-r", "absent"},
	};
	for (const auto& [Text, Name, Flag] : Flags)
	{
		bool bValue = false;
		const bool bFound = FCommandLine(Text).TryGetBoolOption(Name, bValue);
		EXPECT_STREQ(!bFound ? "absent" : bValue ? "true" : "false", Flag) << Text << " " << Name;
	}
}

TEST(CommandLine, KeysBecomeLongOptionsAndBack)
{
	const FCommandLine CommandLine(L"");
	// A run of capitals is one word, up to and including the next word's capital;
	// Z is no capital of these rules and is dropped.
	const std::pair<const wchar_t*, const wchar_t*> ToOption[] = {
		{L"URLPath", L"--urlpath"}, {L"appPath", L"--app-path"}, {L"", L"--"}, {L"ZipFile", L"--ip-file"}};
	for (const auto& [Key, Option] : ToOption)
	{
		EXPECT_EQ(CommandLine.ToOptionName(Key), Option) << Key;
	}
	EXPECT_EQ(CommandLine.ToKeyName(L"--NO-OPERATION"), L"NoOperation");
	// Each word is capitalised wherever it occurs, also inside later words.
	EXPECT_EQ(CommandLine.ToKeyName(L"--a-ab"), L"AAb");
}

TEST(CommandLine, OptionRecordsAskTheShortFormFirst)
{
	const FConfigureOptions Options = MakeConfigureOptions(FCommandLine(L""));
	std::wstring Path;
	EXPECT_TRUE(TryGetOptionPath(FCommandLine(L"--output-path long.exe -o short.exe"), Options.OutputPath, Path));
	EXPECT_EQ(Path, L"short.exe");
	// A short form without a value gives nothing, so the long form is asked.
	EXPECT_TRUE(TryGetOptionPath(FCommandLine(L"--OUTPUT-PATH long.exe -o"), Options.OutputPath, Path));
	EXPECT_EQ(Path, L"long.exe");
	EXPECT_FALSE(TryGetOptionPath(FCommandLine(L"-a App.exe"), Options.OutputPath, Path));

	bool bValue = true;
	EXPECT_TRUE(TryGetOptionFlag(FCommandLine(L"-f 0 --wait-for-exit 1"), Options.WaitForExit, bValue));
	EXPECT_FALSE(bValue);
	EXPECT_FALSE(TryGetOptionFlag(FCommandLine(L"-n"), Options.WaitForExit, bValue));
}
