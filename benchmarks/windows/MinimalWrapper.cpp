// The floor for any launcher: one extra process that sets one variable and
// starts the game. Built like the launcher (GUI subsystem, static runtime) and
// starting the game as the launcher does, detached from any console: a GUI
// program that starts a console game without that has Wine open a console for
// it first, a cost the launcher never pays.
//
// Built a second time with KVT_WRAPPER_GUID, it also makes the session GUID
// with CoCreateGuid first, as the launcher must before the game starts: under
// Wine ole32 brings user32, gdi32 and more with it, a cost no launcher that
// asks the system for its GUID can avoid.
#include "platform/windows/WindowsHeaders.h"

#include <string>

#ifdef KVT_WRAPPER_GUID
#include <objbase.h>
#endif

int wmain(int ArgumentCount, wchar_t** Arguments)
{
	if (ArgumentCount < 2)
	{
		return 2;
	}
	const wchar_t* Value = L"00000000-0000-0000-0000-000000000000";
#ifdef KVT_WRAPPER_GUID
	GUID Guid{};
	if (::CoCreateGuid(&Guid) != S_OK)
	{
		return 3;
	}
	wchar_t Text[40] = {};
	if (::StringFromGUID2(Guid, Text, 40) == 0)
	{
		return 3;
	}
	Value = Text;
#endif
	::SetEnvironmentVariableW(L"KVT_SESSION_GUID", Value);
	std::wstring CommandLine = L"\"" + std::wstring(Arguments[1]) + L"\"";
	STARTUPINFOW StartupInfo{};
	StartupInfo.cb = sizeof(StartupInfo);
	PROCESS_INFORMATION Process{};
	if (!::CreateProcessW(nullptr, CommandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &StartupInfo, &Process))
	{
		return 1;
	}
	::CloseHandle(Process.hThread);
	::CloseHandle(Process.hProcess);
	return 0;
}
