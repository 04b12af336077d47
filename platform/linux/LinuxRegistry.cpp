#include "platform/linux/LinuxPlatform.h"

#include "platform/SystemErrorLog.h"
#include "platform/Utf8.h"
#include "platform/ValueLookup.h"
#include "platform/linux/LinuxHandles.h"
#include "platform/linux/LinuxSystemText.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// Linux has no registry; the same sub-key and value name are looked up in the
// XDG configuration folders, the user's first:
//   $XDG_CONFIG_HOME (else $HOME/.config), then each folder of
//   $XDG_CONFIG_DIRS (else /etc/xdg); relative entries are ignored.
// A value is the file <folder>/<sub-key, its backslashes as folder separators>/<value name>.
// Its content is UTF-8; one trailing newline is not part of the value, and the
// text ends at a zero byte, as a registry string does. An empty file, one that
// is not a regular file, not UTF-8 or larger than MaxValueBytes counts as absent.
namespace
{
	constexpr off_t MaxValueBytes = 1 << 20;

	std::vector<std::filesystem::path> GetConfigFolders()
	{
		std::vector<std::filesystem::path> Folders;
		const char* ConfigHome = std::getenv("XDG_CONFIG_HOME");
		const char* Home = std::getenv("HOME");
		if (ConfigHome != nullptr && ConfigHome[0] == '/')
		{
			Folders.emplace_back(ConfigHome);
		}
		else if (Home != nullptr && Home[0] == '/')
		{
			Folders.emplace_back(std::filesystem::path(Home) / ".config");
		}

		const char* ConfigDirs = std::getenv("XDG_CONFIG_DIRS");
		const std::string Dirs = ConfigDirs != nullptr && ConfigDirs[0] != '\0' ? ConfigDirs : "/etc/xdg";
		size_t Start = 0;
		while (Start <= Dirs.size())
		{
			size_t End = Dirs.find(':', Start);
			if (End == std::string::npos)
			{
				End = Dirs.size();
			}
			if (End > Start && Dirs[Start] == '/')
			{
				Folders.emplace_back(Dirs.substr(Start, End - Start));
			}
			Start = End + 1;
		}
		return Folders;
	}

	// One part of the value's path: never a way out of the folder.
	bool TryAppendPathPart(std::filesystem::path& Path, const std::wstring& Part)
	{
		std::string Bytes;
		int ErrorCode = 0;
		if (Part == L"." || Part == L".." || Part.find(L'/') != std::wstring::npos ||
			!TryEncodeSystemText(Part, Bytes, ErrorCode))
		{
			return false;
		}
		Path /= Bytes;
		return true;
	}

	// The value's path below a configuration folder; false for names that cannot be one.
	bool TryMakeValuePath(const std::wstring& SubKeyName, const std::wstring& ValueName, std::filesystem::path& OutPath)
	{
		std::filesystem::path Path;
		size_t Start = 0;
		while (Start <= SubKeyName.size())
		{
			size_t End = SubKeyName.find(L'\\', Start);
			if (End == std::wstring::npos)
			{
				End = SubKeyName.size();
			}
			// Doubled or trailing backslashes add nothing.
			if (End > Start && !TryAppendPathPart(Path, SubKeyName.substr(Start, End - Start)))
			{
				return false;
			}
			Start = End + 1;
		}
		if (ValueName.empty() || !TryAppendPathPart(Path, ValueName))
		{
			return false;
		}
		OutPath = std::move(Path);
		return true;
	}

	bool TryReadValueFile(const std::filesystem::path& Path, std::wstring& OutValue)
	{
		// Not blocking: a FIFO in the value's place must not stall the launcher.
		const FScopedFileDescriptor File(::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
		struct stat Status{};
		if (!File || ::fstat(File.Get(), &Status) != 0 || !S_ISREG(Status.st_mode) || Status.st_size > MaxValueBytes)
		{
			return false;
		}

		std::string Bytes;
		char Chunk[4096];
		for (;;)
		{
			const ssize_t Count = ::read(File.Get(), Chunk, sizeof(Chunk));
			if (Count == 0)
			{
				break;
			}
			if (Count < 0)
			{
				if (errno == EINTR)
				{
					continue;
				}
				return false;
			}
			Bytes.append(Chunk, static_cast<size_t>(Count));
			if (Bytes.size() > static_cast<size_t>(MaxValueBytes))
			{
				return false;
			}
		}

		// Editors end the last line; that newline is not part of the value.
		if (!Bytes.empty() && Bytes.back() == '\n')
		{
			Bytes.pop_back();
		}
		std::wstring Text;
		size_t ErrorOffset = 0;
		if (!TryDecodeUtf8(Bytes, Text, ErrorOffset))
		{
			return false;
		}
		const size_t Zero = Text.find(L'\0');
		OutValue = Zero == std::wstring::npos ? std::move(Text) : Text.substr(0, Zero);
		return true;
	}
}

bool FLinuxPlatform::TryGetValueFromRegistry(const std::wstring& SubKeyName, const std::wstring& ValueName,
	std::wstring& OutValue)
{
	constexpr const wchar_t* Category = L"FLinuxPlatform::TryGetValueFromRegistry";
	return GuardOperation(Category, false, [&]
	{
		std::filesystem::path RelativePath;
		const bool bValidName = TryMakeValuePath(SubKeyName, ValueName, RelativePath);
		const std::vector<std::filesystem::path> Folders = bValidName ? GetConfigFolders() : std::vector<std::filesystem::path>();
		return TryLookUpValue(Category, SubKeyName, ValueName, Folders.size(),
			[&](size_t Index, std::wstring& OutText) { return TryReadValueFile(Folders[Index] / RelativePath, OutText); },
			OutValue);
	});
}
