// The parts of starting a child that both systems share, without the system.
#include "platform/GuidComponents.h"
#include "platform/ProcessRun.h"
#include "platform/SystemErrorLog.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>


using FArguments = std::vector<std::wstring>;

TEST(ProcessArguments, ThePathAsGivenThenTheTextSplitTheWayAWindowsProgramSeesIt)
{
	struct FCase
	{
		const wchar_t* Path;
		std::optional<std::wstring> Text;
		FArguments Expected;
	};
	const FCase Cases[] = {
		{L"/opt/my game/run", std::nullopt, {L"/opt/my game/run"}},
		{L"/opt/game", L"", {L"/opt/game"}},
		{L"/opt/game", L"-a \"b c\" \"\" d\\\"e", {L"/opt/game", L"-a", L"b c", L"", L"d\"e"}},
		// A quote in the path neither ends the program name nor reaches the arguments.
		{L"/a\"b", L"x", {L"/a\"b", L"x"}},
	};
	for (const FCase& Case : Cases)
	{
		EXPECT_EQ(FormProcessArguments(Case.Path, Case.Text), Case.Expected) << Case.Path;
	}
	// The logged command line keeps the Windows form.
	EXPECT_EQ(FormProcessCommandLine(L"/a\"b", std::wstring(L"x")), L"\"/a\"b\" x");
}

namespace
{
	// Plays the system's part with forced outcomes: a failing wait cannot be
	// brought about with a real child on every system.
	class FScriptedStarter final : public IProcessStarter
	{
	public:
		bool bStartResult = true;
		bool bWaitResult = true;
		uint32_t ErrorCode = 0;
		uint32_t ExitCode = 0;
		int Waits = 0;

		bool TryStart(const std::wstring&, const std::optional<std::wstring>&, bool, uint32_t& OutProcessId,
			uint32_t& OutErrorCode) override
		{
			OutProcessId = 4242;
			OutErrorCode = ErrorCode;
			return bStartResult;
		}
		bool TryWaitForExit(uint32_t& OutExitCode, uint32_t& OutErrorCode) override
		{
			++Waits;
			OutExitCode = ExitCode;
			OutErrorCode = ErrorCode;
			return bWaitResult;
		}
	};

	constexpr const wchar_t* Category = L"Test::Run";
}

TEST(RunProcess, FailedStartOrWaitStoresTheSystemErrorInsteadOfAnExitCode)
{
	FLogCapture Capture;
	FScriptedStarter Starter;
	Starter.bStartResult = false;
	Starter.ErrorCode = 2;
	uint32_t ExitCode = 7;
	EXPECT_FALSE(RunProcess(Category, Starter, L"missing", std::nullopt, std::nullopt, false, true, &ExitCode));
	EXPECT_EQ(ExitCode, 2u);
	EXPECT_EQ(Starter.Waits, 0);

	Capture.Clear();
	Starter.bStartResult = true;
	Starter.bWaitResult = false;
	Starter.ErrorCode = 10;
	EXPECT_FALSE(RunProcess(Category, Starter, L"game", std::nullopt, std::nullopt, false, true, &ExitCode));
	EXPECT_EQ(ExitCode, 10u);
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, Category, L"Waiting for exit code"));
	for (const FLogCapture::FEntry& Entry : Capture.Entries())
	{
		EXPECT_EQ(Entry.Message.find(L"Process exited"), std::wstring::npos) << Capture.Dump();
	}
}

TEST(SystemErrorLine, CarriesCodeAndTextOrSaysUnknown)
{
	// The text as the system gave it, trailing space included.
	EXPECT_EQ(FormatSystemErrorLine(L"Failed", 0xC0000005, L"Access violation. "),
		L"Failed: ErrorCode=0xC0000005 (-1073741819), ErrorMessage=Access violation. ");
	// A code without a text of the system's (FormatMessageW has none for it).
	EXPECT_EQ(FormatSystemErrorLine(L"Failed", 317, L""), L"Failed: Unknown reason");
}

TEST(GuidComponents, FollowTheBytesOfTheTextForm)
{
	// 00112233-4455-6677-8899-AABBCCDDEEFF
	const FGuidComponents Components = SplitGuidBytes(
		{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF});
	EXPECT_EQ(Components.A, 0x00112233u);
	EXPECT_EQ(Components.B, 0x44556677u);
	EXPECT_EQ(Components.C, 0x8899AABBu);
	EXPECT_EQ(Components.D, 0xCCDDEEFFu);
}
