#include "platform/EmbeddedResources.h"
#include "platform/linux/LinuxPlatform.h"
#include "tests/common/LogCapture.h"
#include "tests/common/TestFiles.h"

#include <gtest/gtest.h>

namespace
{
	const uint8_t PayloadBytes[] = {'k', 'v', 't'};
	const FEmbeddedResource Payload(L"BINARY", L"LINUX_PAYLOAD", std::begin(PayloadBytes), std::end(PayloadBytes));
	const FEmbeddedResource Empty(L"BINARY", L"LINUX_EMPTY", std::begin(PayloadBytes), std::begin(PayloadBytes));
}

TEST(LinuxResources, LoadsCarriedBytesAndRefusesQuietly)
{
	FLogCapture Capture;
	std::vector<uint8_t> Bytes;
	ASSERT_TRUE(FLinuxPlatform::TryLoadResourceData(L"BINARY", L"LINUX_PAYLOAD", Bytes));
	EXPECT_EQ(Bytes, std::vector<uint8_t>({'k', 'v', 't'}));

	Bytes = {1};
	EXPECT_FALSE(FLinuxPlatform::TryLoadResourceData(L"BINARY", L"LINUX_EMPTY", Bytes));
	EXPECT_FALSE(FLinuxPlatform::TryLoadResourceData(L"", L"LINUX_PAYLOAD", Bytes));
	EXPECT_FALSE(FLinuxPlatform::TryLoadResourceData(L"BINARY", L"", Bytes));
	EXPECT_FALSE(FLinuxPlatform::TryLoadResourceData(L"BINARY", L"BOOTSTRAPPER_EXECUTABLE", Bytes));
	EXPECT_EQ(Bytes, std::vector<uint8_t>({1}));
	EXPECT_TRUE(Capture.Entries().empty()) << Capture.Dump();
}

TEST(LinuxResources, CopyFailsNamingTheMissingEditorAndLeavesTheTarget)
{
	FTempDirectory Directory;
	WriteFileBytes(Directory.Path() / "source", "source bytes");
	WriteFileBytes(Directory.Path() / "target", "target bytes");
	FLogCapture Capture;
	FLinuxPlatform Platform;
	EXPECT_FALSE(Platform.TryCopyExecutableResources(Directory.Wide(L"source"), Directory.Wide(L"target")));
	ASSERT_EQ(Capture.Count(ELogLevel::Error), 1u);
	EXPECT_NE(Capture.Dump().find(L"no resource editor for executables"), std::wstring::npos) << Capture.Dump();
	EXPECT_EQ(ReadFileBytes(Directory.Path() / "target"), "target bytes");
}
