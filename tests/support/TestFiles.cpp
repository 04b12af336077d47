#include "tests/support/TestFiles.h"

#include "platform/FileNames.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

FTempDirectory::FTempDirectory()
{
	std::random_device Random;
	const std::filesystem::path Base = std::filesystem::temp_directory_path();
	for (int Attempt = 0; Attempt < 100; ++Attempt)
	{
		const std::filesystem::path Candidate = Base / ("kvt-test-" + std::to_string(Random()) + "-" + std::to_string(Attempt));
		std::error_code Error;
		if (std::filesystem::create_directory(Candidate, Error))
		{
			Root = Candidate;
			return;
		}
	}
	ADD_FAILURE() << "could not create a temporary folder";
}

FTempDirectory::~FTempDirectory()
{
	std::error_code Error;
	if (!Root.empty())
	{
		std::filesystem::remove_all(Root, Error);
	}
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
