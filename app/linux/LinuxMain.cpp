#include "app/linux/LinuxEntryEnvironment.h"
#include "app/linux/LinuxInheritedState.h"
#include "platform/CommandLineArguments.h"
#include "platform/SystemErrorLog.h"

#include "BuildConfig.h"

#include <vector>

// The end-to-end tests build this entry a second time with a loopback address.
#ifndef KVT_ENTRY_TELEMETRY_URL
#define KVT_ENTRY_TELEMETRY_URL KVT_TELEMETRY_URL
#endif

int main(int ArgumentCount, char** Arguments)
{
	ResetInheritedState();
	// What comes before the entry has a guard of its own; the entry guards the rest.
	FEntryEnvironment Environment;
	std::wstring ArgumentText;
	const bool bPrepared = GuardOperation(L"main", false, [&]
	{
		const std::vector<std::wstring> All = DecodeProgramArguments(ArgumentCount, Arguments);
		// The children get the argument text that splits back into exactly our arguments.
		const std::vector<std::wstring> Rest(All.size() > 1 ? All.begin() + 1 : All.end(), All.end());
		Environment = MakeLinuxEntryEnvironment(JoinCommandLineArguments(All), KVT_ENTRY_TELEMETRY_URL);
		ArgumentText = JoinCommandLineArguments(Rest);
		return true;
	});
	return bPrepared ? RunBootstrapperEntry(Environment, ArgumentText) : 1;
}
