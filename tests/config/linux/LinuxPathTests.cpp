#include "platform/PathRules.h"

#include "tests/config/ConfigTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

std::wstring SampleFolder()
{
	return L"/L";
}

std::wstring InSampleFolder(const std::wstring& Name)
{
	return SampleFolder() + L"/" + Name;
}

TEST(SystemPathRules, LinuxBuildAddsTheLeadingSlashToTheWindowsTable)
{
	for (const std::wstring Path : {L"/opt/App", L"/", L"C:\\App.exe", L"\\\\server\\App.exe"})
	{
		EXPECT_TRUE(IsAbsolutePath(Path)) << Path;
	}
	for (const std::wstring Path : {L"\\Games\\App.exe", L"C:App.exe", L"./App.exe", L""})
	{
		EXPECT_FALSE(IsAbsolutePath(Path)) << Path;
	}
	EXPECT_FALSE(IsPathSeparator(L'\\'));

	EXPECT_EQ(ResolvePathNextTo(L"/L/", L"a//b"), L"/L/a/b");
	EXPECT_EQ(ResolvePathNextTo(L"/L/Bin", L".."), L"/L");
	EXPECT_EQ(ResolvePathNextTo(L"/L", L"."), L"/L");
	EXPECT_EQ(ResolvePathNextTo(L"/L", L"Bin/"), L"/L/Bin/");
	EXPECT_EQ(ResolvePathNextTo(L"/", L".."), L"/");
	// A backslash is an ordinary character of a Linux file name.
	EXPECT_EQ(ResolvePathNextTo(L"/L", L"..\\App.exe"), L"/L/..\\App.exe");
}

namespace
{
	using FLinuxConfig = FakeConfigTest;
}

TEST_F(FLinuxConfig, ValuesResolveNextToTheFileAndTheWriterRefusesALeadingSlash)
{
	for (const auto& [Value, Resolved] : std::vector<std::pair<std::wstring, std::wstring>>{
			 {L"../App/App.exe", L"/App/App.exe"}, {L"/abs/./App.exe", L"/abs/App.exe"}})
	{
		Platform->Files[Resolved] = L"";
		FBootstrapperConfig Config;
		ASSERT_TRUE(Read(L"ApplicationPath=" + Value + L"\n", Config)) << Capture.Dump();
		EXPECT_EQ(Config.ApplicationPath, Resolved);
	}
	EXPECT_FALSE(Bootstrapper.TryWriteConfig(ConfigPath, FBootstrapperConfig{L"App.exe", L"/opt", false, false}));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, WriteCategory, L"Working directory must be a relative path."));
	EXPECT_EQ(Platform->CountCalls(L"TryWriteFile(text)"), 0u);
}
