#include "platform/EmbeddedResources.h"
#include "platform/linux/LinuxPlatform.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

namespace
{
	const uint8_t PayloadBytes[] = {'k', 'v', 't'};
	const FEmbeddedResource Payload(L"BINARY", L"LINUX_PAYLOAD", std::begin(PayloadBytes), std::end(PayloadBytes));
	const FEmbeddedResource Empty(L"BINARY", L"LINUX_EMPTY", std::begin(PayloadBytes), std::begin(PayloadBytes));

	// Bytes this process has read through read() and its kin so far.
	uint64_t BytesReadSoFar()
	{
		const std::string Io = ReadFileBytes("/proc/self/io");
		return std::stoull(Io.substr(Io.find("rchar: ") + 7));
	}
}

TEST(LinuxResources, LoadsCarriedBytesAndRefusesQuietly)
{
	FLogCapture Capture;
	std::vector<uint8_t> Bytes;
	ASSERT_TRUE(FLinuxPlatform::TryLoadResourceData(L"BINARY", L"LINUX_PAYLOAD", Bytes));
	EXPECT_EQ(Bytes, std::vector<uint8_t>({'k', 'v', 't'}));

	Bytes = {1};
	EXPECT_FALSE(FLinuxPlatform::TryLoadResourceData(L"BINARY", L"LINUX_EMPTY", Bytes));
	EXPECT_FALSE(FLinuxPlatform::TryLoadResourceData(L"BINARY", L"BOOTSTRAPPER_EXECUTABLE", Bytes));
	EXPECT_EQ(Bytes, std::vector<uint8_t>({1}));
	EXPECT_TRUE(Capture.Entries().empty()) << Capture.Dump();
}

TEST(LinuxResources, RefusesWhatIsNoWindowsExecutableAndLeavesTheTarget)
{
	FTempDirectory Directory;
	WriteFileBytes(Directory.Path() / "notes.txt", "no executable here");
	const std::string Elf("\x7f" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0 and the rest of a Linux program", 48);
	WriteFileBytes(Directory.Path() / "launcher", Elf);
	FLogCapture Capture;
	FLinuxPlatform Platform;

	EXPECT_FALSE(Platform.TryCopyExecutableResources(Directory.Wide(L"notes.txt"), Directory.Wide(L"launcher")));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, L"FLinuxPlatform::TryCopyExecutableResources",
		L"Failed to get resources from source path: '" + Directory.Wide(L"notes.txt") + L"'"));
	EXPECT_NE(Capture.Dump().find(L"Failed to load path: ErrorCode=0x8 (8)"), std::wstring::npos) << Capture.Dump();

	// A Linux launcher as the target: the user learns why, not only that it failed.
	Capture.Clear();
	std::vector<FResourceRecord> Records(1);
	EXPECT_FALSE(FLinuxPlatform::TryGetResources(Directory.Wide(L"launcher"), {3, 14, 16}, Records));
	EXPECT_TRUE(Records.empty());
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, L"FLinuxPlatform::TryGetResources",
		L"Failed because '" + Directory.Wide(L"launcher") + L"' is a Linux executable, which carries no icon or version resources"))
		<< Capture.Dump();
	EXPECT_EQ(ReadFileBytes(Directory.Path() / "launcher"), Elf);

	// 4 GiB without a byte on disk: past what the headers' offsets can describe.
	WriteFileBytes(Directory.Path() / "Huge.exe", "MZ");
	std::filesystem::resize_file(Directory.Path() / "Huge.exe", 4ull << 30);
	const uint64_t Before = BytesReadSoFar();
	ASSERT_GT(Before, 0u);
	EXPECT_FALSE(FLinuxPlatform::TryGetResources(Directory.Wide(L"Huge.exe"), {3, 14, 16}, Records));
	EXPECT_LT(BytesReadSoFar() - Before, 1u << 20) << "the file was read before its size was checked";
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, L"FLinuxPlatform::TryGetResources", L"Failed because of an invalid file size"));
}
