#include "platform/windows/WindowsPlatform.h"

#include "app/Log.h"
#include "platform/SystemErrorLog.h"
#include "platform/pe/PeHeaders.h"
#include "platform/windows/WindowsHandles.h"

namespace
{
	constexpr const wchar_t* Category = L"FWindowsPlatform::TryGetExecutableType";
}

bool FWindowsPlatform::TryGetExecutableType(const std::wstring& Path, EExecutableType& OutType)
{
	return GuardOperation(Category, false, [&]
	{
		Log(ELogLevel::Verbose, Category, L"Attempting to get executable type for executable path: '%s'", Path);

		// Declared in this order so that they are released as view, mapping, file.
		const FScopedKernelHandle File(::CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
			FILE_ATTRIBUTE_NORMAL, nullptr));
		if (!File.IsValid())
		{
			LogErrorWithLastErrorMessage(L"Failed to create file handle");
			return false;
		}

		LARGE_INTEGER FileSize{};
		if (!::GetFileSizeEx(File.Get(), &FileSize))
		{
			LogErrorWithLastErrorMessage(L"Failed to read the file size");
			return false;
		}
		if (FileSize.QuadPart < 0 || !CheckExecutableFileSize(static_cast<uint64_t>(FileSize.QuadPart), Category))
		{
			return false;
		}

		const FScopedKernelHandle Mapping(::CreateFileMappingW(File.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
		if (!Mapping.IsValid())
		{
			LogErrorWithLastErrorMessage(L"Failed to CreateFileMapping");
			return false;
		}
		const FScopedMappedView View(::MapViewOfFile(Mapping.Get(), FILE_MAP_READ, 0, 0, 0));
		if (!View.IsValid())
		{
			LogErrorWithLastErrorMessage(L"Failed to MapViewOfFile");
			return false;
		}
		return TryReadExecutableType(static_cast<const uint8_t*>(View.Get()), static_cast<size_t>(FileSize.QuadPart),
			Category, OutType);
	});
}
