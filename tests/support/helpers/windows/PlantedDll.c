/* Named like a system DLL and planted beside a program by the DLL search
   tests: a process that loads it gets a "<its path>.loaded" file beside it. */
#include "platform/windows/WindowsHeaders.h"

BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID Reserved)
{
	wchar_t Path[MAX_PATH + 8] = {0};
	(void)Reserved;
	if (Reason == DLL_PROCESS_ATTACH && GetModuleFileNameW(Instance, Path, MAX_PATH) < MAX_PATH)
	{
		lstrcatW(Path, L".loaded");
		CloseHandle(CreateFileW(Path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL));
	}
	return TRUE;
}
