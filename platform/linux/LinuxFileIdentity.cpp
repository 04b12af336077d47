#include "platform/FileIdentity.h"

#include <sys/stat.h>

bool TryGetFileIdentity(const std::filesystem::path& Path, FFileIdentity& OutIdentity)
{
	// stat follows symbolic links, so a link and its target are one file.
	struct stat Status;
	if (::stat(Path.c_str(), &Status) != 0)
	{
		return false;
	}
	OutIdentity.Device = static_cast<uint64_t>(Status.st_dev);
	OutIdentity.Index = static_cast<uint64_t>(Status.st_ino);
	return true;
}
