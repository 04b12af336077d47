#include "platform/PathRules.h"

#include "tests/config/ConfigTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

std::wstring SampleFolder()
{
	return L"C:\\L";
}

std::wstring InSampleFolder(const std::wstring& Name)
{
	return SampleFolder() + L"\\" + Name;
}

TEST(SystemPathRules, WindowsBuildUsesTheWindowsRules)
{
	EXPECT_TRUE(IsAbsolutePath(L"\\\\?\\C:\\App.exe"));
	EXPECT_FALSE(IsAbsolutePath(L"/Games/App.exe"));
	EXPECT_TRUE(IsPathSeparator(L'\\') && IsPathSeparator(L'/'));

	EXPECT_EQ(ResolvePathNextTo(L"C:\\L", L"\\Games\\.\\App.exe"), L"C:\\Games\\App.exe");
	EXPECT_EQ(ResolvePathNextTo(L"C:\\L", L"Bin/App.exe"), L"C:\\L\\Bin\\App.exe");
	EXPECT_EQ(ResolvePathNextTo(L"C:\\L", L"C:App.exe"), L"C:\\L\\App.exe");
	EXPECT_EQ(ResolvePathNextTo(L"C:\\L\\Bin", L".."), L"C:\\L");
	EXPECT_EQ(ResolvePathNextTo(L"\\\\server\\share\\L", L"..\\App.exe"), L"\\\\server\\share\\App.exe");
}

namespace
{
	using FWindowsConfig = FakeConfigTest;
}

TEST_F(FWindowsConfig, ValuesResolveNextToTheFileOnItsDrive)
{
	for (const auto& [Value, Resolved] : std::vector<std::pair<std::wstring, std::wstring>>{
			 {L"..\\App\\App.exe", L"C:\\App\\App.exe"}, {L"D:\\App.exe", L"D:\\App.exe"}})
	{
		Platform->Files[Resolved] = L"";
		FBootstrapperConfig Config;
		ASSERT_TRUE(Read(L"ApplicationPath=" + Value + L"\n", Config)) << Capture.Dump();
		EXPECT_EQ(Config.ApplicationPath, Resolved);
	}
	// A single leading slash is relative to the drive, so the writer takes it.
	EXPECT_TRUE(Bootstrapper.TryWriteConfig(ConfigPath, FBootstrapperConfig{L"/Games/App.exe", L"/Games", false, false}));
}
