#include "platform/linux/LinuxPlatform.h"

#include "platform/FileNames.h"

#include <filesystem>
#include <system_error>

std::wstring FLinuxPlatform::GetExecutablePath()
{
	// The kernel's link names the executable file itself, already absolute.
	std::error_code Error;
	const std::filesystem::path Path = std::filesystem::read_symlink("/proc/self/exe", Error);
	std::wstring Result;
	if (Error || !Path.is_absolute() || !TryFromFileSystemPath(Path, Result))
	{
		return std::wstring();
	}
	return Result;
}
