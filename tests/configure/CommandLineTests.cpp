#include "bootstrap/ConfigKeys.h"
#include "configure/CommandLine.h"
#include "configure/CommandLineOption.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace
{
	using FTokens = std::vector<std::wstring>;

	FTokens TokensOf(const std::wstring& Text)
	{
		return FCommandLine(Text).GetTokens();
	}

	// The option's value, or "<none>" when the lookup fails.
	std::wstring ValueOf(const std::wstring& Text, const std::wstring& Name)
	{
		std::wstring Value = L"<none>";
		FCommandLine(Text).TryGetOptionValue(Name, Value);
		return Value;
	}

	std::string FlagOf(const std::wstring& Text, const std::wstring& Name)
	{
		bool bValue = false;
		return !FCommandLine(Text).TryGetBoolOption(Name, bValue) ? "absent" : bValue ? "true" : "false";
	}
}

TEST(CommandLine, DoubleQuotesGroupAndSingleQuotesOnlyWrap)
{
	EXPECT_EQ(TokensOf(L"-o \"C:\\Program Files\\App.exe\""), (FTokens{L"-o", L"C:\\Program Files\\App.exe"}));
	// A single quote pairs only across no space: both quotes are dropped here.
	EXPECT_EQ(TokensOf(L"-o 'C:\\Program Files\\App.exe'"), (FTokens{L"-o", L"C:\\Program", L"Files\\App.exe"}));
	EXPECT_EQ(TokensOf(L"'abc' 'a\"b' \"a'b c\""), (FTokens{L"'abc'", L"'a\"b'", L"a'b c"}));
	EXPECT_EQ(TokensOf(L"-o \"\" abc\"d e\" x'y'"), (FTokens{L"-o", L"", L"abc", L"d e", L"x", L"'y'"}));
	// A quote without its partner is skipped and the text behind it read on.
	EXPECT_EQ(TokensOf(L"\"unclosed text"), (FTokens{L"unclosed", L"text"}));
	// Only the space separates.
	EXPECT_EQ(TokensOf(L"  a   b\tc  "), (FTokens{L"a", L"b\tc"}));

	FCommandLine CommandLine(L"C:\\Tools\\Configure.exe -o out.exe");
	CommandLine.Parse(L"--help");
	EXPECT_EQ(CommandLine.GetText(), L"--help");
	EXPECT_TRUE(CommandLine.HasNoArguments());
	EXPECT_FALSE(CommandLine.HasOption(L"-o"));
	CommandLine.Parse(L"");
	EXPECT_TRUE(CommandLine.HasNoArguments());

	// Tens of thousands of characters in one token must not exhaust the stack.
	const std::wstring Long(100000, L'a');
	EXPECT_EQ(ValueOf(L"-o \"" + Long + L" b\"", L"-o"), Long + L" b");
}

TEST(CommandLine, OptionsMatchLooselyButOnlyWithADash)
{
	for (const std::wstring Text : {L"-o x", L"-O x", L"--o x", L"---o x"})
	{
		EXPECT_TRUE(FCommandLine(Text).HasOption(L"-o")) << Text;
	}
	EXPECT_TRUE(FCommandLine(L"--OUTPUT_PATH x").HasOption(L"--output-path"));
	EXPECT_FALSE(FCommandLine(L"outputpath x").HasOption(L"--output-path"));
	EXPECT_FALSE(FCommandLine(L"-op x").HasOption(L"-o"));
	// "=" is no separator: the whole token is another name.
	EXPECT_FALSE(FCommandLine(L"--app-path=App.exe").HasOption(L"--app-path"));
	EXPECT_EQ(ValueOf(L"--app-path=\"My App.exe\"", L"--app-path"), L"My App.exe");

	// The value is simply the next token, of the first occurrence.
	EXPECT_EQ(ValueOf(L"-o -a App.exe", L"-o"), L"-a");
	EXPECT_EQ(ValueOf(L"-o \"\" -a App.exe", L"-o"), L"");
	EXPECT_EQ(ValueOf(L"-o first -o second", L"-o"), L"first");
	EXPECT_EQ(ValueOf(L"-a App.exe -o", L"-o"), L"<none>");
	std::wstring Path = L"untouched";
	EXPECT_FALSE(FCommandLine(L"-a App.exe -o").TryGetPathOption(L"-o", Path));
	EXPECT_EQ(Path, L"untouched");
}

TEST(CommandLine, BooleanAndIntegerValues)
{
	EXPECT_EQ(FlagOf(L"-r", L"-r"), "true");
	EXPECT_EQ(FlagOf(L"-r 0", L"-r"), "false");
	EXPECT_EQ(FlagOf(L"-r FALSE", L"-r"), "false");
	EXPECT_EQ(FlagOf(L"-r maybe", L"-r"), "true");
	// The next token is only looked at, not consumed.
	EXPECT_EQ(FlagOf(L"-r -f", L"-r"), "true");
	EXPECT_EQ(FlagOf(L"-r -f", L"-f"), "true");
	EXPECT_EQ(FlagOf(L"-f", L"-r"), "absent");

	for (const auto& [Text, Expected] : std::vector<std::pair<std::wstring, int64_t>>{{L"-n -17abc", -17},
			 {L"-n \" +5\"", 5}, {L"-n -2147483648", INT32_MIN}, {L"-n 2147483648", -1}, {L"-n abc", -1}, {L"-n", -1}})
	{
		int32_t Value = -1; // -1 stands for "not found and not written"
		EXPECT_EQ(FCommandLine(Text).TryGetIntOption(L"-n", Value), Expected != -1) << Text;
		EXPECT_EQ(Value, Expected) << Text;
	}
}

TEST(CommandLine, KeysBecomeLongOptionsAndBack)
{
	const FCommandLine CommandLine(L"");
	EXPECT_EQ(CommandLine.ToOptionName(L"WaitForExit"), L"--wait-for-exit");
	EXPECT_EQ(CommandLine.ToOptionName(L"NoOperation"), L"--no-operation");
	// A run of capitals is one word, up to and including the next word's capital.
	EXPECT_EQ(CommandLine.ToOptionName(L"URLPath"), L"--urlpath");
	EXPECT_EQ(CommandLine.ToOptionName(L"appPath"), L"--app-path");
	EXPECT_EQ(CommandLine.ToOptionName(L""), L"--");
	// Z is no capital of these rules and is dropped.
	EXPECT_EQ(CommandLine.ToOptionName(L"ZipFile"), L"--ip-file");

	EXPECT_EQ(CommandLine.ToKeyName(L"--NO-OPERATION"), L"NoOperation");
	// Each word is capitalised wherever it occurs, also inside later words.
	EXPECT_EQ(CommandLine.ToKeyName(L"--a-ab"), L"AAb");
	for (const std::wstring& Key : {ApplicationPathKey, WorkingDirectoryKey, WaitForExitKey, NoOperationKey})
	{
		EXPECT_EQ(CommandLine.ToKeyName(CommandLine.ToOptionName(Key)), Key);
	}
}

TEST(CommandLine, OptionRecordsAskTheShortFormFirst)
{
	const FConfigureOptions Options = MakeConfigureOptions(FCommandLine(L""));
	EXPECT_EQ(Options.WaitForExit.Syntax, L"[-f|--wait-for-exit [<bool>]]");
	EXPECT_EQ(Options.NoOperation.LongName, L"--no-operation");

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
	EXPECT_TRUE(TryGetOptionFlag(FCommandLine(L"--wait-for-exit"), Options.WaitForExit, bValue));
	EXPECT_TRUE(bValue);
	EXPECT_FALSE(TryGetOptionFlag(FCommandLine(L"-n"), Options.WaitForExit, bValue));
}
