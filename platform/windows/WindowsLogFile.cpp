#include "platform/LogFile.h"

#include "platform/windows/WindowsHandles.h"

intptr_t OpenLogFile(const std::wstring& Path, bool bEmpty)
{
	// FILE_APPEND_DATA alone: every write goes to the end of the file; emptying
	// needs the right to write anywhere. No security attributes, so the handle
	// is not inherited by the processes the launcher starts.
	FScopedKernelHandle File(::CreateFileW(Path.c_str(), bEmpty ? GENERIC_WRITE : FILE_APPEND_DATA,
		FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, bEmpty ? CREATE_ALWAYS : OPEN_ALWAYS,
		FILE_ATTRIBUTE_NORMAL, nullptr));
	// A device or a pipe by the log's name is no log.
	if (!File.IsValid() || ::GetFileType(File.Get()) != FILE_TYPE_DISK)
	{
		return -1;
	}
	return reinterpret_cast<intptr_t>(File.Detach());
}

bool AppendToLogFile(intptr_t File, const std::string& Bytes)
{
	DWORD Written = 0;
	return Bytes.size() <= MAXDWORD &&
		::WriteFile(reinterpret_cast<HANDLE>(File), Bytes.data(), static_cast<DWORD>(Bytes.size()), &Written, nullptr) &&
		Written == Bytes.size();
}

void CloseLogFile(intptr_t File)
{
	::CloseHandle(reinterpret_cast<HANDLE>(File));
}
