#include "platform/PathRules.h"

#include "tests/config/ConfigTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The Windows path rules are plain text and hold on every system.

TEST(WindowsPathRules, AbsolutenessTable)
{
	for (const std::wstring Path : {L"C:\\Games\\App.exe", L"C:/Games/App.exe", L"\\\\server\\share\\App.exe",
			 L"//server/share", L"\\\\?\\C:\\App.exe", L"\\\\.\\pipe\\name", L"\\??\\C:\\App.exe"})
	{
		EXPECT_TRUE(IsWindowsAbsolutePath(Path)) << Path;
	}
	for (const std::wstring Path : {L"\\Games\\App.exe", L"/Games/App.exe", L"C:App.exe", L"C:", L"App.exe",
			 L"..\\App.exe", L"", L"\\\\", L"\\\\\\App.exe", L"1:\\App.exe", L"\\??App.exe"})
	{
		EXPECT_FALSE(IsWindowsAbsolutePath(Path)) << Path;
	}
}

TEST(WindowsPathRules, AppendFollowsDrivesAndRoots)
{
	const std::vector<std::vector<std::wstring>> Cases = {// directory, value, result
		{L"C:\\L", L"App.exe", L"C:\\L\\App.exe"}, {L"C:/L/", L"Bin/App.exe", L"C:/L/Bin/App.exe"},
		{L"C:\\L", L"..\\App\\App.exe", L"C:\\L\\..\\App\\App.exe"},
		// An absolute value, or one on another drive, replaces the directory.
		{L"C:\\L", L"D:\\App.exe", L"D:\\App.exe"}, {L"C:\\L", L"D:App.exe", L"D:App.exe"},
		{L"C:\\L", L"\\\\server\\share\\App.exe", L"\\\\server\\share\\App.exe"},
		// The directory's own drive, in any case, is dropped from the value.
		{L"C:\\L", L"c:App.exe", L"C:\\L\\App.exe"},
		// One leading separator keeps only the directory's drive or server.
		{L"C:\\L", L"/Games/App.exe", L"C:/Games/App.exe"},
		{L"\\\\server\\share\\L", L"\\Games\\App.exe", L"\\\\server\\Games\\App.exe"},
		{L"C:", L"App.exe", L"C:App.exe"}, {L"", L"App.exe", L"App.exe"}};
	for (const std::vector<std::wstring>& Case : Cases)
	{
		EXPECT_EQ(AppendWindowsPath(Case[0], Case[1]), Case[2]) << Case[0] << " + " << Case[1];
	}
}

namespace
{
	using FConfigWriter = FakeConfigTest;
}

// What every build refuses and accepts alike; the rest is in the system's own file.
TEST_F(FConfigWriter, RefusesAbsolutePathsBeforeWritingAnything)
{
	EXPECT_FALSE(Bootstrapper.TryWriteConfig(ConfigPath, FBootstrapperConfig{L"\\\\?\\C:\\App.exe", L"", false, false}));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, WriteCategory,
		L"Target application file path must be a relative path to the executable, or the executable base name itself."));
	EXPECT_FALSE(Bootstrapper.TryWriteConfig(ConfigPath, FBootstrapperConfig{L"App.exe", L"C:/Work", false, false}));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, WriteCategory, L"Working directory must be a relative path."));
	EXPECT_EQ(Platform->CountCalls(L"TryWriteFile(text)"), 0u);

	for (const std::wstring Path : {L"\\Games\\App.exe", L"C:App.exe", L"..\\App.exe"})
	{
		EXPECT_TRUE(Bootstrapper.TryWriteConfig(ConfigPath, FBootstrapperConfig{Path, Path, false, false})) << Path;
	}
}
