#include "tests/configure_tool/ToolTestSupport.h"

// Linux programs carry no icons or version information: the platform refuses,
// naming the reason in its own words, and the configure sequence stops before
// the INI.
TEST_F(ConfigureTool, CopyResourcesFailsForALinuxLauncherNamingTheReason)
{
	CopyInto(KVT_TEST_REPORT_HELPER, L"out/Game");
	EXPECT_EQ(RunTool(L"-o Launcher -a Game -r", L"out"), 1u);
	const std::wstring Log = ToolLog();
	const size_t Reason = Log.find(L"[Error] [FLinuxPlatform::");
	const size_t Failure = Log.find(L"Failed to copy program icon and version info from the application executable into "
									L"the output Bootstrapper executable.");
	ASSERT_NE(Reason, std::wstring::npos) << NarrowLog();
	ASSERT_NE(Failure, std::wstring::npos) << NarrowLog();
	EXPECT_LT(Reason, Failure);
	EXPECT_FALSE(Exists(L"out/Launcher.ini"));
}
