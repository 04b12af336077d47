/* Named like a system DLL and put beside a program by the DLL search tests:
   a process that loads it leaves "<this DLL's path>.loaded" beside it. It has
   none of the system DLL's functions, so what the process does next fails. */
#include "platform/windows/WindowsHeaders.h"

BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID Reserved)
{
	(void)Reserved;
	if (Reason == DLL_PROCESS_ATTACH)
	{
		wchar_t Path[MAX_PATH + 8];
		const DWORD Length = GetModuleFileNameW(Instance, Path, MAX_PATH);
		if (Length > 0 && Length < MAX_PATH)
		{
			lstrcpyW(Path + Length, L".loaded");
			HANDLE File = CreateFileW(Path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
			if (File != INVALID_HANDLE_VALUE)
			{
				CloseHandle(File);
			}
		}
	}
	return TRUE;
}
