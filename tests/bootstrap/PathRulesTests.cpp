#include "platform/PathRules.h"

#include "tests/bootstrap/SampleFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The Windows rules are plain text and hold on every system; the running
// system's own rules take the rows written for it.

TEST(PathRules, Absoluteness)
{
	struct FCase
	{
		const wchar_t* Path;
		bool bWindowsAbsolute;
		bool bLinuxAbsolute; // a leading slash, or absolute for Windows: a configuration may ship with either build
	};
	const FCase Cases[] = {{L"C:\\Games\\App.exe", true, true}, {L"C:/Games/App.exe", true, true},
		{L"\\\\server\\share\\App.exe", true, true}, {L"//server/share", true, true}, {L"\\\\?\\C:\\App.exe", true, true},
		{L"\\\\.\\pipe\\name", true, true}, {L"\\??\\C:\\App.exe", true, true}, {L"/Games/App.exe", false, true},
		{L"/", false, true}, {L"\\Games\\App.exe", false, false}, {L"C:App.exe", false, false}, {L"C:", false, false},
		{L"App.exe", false, false}, {L"..\\App.exe", false, false}, {L"./App.exe", false, false}, {L"", false, false},
		{L"\\\\", false, false}, {L"\\\\\\App.exe", false, false}, {L"1:\\App.exe", false, false},
		{L"\\??App.exe", false, false}};
	for (const FCase& Case : Cases)
	{
		EXPECT_EQ(IsWindowsAbsolutePath(Case.Path), Case.bWindowsAbsolute) << Case.Path;
		EXPECT_EQ(IsAbsolutePath(Case.Path), OnWindows ? Case.bWindowsAbsolute : Case.bLinuxAbsolute) << Case.Path;
	}
	EXPECT_TRUE(IsPathSeparator(L'/'));
	EXPECT_EQ(IsPathSeparator(L'\\'), OnWindows);
}

TEST(PathRules, WindowsAppendFollowsDrivesAndRoots)
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

TEST(PathRules, ResolveNextToAFolder)
{
	const std::vector<std::vector<std::wstring>> WindowsCases = {// directory, value, result
		{L"C:\\L", L"\\Games\\.\\App.exe", L"C:\\Games\\App.exe"}, {L"C:\\L", L"Bin/App.exe", L"C:\\L\\Bin\\App.exe"},
		{L"C:\\L", L"C:App.exe", L"C:\\L\\App.exe"}, {L"C:\\L\\Bin", L"..", L"C:\\L"},
		{L"C:\\L", L"..\\App\\App.exe", L"C:\\App\\App.exe"}, {L"C:\\L", L"D:\\App.exe", L"D:\\App.exe"},
		{L"\\\\server\\share\\L", L"..\\App.exe", L"\\\\server\\share\\App.exe"}};
	const std::vector<std::vector<std::wstring>> LinuxCases = {{L"/L/", L"a//b", L"/L/a/b"}, {L"/L/Bin", L"..", L"/L"},
		{L"/L", L".", L"/L"}, {L"/L", L"Bin/", L"/L/Bin/"}, {L"/", L"..", L"/"}, {L"/L", L"../App/App.exe", L"/App/App.exe"},
		{L"/L", L"/abs/./App.exe", L"/abs/App.exe"},
		// A backslash is an ordinary character of a Linux file name.
		{L"/L", L"..\\App.exe", L"/L/..\\App.exe"}};
	for (const std::vector<std::wstring>& Case : OnWindows ? WindowsCases : LinuxCases)
	{
		EXPECT_EQ(ResolvePathNextTo(Case[0], Case[1]), Case[2]) << Case[0] << " + " << Case[1];
	}
}
