#include "platform/FileCopy.h"

#include "platform/windows/WindowsHeaders.h"

// The system's own copy: the standard library's replacing copy fails on some
// Windows runtimes when the target exists.
bool CopyFileReplacing(const std::filesystem::path& Source, const std::filesystem::path& Target)
{
	return ::CopyFileW(Source.c_str(), Target.c_str(), FALSE) != FALSE;
}
