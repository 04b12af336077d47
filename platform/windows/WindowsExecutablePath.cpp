#include "platform/windows/WindowsPlatform.h"

#include "platform/FileNames.h"
#include "platform/windows/WindowsHeaders.h"

#include <filesystem>
#include <vector>

namespace
{
	void ModuleAnchor() {}
}

std::wstring FWindowsPlatform::GetExecutablePath()
{
	// The module that holds this code, found by an address inside it.
	HMODULE Module = nullptr;
	if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
			reinterpret_cast<LPCWSTR>(&ModuleAnchor), &Module))
	{
		return std::wstring();
	}

	// Grow past MAX_PATH instead of acting on a truncated name. A truncated
	// result is not terminated on every system, so only the returned length counts.
	std::vector<wchar_t> Buffer(MAX_PATH);
	for (;;)
	{
		const DWORD Length = ::GetModuleFileNameW(Module, Buffer.data(), static_cast<DWORD>(Buffer.size()));
		if (Length == 0)
		{
			return std::wstring();
		}
		if (Length < Buffer.size())
		{
			std::filesystem::path Path(std::wstring(Buffer.data(), Length));
			std::error_code Error;
			const std::filesystem::path Absolute = std::filesystem::absolute(Path, Error);
			std::wstring Result;
			if (Error || !TryFromFileSystemPath(Absolute, Result))
			{
				return std::wstring();
			}
			return Result;
		}
		if (Buffer.size() >= 32768)
		{
			return std::wstring();
		}
		Buffer.resize(Buffer.size() * 2);
	}
}
