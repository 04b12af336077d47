#pragma once

#include "platform/FileNames.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

// For expectations that differ between the systems.
inline constexpr bool bWindows = KVT_TEST_ON_WINDOWS != 0;

inline std::wstring ToWide(const std::filesystem::path& Path)
{
	std::wstring Result;
	EXPECT_TRUE(TryFromFileSystemPath(Path, Result));
	return Result;
}

inline std::filesystem::path ToPath(const std::wstring& Path)
{
	std::filesystem::path Result;
	EXPECT_TRUE(TryToFileSystemPath(Path, Result));
	return Result;
}

inline std::string ReadFileBytes(const std::filesystem::path& Path)
{
	std::ifstream Stream(Path, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(Stream), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::filesystem::path& Path, const std::string& Bytes)
{
	std::ofstream(Path, std::ios::binary | std::ios::trunc) << Bytes;
}

// The line end the system's text files carry on disk.
inline std::string DiskLineEnd()
{
	return TextFilesUseCrLf() ? "\r\n" : "\n";
}

// A fresh folder under the system's temporary folder, removed with its content.
// Random names keep test binaries that run at once out of each other's folders.
class FTempDirectory
{
public:
	FTempDirectory()
	{
		std::random_device Random;
		do
		{
			Root = std::filesystem::temp_directory_path() / ("kvt-test-" + std::to_string(Random()));
		} while (!std::filesystem::create_directory(Root));
	}
	~FTempDirectory()
	{
		std::error_code Error;
		std::filesystem::remove_all(Root, Error);
	}

	const std::filesystem::path& Path() const { return Root; }
	std::wstring Wide(const std::wstring& RelativePath = L"") const
	{
		return RelativePath.empty() ? ToWide(Root) : ToWide(Root / ToPath(RelativePath));
	}

private:
	std::filesystem::path Root;
};
