#include "tests/configure_tool/ToolTestSupport.h"

TEST_F(ConfigureTool, CopyResourcesFailsHereNamingTheReason)
{
	CopyInto(KVT_TEST_REPORT_HELPER, L"out/Game");
	EXPECT_EQ(RunTool(L"-o Launcher -a Game -r", L"out"), 1u);
	EXPECT_TRUE(LogHas(L"no resource editor for executables")) << NarrowLog();
	EXPECT_TRUE(LogHas(L"Failed to copy program icon and version info from the application executable into the output "
					   L"Bootstrapper executable."));
	EXPECT_FALSE(Exists(L"out/Launcher.ini"));
}
