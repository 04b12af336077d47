// The floor for any launcher: one extra process that sets one variable and
// starts the game.
#include "platform/windows/WindowsHeaders.h"

#include <string>

int wmain(int ArgumentCount, wchar_t** Arguments)
{
	if (ArgumentCount < 2)
	{
		return 2;
	}
	::SetEnvironmentVariableW(L"KVT_SESSION_GUID", L"00000000-0000-0000-0000-000000000000");
	std::wstring CommandLine = L"\"" + std::wstring(Arguments[1]) + L"\"";
	STARTUPINFOW StartupInfo{};
	StartupInfo.cb = sizeof(StartupInfo);
	PROCESS_INFORMATION Process{};
	if (!::CreateProcessW(nullptr, CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &StartupInfo, &Process))
	{
		return 1;
	}
	::CloseHandle(Process.hThread);
	::CloseHandle(Process.hProcess);
	return 0;
}
