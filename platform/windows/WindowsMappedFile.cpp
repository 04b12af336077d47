#include "platform/windows/WindowsMappedFile.h"

#include "platform/SystemErrorLog.h"
#include "platform/pe/PeHeaders.h"

bool TryMapExecutableFile(const std::wstring& Path, bool bWritable, const wchar_t* Category, FMappedFile& OutFile)
{
	OutFile.File.Reset(::CreateFileW(Path.c_str(), bWritable ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
		bWritable ? 0 : FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
	if (!OutFile.File.IsValid())
	{
		LogErrorWithLastErrorMessage(L"Failed to create file handle");
		return false;
	}
	LARGE_INTEGER FileSize{};
	if (!::GetFileSizeEx(OutFile.File.Get(), &FileSize))
	{
		LogErrorWithLastErrorMessage(L"Failed to read the file size");
		return false;
	}
	if (FileSize.QuadPart < 0 || !CheckExecutableFileSize(static_cast<uint64_t>(FileSize.QuadPart), Category))
	{
		return false;
	}
	OutFile.Size = static_cast<size_t>(FileSize.QuadPart);
	OutFile.Mapping.Reset(
		::CreateFileMappingW(OutFile.File.Get(), nullptr, bWritable ? PAGE_READWRITE : PAGE_READONLY, 0, 0, nullptr));
	if (!OutFile.Mapping.IsValid())
	{
		LogErrorWithLastErrorMessage(L"Failed to CreateFileMapping");
		return false;
	}
	OutFile.View.Reset(::MapViewOfFile(OutFile.Mapping.Get(), bWritable ? FILE_MAP_WRITE : FILE_MAP_READ, 0, 0, 0));
	if (!OutFile.View.IsValid())
	{
		LogErrorWithLastErrorMessage(L"Failed to MapViewOfFile");
		return false;
	}
	return true;
}
