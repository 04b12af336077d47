#include "platform/linux/LinuxPlatform.h"

#include "app/Log.h"
#include "platform/SystemErrorLog.h"
#include "platform/GuidComponents.h"

#include <cerrno>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace
{
	const std::wstring LinuxPlatformName = L"Linux";
}

bool FLinuxPlatform::TryCreateGuid(uint32_t& OutA, uint32_t& OutB, uint32_t& OutC, uint32_t& OutD)
{
	constexpr const wchar_t* Category = L"FLinuxPlatform::TryCreateGuid";
	std::array<uint8_t, 16> Bytes{};
	size_t Filled = 0;
	while (Filled < Bytes.size())
	{
		const ssize_t Count = ::getrandom(Bytes.data() + Filled, Bytes.size() - Filled, 0);
		if (Count < 0)
		{
			if (errno == EINTR)
			{
				continue;
			}
			LogErrorWithLastErrorMessage(L"Failed to create guid with getrandom");
			return false;
		}
		Filled += static_cast<size_t>(Count);
	}
	// A random (version 4) GUID, like the ones Windows makes.
	Bytes[6] = static_cast<uint8_t>((Bytes[6] & 0x0F) | 0x40);
	Bytes[8] = static_cast<uint8_t>((Bytes[8] & 0x3F) | 0x80);

	return StoreCreatedGuid(Category, SplitGuidBytes(Bytes), OutA, OutB, OutC, OutD);
}

bool FLinuxPlatform::TryGetConsoleWidth(uint32_t& OutWidth)
{
	struct winsize Size{};
	if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &Size) != 0)
	{
		// Also the way out when the output is a pipe or a file.
		LogErrorWithLastErrorMessage(L"Failed to get console width");
		return false;
	}
	if (Size.ws_col == 0)
	{
		// A terminal that never had its size set.
		LogErrorWithErrorCode(L"Failed to get console width", 0);
		return false;
	}
	OutWidth = Size.ws_col;
	return true;
}

std::wstring FLinuxPlatform::GetPlatformName()
{
	return LinuxPlatformName;
}

// The Windows fields in the same places: the kernel release's first three
// numbers as major, minor and build; product type 1 (a workstation) and suite
// mask 0, which Linux has no notion of; and the bitness of this process.
std::wstring FLinuxPlatform::GetPlatformVersion()
{
	struct utsname Names{};
	if (::uname(&Names) != 0)
	{
		return std::wstring();
	}
	// "6.1.0-18-amd64": numbers separated by full stops, up to the first other character.
	int Numbers[3] = {0, 0, 0};
	const char* Cursor = Names.release;
	for (int Index = 0; Index < 3; ++Index)
	{
		if (*Cursor < '0' || *Cursor > '9')
		{
			if (Index == 0)
			{
				return std::wstring();
			}
			break;
		}
		for (int Digits = 0; *Cursor >= '0' && *Cursor <= '9'; ++Cursor, ++Digits)
		{
			if (Digits < 9)
			{
				Numbers[Index] = Numbers[Index] * 10 + (*Cursor - '0');
			}
		}
		if (*Cursor != '.')
		{
			break;
		}
		++Cursor;
	}
	const wchar_t* Bitness = sizeof(void*) == 8 ? L"64bit" : L"32bit";
	return FormatString(L"%d.%d.%d.%d.%d.%s", Numbers[0], Numbers[1], Numbers[2], 1, 0, Bitness);
}
