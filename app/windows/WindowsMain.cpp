#include "app/windows/WindowsEntryEnvironment.h"
#include "platform/windows/WindowsHeaders.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR ArgumentText, int)
{
	return RunBootstrapperEntry(MakeWindowsEntryEnvironment(), ArgumentText != nullptr ? ArgumentText : L"");
}
