#pragma once

#include "platform/Platform.h"

// The file operations, written once over the standard library for every system.
class FGenericPlatform : public IPlatform
{
public:
	bool PathExists(const std::wstring& Path) override;
	bool FileExists(const std::wstring& Path) override;
	bool TryCopyFile(const std::wstring& SourcePath, const std::wstring& TargetPath) override;
	bool TryCreatePathDirectories(const std::wstring& Path, bool bLog) override;
	bool TryReadFile(const std::wstring& Path, std::wstring& OutText) override;
	bool TryWriteFile(const std::wstring& Path, const std::vector<uint8_t>& Bytes) override;
	bool TryWriteFile(const std::wstring& Path, const std::wstring& Text, bool bAppend, bool bLog) override;
	bool IsSameFile(const std::wstring& Left, const std::wstring& Right) override;

protected:
	FGenericPlatform() = default;
};
