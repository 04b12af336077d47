#include "app/linux/LinuxEntryEnvironment.h"
#include "platform/CommandLineArguments.h"

#include <vector>

int main(int ArgumentCount, char** Arguments)
{
	try
	{
		const std::vector<std::wstring> All = DecodeProgramArguments(ArgumentCount, Arguments);
		// The children get the argument text that splits back into exactly our arguments.
		const std::vector<std::wstring> Rest(All.size() > 1 ? All.begin() + 1 : All.end(), All.end());
		return RunBootstrapperEntry(MakeLinuxEntryEnvironment(JoinCommandLineArguments(All)), JoinCommandLineArguments(Rest));
	}
	catch (...)
	{
		return 1;
	}
}
