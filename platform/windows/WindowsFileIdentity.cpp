#include "platform/FileIdentity.h"

#include "platform/windows/WindowsHandles.h"

bool TryGetFileIdentity(const std::filesystem::path& Path, FFileIdentity& OutIdentity)
{
	// No access rights are needed to read the identity, so a running
	// executable or a locked file can still be asked.
	FScopedKernelHandle File(::CreateFileW(Path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
		nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
	if (!File.IsValid())
	{
		return false;
	}
	BY_HANDLE_FILE_INFORMATION Information{};
	if (!::GetFileInformationByHandle(File.Get(), &Information))
	{
		return false;
	}
	OutIdentity.Device = Information.dwVolumeSerialNumber;
	OutIdentity.Index = (static_cast<uint64_t>(Information.nFileIndexHigh) << 32) | Information.nFileIndexLow;
	return true;
}
