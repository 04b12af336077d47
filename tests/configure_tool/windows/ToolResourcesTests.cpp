#include "platform/windows/WindowsHandles.h"
#include "tests/configure_tool/ToolTestSupport.h"

TEST_F(ConfigureTool, CopyResourcesGivesTheLauncherTheApplicationsIconAndVersion)
{
	CopyInto(KVT_TEST_SAMPLE_APP, L"out\\Game.exe");
	ASSERT_EQ(RunTool(L"-o Launcher.exe -a Game.exe -r", L"out"), 0u) << NarrowLog();
	EXPECT_TRUE(LogHas(L"Program icon and file version of the target application executable copied into the output "
					   L"Bootstrapper executable."));

	const std::wstring Launcher = Directory.Wide(L"out\\Launcher.exe");
	const FScopedModule Module(::LoadLibraryExW(Launcher.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE));
	ASSERT_TRUE(Module.IsValid());
	EXPECT_NE(::FindResourceW(Module.Get(), L"MAINICON", MAKEINTRESOURCEW(14)), nullptr);
	EXPECT_NE(::FindResourceW(Module.Get(), MAKEINTRESOURCEW(101), MAKEINTRESOURCEW(14)), nullptr);
	EXPECT_NE(::FindResourceExW(Module.Get(), MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1), 0x407), nullptr);
	EXPECT_EQ(Read(L"out/Launcher.ini"), "ApplicationPath=Game.exe\r\nWorkingDirectory=\r\nWaitForExit=0\r\nNoOperation=0\r\n");
}
