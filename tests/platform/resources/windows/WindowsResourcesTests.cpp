#include "platform/windows/WindowsHandles.h"
#include "platform/windows/WindowsPlatform.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

// Resources of a module the program has loaded, and the system's refusal of
// what is no image.
TEST(WindowsResources, LoadsOneResourceOfALoadedModuleAndRefusesQuietly)
{
	FLogCapture Capture;
	const FScopedModule Module(
		::LoadLibraryExW(KVT_TEST_SAMPLE_APP, nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE));
	ASSERT_TRUE(Module.IsValid());
	std::vector<uint8_t> Bytes;
	ASSERT_TRUE(FWindowsPlatform::TryLoadResourceData(Module.Get(), L"#10", L"#300", Bytes));
	EXPECT_EQ(std::string(Bytes.begin(), Bytes.end()), std::string("sample application data", 23));

	// Refusals are quiet: the caller says what was missing.
	Bytes = {7};
	EXPECT_FALSE(FWindowsPlatform::TryLoadResourceData(nullptr, L"#10", L"#300", Bytes));
	EXPECT_FALSE(FWindowsPlatform::TryLoadResourceData(Module.Get(), L"#10", L"#301", Bytes));
	EXPECT_FALSE(FWindowsPlatform::TryLoadResourceData(::GetModuleHandleW(nullptr), L"BINARY", L"BOOTSTRAPPER_EXECUTABLE", Bytes));
	EXPECT_EQ(Bytes, std::vector<uint8_t>({7}));
	EXPECT_TRUE(Capture.Entries().empty()) << Capture.Dump();

	FTempDirectory Directory;
	WriteFileBytes(Directory.Path() / "notes.txt", "no executable here");
	std::vector<FResourceRecord> Records(1);
	EXPECT_FALSE(FWindowsPlatform::TryGetResources(Directory.Wide(L"notes.txt"), {3, 14, 16}, Records));
	EXPECT_TRUE(Records.empty());
	ASSERT_EQ(Capture.Count(ELogLevel::Error), 1u) << Capture.Dump();
	EXPECT_EQ(Capture.Entries().back().Message.rfind(L"Failed to load path: ", 0), 0u) << Capture.Dump();
}
