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

using FLines = std::vector<std::wstring>;

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
	// The option lines of a single option's help: "[-x]" makes the column
	// K = 6, so Width - 8 is the description width D.
	const auto SingleOptionLines = [](int32_t Width, const std::wstring& Description)
	{
		FHelpPrinter Printer(L"t.exe", Width);
		Printer.SetOptionGroups({{FCommandLineOption{L"-x", L"--x", L"[-x]", Description}}});
		const FLines Lines = Printer.BuildLines();
		return FLines(std::find(Lines.begin(), Lines.end(), L"Options:") + 1, Lines.end());
	};
	EXPECT_EQ(SingleOptionLines(20, L"abcdefghijkl"), (FLines{L"  [-x] abcdefghijkl"}));
	EXPECT_EQ(SingleOptionLines(20, L"abcdefghijklm"), (FLines{L"  [-x] abcdefghijkl", L"       m"}));
	EXPECT_EQ(SingleOptionLines(8, L"a description"), (FLines{L"  [-x] a description"}));
	EXPECT_EQ(SingleOptionLines(-5, L"a description"), (FLines{L"  [-x] a description"}));
}

// Without a console width the tool says so and lays the help out for 80
// columns: there the longest synopsis (--copy-resources, 30 characters) puts
// the descriptions at column 33, cut every 46 characters, blindly, even inside a word.
TEST(HelpPrinter, TheToolFallsBackTo80ColumnsWhenTheConsoleWidthIsUnknown)
{
	for (const bool bWidthKnown : {true, false})
	{
		FLogCapture Capture;
		const auto Platform = std::make_shared<FFakePlatform>();
		Platform->ConsoleWidthResult = bWidthKnown;
		Platform->ConsoleWidth = 40;
		FTestBootstrapper Tool(std::make_shared<FCommandLine>(L"Tool.exe"), Platform, nullptr);
		::testing::internal::CaptureStdout();
		EXPECT_EQ(Tool.Configure(L"Product", L"Tag"), 0);
		const std::string Help = ::testing::internal::GetCapturedStdout();
		const std::string Description = bWidthKnown
			? "Output\n"
			: "Output file path where to copy the Bootstrappe\n" + std::string(33, ' ') + "r executable, as a relative";
		EXPECT_NE(Help.find("\n  (-o|--output-path <path>)      " + Description), std::string::npos) << Help;
		EXPECT_EQ(Capture.Has(ELogLevel::Error, L"FGenericBootstrapper::Configure",
					  L"Failed to determine terminal width for text output."),
			!bWidthKnown);
	}
}
