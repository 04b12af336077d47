#pragma once

#include "platform/ScopedHandle.h"

#include <cstdint>
#include <string>

// The log file, kept open for a run instead of opened and closed for every
// line: each line is one unbuffered append-mode write, so the file holds every
// line written up to the moment the process ends, however it ends. Others may
// read, write and delete it meanwhile, and no child process inherits it (the
// User Helper and the game never hold the launcher's log). Each system gives
// the three calls (platform/windows/WindowsLogFile.cpp,
// platform/linux/LinuxLogFile.cpp); both systems' handles fit an intptr_t,
// with -1 for none.

// Opens the file for appending, creating it when missing (its folder must
// exist), emptied first when asked; -1 on failure. Something other than a
// regular file in the log's place (a FIFO, a device) is a failure, found
// without waiting: a FIFO with no reader would otherwise hold the launcher
// before the game starts.
intptr_t OpenLogFile(const std::wstring& Path, bool bEmpty);
// One write of all the bytes at the end of the file; false when it failed.
bool AppendToLogFile(intptr_t File, const std::string& Bytes);
void CloseLogFile(intptr_t File);

struct FLogFileTraits
{
	using HandleType = intptr_t;
	static HandleType Invalid() { return -1; }
	static bool IsValid(HandleType Handle) { return Handle != -1; }
	static bool Release(HandleType Handle)
	{
		CloseLogFile(Handle);
		return true;
	}
};

using FScopedLogFile = FScopedHandle<FLogFileTraits>;
