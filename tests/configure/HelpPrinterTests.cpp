#include "configure/CommandLine.h"
#include "configure/CommandLineOption.h"
#include "configure/HelpPrinter.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestBootstrapper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{
	using FLines = std::vector<std::wstring>;

	FHelpPrinter MakeToolHelp(int32_t Width)
	{
		FHelpPrinter Printer(L"Launcher.exe", Width);
		Printer.AddParagraph({L"Product 1.0.", {}});
		Printer.AddParagraph({L"Actions:", {L"1. First.", L"2. An item longer than the narrow console of another test."}});
		Printer.SetOptionGroups(MakeConfigureOptions(FCommandLine(L"")).GetUsageGroups());
		return Printer;
	}

	// The lines after "Options:".
	FLines OptionLines(const FHelpPrinter& Printer)
	{
		const FLines Lines = Printer.BuildLines();
		const auto Options = std::find(Lines.begin(), Lines.end(), L"Options:");
		EXPECT_NE(Options, Lines.end());
		return FLines(Options == Lines.end() ? Options : Options + 1, Lines.end());
	}

	// "[-x]" makes the column K = 6, so Width - 8 is the description width D.
	FLines SingleOptionLines(int32_t Width, const std::wstring& Description)
	{
		FHelpPrinter Printer(L"t.exe", Width);
		Printer.SetOptionGroups({{FCommandLineOption{L"-x", L"--x", L"[-x]", Description}}});
		return OptionLines(Printer);
	}
}

TEST(HelpPrinter, ParagraphsAndUsageLinesLineUpUnderTheProgramName)
{
	const FLines Lines = MakeToolHelp(40).BuildLines();
	const FLines Expected = {L"Product 1.0.", L"", L"Actions:", L"  1. First.",
		// Items are never wrapped, however long.
		L"  2. An item longer than the narrow console of another test.", L"", L"Usage:",
		L"  Launcher.exe (-o|--output-path <path>)", L"               (-a|--app-path <path>)",
		L"               [-w|--working-dir <path>]", L"               [-f|--wait-for-exit [<bool>]]",
		L"               [-n|--no-operation [<bool>]]", L"               [-r|--copy-resources [<bool>]]",
		L"  Launcher.exe [-h|--help]", L"", L"Options:"};
	ASSERT_GT(Lines.size(), Expected.size());
	EXPECT_EQ(FLines(Lines.begin(), Lines.begin() + static_cast<std::ptrdiff_t>(Expected.size())), Expected);
}

TEST(HelpPrinter, DescriptionsAreCutBlindlyIntoTheColumnAtWidth80)
{
	// The longest synopsis (--copy-resources, 30 characters) makes K = 32:
	// descriptions start at column 33 and are cut every D = 46 characters.
	const FLines Lines = OptionLines(MakeToolHelp(80));
	const std::wstring Indent(33, L' ');
	EXPECT_EQ(Lines[0], L"  (-o|--output-path <path>)      Output file path where to copy the Bootstrappe");
	EXPECT_EQ(Lines[1], Indent + L"r executable, as a relative or an absolute pat");

	size_t LineIndex = 0;
	for (const std::vector<FCommandLineOption>& Group : MakeConfigureOptions(FCommandLine(L"")).GetUsageGroups())
	{
		for (const FCommandLineOption& Option : Group)
		{
			ASSERT_LT(LineIndex, Lines.size());
			const std::wstring& First = Lines[LineIndex++];
			EXPECT_EQ(First.substr(0, 33), L"  " + Option.Syntax + std::wstring(31 - Option.Syntax.size(), L' '));
			EXPECT_LE(First.size(), 79u) << First;
			std::wstring Joined = First.substr(33);
			while (LineIndex < Lines.size() && Lines[LineIndex].compare(0, 33, Indent) == 0)
			{
				EXPECT_EQ(Joined.size() % 46, 0u) << "a piece before the last one is not D long";
				EXPECT_LE(Lines[LineIndex].size(), 79u) << Lines[LineIndex];
				Joined += Lines[LineIndex++].substr(33);
			}
			// The cut loses and adds nothing, not even at spaces.
			EXPECT_EQ(Joined, Option.Description);
		}
	}
	EXPECT_EQ(LineIndex, Lines.size()) << "nothing follows the last option";
}

TEST(HelpPrinter, DescriptionOfExactlyTheWidthStaysOneLineAndNoRoomMeansNoCut)
{
	EXPECT_EQ(SingleOptionLines(20, L"abcdefghijkl"), (FLines{L"  [-x] abcdefghijkl"}));
	EXPECT_EQ(SingleOptionLines(20, L"abcdefghijklm"), (FLines{L"  [-x] abcdefghijkl", L"       m"}));
	for (const int32_t Width : {8, 3, -5})
	{
		EXPECT_EQ(SingleOptionLines(Width, L"a description"), (FLines{L"  [-x] a description"})) << Width;
	}
	EXPECT_EQ(OptionLines(MakeToolHelp(20)).size(), 7u);
}

TEST(HelpPrinter, PrintWritesExactlyTheLinesToStandardOutput)
{
	const FHelpPrinter Printer = MakeToolHelp(80);
	std::string Expected;
	for (const std::wstring& Line : Printer.BuildLines())
	{
		Expected += std::string(Line.begin(), Line.end()) + "\n";
	}
	::testing::internal::CaptureStdout();
	Printer.Print();
	EXPECT_EQ(::testing::internal::GetCapturedStdout(), Expected);
}

// Without a console width the tool says so and lays the help out for 80
// columns, exactly as on an 80-column console.
TEST(HelpPrinter, TheToolFallsBackTo80ColumnsWhenTheConsoleWidthIsUnknown)
{
	FLogCapture Capture;
	const auto HelpFor = [&Capture](bool bWidthKnown, uint32_t Width)
	{
		const auto Platform = std::make_shared<FFakePlatform>();
		Platform->ExecutablePath = L"Tool.exe";
		Platform->ConsoleWidthResult = bWidthKnown;
		Platform->ConsoleWidth = Width;
		FTestBootstrapper Tool(std::make_shared<FCommandLine>(L"Tool.exe"), Platform, nullptr);
		::testing::internal::CaptureStdout();
		EXPECT_EQ(Tool.Configure(L"Product", L"Tag"), 0);
		return ::testing::internal::GetCapturedStdout();
	};
	const std::wstring Failure = L"Failed to determine terminal width for text output.";
	const std::string Narrow = HelpFor(true, 40);
	const std::string Wide = HelpFor(true, 80);
	EXPECT_FALSE(Capture.Has(ELogLevel::Error, L"FGenericBootstrapper::Configure", Failure));
	const std::string Fallback = HelpFor(false, 40);
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, L"FGenericBootstrapper::Configure", Failure));
	EXPECT_NE(Narrow, Wide);
	EXPECT_EQ(Fallback, "Failed to determine terminal width for text output.\n" + Wide);
}
