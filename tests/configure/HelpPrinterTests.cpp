#include "configure/CommandLine.h"
#include "configure/CommandLineOption.h"
#include "configure/HelpPrinter.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestBootstrapper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace
{
	using FLines = std::vector<std::wstring>;

	// The option lines of a single option's help. "[-x]" makes the column
	// K = 6, so Width - 8 is the description width D.
	FLines SingleOptionLines(int32_t Width, const std::wstring& Description)
	{
		FHelpPrinter Printer(L"t.exe", Width);
		Printer.SetOptionGroups({{FCommandLineOption{L"-x", L"--x", L"[-x]", Description}}});
		const FLines Lines = Printer.BuildLines();
		return FLines(std::find(Lines.begin(), Lines.end(), L"Options:") + 1, Lines.end());
	}
}

TEST(HelpPrinter, ParagraphsAndUsageLinesLineUpUnderTheProgramName)
{
	FHelpPrinter Printer(L"Launcher.exe", 40);
	Printer.AddParagraph({L"Product 1.0.", {}});
	Printer.AddParagraph({L"Actions:", {L"1. First.", L"2. An item longer than the narrow console of another test."}});
	Printer.SetOptionGroups(MakeConfigureOptions(FCommandLine(L"")).GetUsageGroups());
	const FLines Lines = Printer.BuildLines();
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

TEST(HelpPrinter, DescriptionOfExactlyTheWidthStaysOneLineAndNoRoomMeansNoCut)
{
	EXPECT_EQ(SingleOptionLines(20, L"abcdefghijkl"), (FLines{L"  [-x] abcdefghijkl"}));
	EXPECT_EQ(SingleOptionLines(20, L"abcdefghijklm"), (FLines{L"  [-x] abcdefghijkl", L"       m"}));
	for (const int32_t Width : {8, 3, -5})
	{
		EXPECT_EQ(SingleOptionLines(Width, L"a description"), (FLines{L"  [-x] a description"})) << Width;
	}
}

// Without a console width the tool says so and lays the help out for 80
// columns, exactly as on an 80-column console: there the longest synopsis
// (--copy-resources, 30 characters) puts the descriptions at column 33, cut
// every 46 characters, blindly, even inside a word.
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

	const std::string Indent(33, ' ');
	EXPECT_NE(Wide.find("\n  (-o|--output-path <path>)      Output file path where to copy the Bootstrappe\n" + Indent +
				  "r executable, as a relative or an absolute pat\n" + Indent + "h"),
		std::string::npos) << Wide;
	// Only the paragraphs above the options are never cut.
	std::istringstream Lines(Wide.substr(Wide.find("\nOptions:\n")));
	for (std::string Line; std::getline(Lines, Line);)
	{
		EXPECT_LE(Line.size(), 79u) << Line;
	}
}
