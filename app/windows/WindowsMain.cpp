#include "app/windows/WindowsEntryEnvironment.h"
#include "platform/windows/WindowsHeaders.h"

#include "BuildConfig.h"

// The end-to-end tests build this entry a second time with a loopback address.
#ifndef KVT_ENTRY_TELEMETRY_URL
#define KVT_ENTRY_TELEMETRY_URL KVT_TELEMETRY_URL
#endif

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR ArgumentText, int)
{
	return RunBootstrapperEntry(MakeWindowsEntryEnvironment(KVT_ENTRY_TELEMETRY_URL), ArgumentText != nullptr ? ArgumentText : L"");
}
