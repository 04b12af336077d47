#include "tests/support/TestFiles.h"

#include "platform/FileNames.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

// Random names keep test binaries that run at once out of each other's folders.
FTempDirectory::FTempDirectory()
{
	std::random_device Random;
	do
	{
		Root = std::filesystem::temp_directory_path() / ("kvt-test-" + std::to_string(Random()));
	} while (!std::filesystem::create_directory(Root));
}

FTempDirectory::~FTempDirectory()
{
	std::error_code Error;
	std::filesystem::remove_all(Root, Error);
}

std::wstring FTempDirectory::Wide(const std::wstring& RelativePath) const
{
	return RelativePath.empty() ? ToWide(Root) : ToWide(Root / ToPath(RelativePath));
}

std::wstring ToWide(const std::filesystem::path& Path)
{
	std::wstring Result;
	EXPECT_TRUE(TryFromFileSystemPath(Path, Result));
	return Result;
}

std::filesystem::path ToPath(const std::wstring& Path)
{
	std::filesystem::path Result;
	EXPECT_TRUE(TryToFileSystemPath(Path, Result));
	return Result;
}

std::string ReadFileBytes(const std::filesystem::path& Path)
{
	std::ifstream Stream(Path, std::ios::binary);
	return std::string((std::istreambuf_iterator<char>(Stream)), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::filesystem::path& Path, const std::string& Bytes)
{
	std::ofstream Stream(Path, std::ios::binary | std::ios::trunc);
	Stream.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
}

std::string DiskLineEnd()
{
	return TextFilesUseCrLf() ? "\r\n" : "\n";
}
