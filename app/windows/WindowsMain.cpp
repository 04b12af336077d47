#include "app/windows/WindowsEntryEnvironment.h"
#include "platform/SystemErrorLog.h"
#include "platform/windows/WindowsHeaders.h"

#include "BuildConfig.h"

// The end-to-end tests build this entry a second time with a loopback address.
#ifndef KVT_ENTRY_TELEMETRY_URL
#define KVT_ENTRY_TELEMETRY_URL KVT_TELEMETRY_URL
#endif

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR ArgumentText, int)
{
	RestrictDllSearchToSystemFolder();
	// What comes before the entry has a guard of its own; the entry guards the rest.
	FEntryEnvironment Environment;
	std::wstring Arguments;
	const bool bPrepared = GuardOperation(L"wWinMain", false, [&]
	{
		Environment = MakeWindowsEntryEnvironment(KVT_ENTRY_TELEMETRY_URL);
		Arguments = ArgumentText != nullptr ? ArgumentText : L"";
		return true;
	});
	return bPrepared ? RunBootstrapperEntry(Environment, Arguments) : 1;
}
