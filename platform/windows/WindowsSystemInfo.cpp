#include "platform/windows/WindowsPlatform.h"

#include "app/Log.h"
#include "platform/SystemErrorLog.h"
#include "platform/windows/WindowsGuid.h"
#include "platform/windows/WindowsHeaders.h"

#include <objbase.h>

namespace
{
	const std::wstring WindowsPlatformName = L"Windows";

	using FIsWow64Process = BOOL(WINAPI*)(HANDLE, PBOOL);

	// "64bit" only for a 32-bit process on 64-bit Windows: the telemetry has
	// always read the flag this way, so a 64-bit launcher reports "32bit".
	const wchar_t* GetBitnessText()
	{
		const HMODULE Kernel = ::GetModuleHandleW(L"kernel32.dll");
		if (Kernel == nullptr)
		{
			return L"32bit";
		}
		const FARPROC Address = ::GetProcAddress(Kernel, "IsWow64Process");
		if (Address == nullptr)
		{
			return L"32bit";
		}
		const auto IsWow64Process = reinterpret_cast<FIsWow64Process>(reinterpret_cast<void (*)()>(Address));
		BOOL bWow64 = FALSE;
		return IsWow64Process(::GetCurrentProcess(), &bWow64) && bWow64 ? L"64bit" : L"32bit";
	}
}

bool FWindowsPlatform::TryCreateGuid(uint32_t& OutA, uint32_t& OutB, uint32_t& OutC, uint32_t& OutD)
{
	constexpr const wchar_t* Category = L"FWindowsPlatform::TryCreateGuid";
	// No COM initialisation is needed for this one call.
	GUID Guid{};
	if (::CoCreateGuid(&Guid) != S_OK)
	{
		Log(ELogLevel::Error, Category, L"Failed to create guid with CoCreateGuid");
		return false;
	}
	return StoreCreatedGuid(Category, SplitGuid(Guid), OutA, OutB, OutC, OutD);
}

bool FWindowsPlatform::TryGetConsoleWidth(uint32_t& OutWidth)
{
	CONSOLE_SCREEN_BUFFER_INFO Information{};
	if (!::GetConsoleScreenBufferInfo(::GetStdHandle(STD_OUTPUT_HANDLE), &Information))
	{
		// Also the way out for a launcher whose output is no console window.
		LogErrorWithLastErrorMessage(L"Failed to get console width");
		return false;
	}
	// The visible window, not the whole buffer.
	OutWidth = static_cast<uint32_t>(static_cast<int32_t>(Information.srWindow.Right) -
		static_cast<int32_t>(Information.srWindow.Left) + 1);
	return true;
}

std::wstring FWindowsPlatform::GetPlatformName()
{
	return WindowsPlatformName;
}

std::wstring FWindowsPlatform::GetPlatformVersion()
{
	const wchar_t* Bitness = GetBitnessText();

	// The manifest declares the systems up to Windows 10, so this is the true
	// version and not one of compatibility.
	OSVERSIONINFOEXW Version{};
	static_assert(sizeof(Version) == 284);
	Version.dwOSVersionInfoSize = sizeof(Version);
	if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&Version)))
	{
		return std::wstring();
	}
	return FormatString(L"%d.%d.%d.%d.%d.%s", static_cast<int>(Version.dwMajorVersion),
		static_cast<int>(Version.dwMinorVersion), static_cast<int>(Version.dwBuildNumber),
		static_cast<int>(Version.wProductType), static_cast<int>(Version.wSuiteMask), Bitness);
}
