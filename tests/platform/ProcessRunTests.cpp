// The steps every system's process start shares, over a starter of the test's own.
#include "platform/ProcessRun.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

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

TEST(RunProcess, TheLoggedCommandLineQuotesThePathAndKeepsTheArgumentText)
{
	// Logged on every system: the argument text follows the quoted path after
	// one space; a quote in a Linux path stays.
	EXPECT_EQ(FormProcessCommandLine(L"/a\"b", std::wstring(L"x")), L"\"/a\"b\" x");
	EXPECT_EQ(FormProcessCommandLine(L"/my games/run", std::nullopt), L"\"/my games/run\"");
}
