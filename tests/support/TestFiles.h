#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A fresh folder under the system's temporary folder, removed with its content.
class FTempDirectory
{
public:
	FTempDirectory();
	~FTempDirectory();
	FTempDirectory(const FTempDirectory&) = delete;
	FTempDirectory& operator=(const FTempDirectory&) = delete;

	const std::filesystem::path& Path() const { return Root; }
	// The path of a name inside the folder, as the program's wide text.
	std::wstring Wide(const std::wstring& RelativePath = L"") const;

private:
	std::filesystem::path Root;
};

std::wstring ToWide(const std::filesystem::path& Path);
std::filesystem::path ToPath(const std::wstring& Path);

std::string ReadFileBytes(const std::filesystem::path& Path);
void WriteFileBytes(const std::filesystem::path& Path, const std::string& Bytes);

// The line end the system's text files carry on disk.
std::string DiskLineEnd();
