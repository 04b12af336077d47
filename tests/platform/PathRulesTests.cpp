// Path syntax of both systems.
#include "platform/PathRules.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <tuple>

// The Windows rules are plain text and hold on every system; the running
// system's own rules take the rows written for it.

TEST(PathRules, Absoluteness)
{
	// Absolute for Windows, and for Linux: a leading slash, or absolute for Windows (a
	// configuration may ship with either build).
	const std::tuple<const wchar_t*, bool, bool> Cases[] = {{L"C:\\Games\\App.exe", true, true}, {L"C:/Games/App.exe", true, true},
		{L"\\\\server\\share\\App.exe", true, true}, {L"//server/share", true, true}, {L"\\\\?\\C:\\App.exe", true, true},
		{L"\\??\\C:\\App.exe", true, true}, {L"/Games/App.exe", false, true}, {L"\\Games\\App.exe", false, false},
		{L"C:App.exe", false, false}, {L"App.exe", false, false}, {L"", false, false}, {L"\\\\", false, false},
		{L"\\\\\\App.exe", false, false}, {L"1:\\App.exe", false, false}, {L"\\??App.exe", false, false}};
	for (const auto& [Path, bWindowsAbsolute, bLinuxAbsolute] : Cases)
	{
		EXPECT_EQ(IsWindowsAbsolutePath(Path), bWindowsAbsolute) << Path;
		EXPECT_EQ(IsAbsolutePath(Path), bWindows ? bWindowsAbsolute : bLinuxAbsolute) << Path;
	}
	EXPECT_TRUE(IsPathSeparator(L'/'));
	EXPECT_EQ(IsPathSeparator(L'\\'), bWindows);
}

// Appending follows drives and roots; resolving then normalises the result.
TEST(PathRules, AppendAndResolveNextToAFolder)
{
	const std::vector<std::vector<std::wstring>> AppendCases = {// directory, value, result
		{L"C:\\L", L"App.exe", L"C:\\L\\App.exe"}, {L"C:/L/", L"Bin/App.exe", L"C:/L/Bin/App.exe"},
		// An absolute value, or one on another drive, replaces the directory.
		{L"C:\\L", L"D:\\App.exe", L"D:\\App.exe"}, {L"C:\\L", L"D:App.exe", L"D:App.exe"},
		// The directory's own drive, in any case, is dropped from the value.
		{L"C:\\L", L"c:App.exe", L"C:\\L\\App.exe"},
		// One leading separator keeps only the directory's drive or server.
		{L"C:\\L", L"/Games/App.exe", L"C:/Games/App.exe"},
		{L"\\\\server\\share\\L", L"\\Games\\App.exe", L"\\\\server\\Games\\App.exe"},
		{L"C:", L"App.exe", L"C:App.exe"}, {L"", L"App.exe", L"App.exe"}};
	for (const std::vector<std::wstring>& Case : AppendCases)
	{
		EXPECT_EQ(AppendWindowsPath(Case[0], Case[1]), Case[2]) << Case[0] << " + " << Case[1];
	}
	const std::vector<std::vector<std::wstring>> WindowsCases = {
		{L"C:\\L", L"\\Games\\.\\App.exe", L"C:\\Games\\App.exe"}, {L"C:\\L", L"Bin/App.exe", L"C:\\L\\Bin\\App.exe"},
		{L"C:\\L\\Bin", L"..", L"C:\\L"}, {L"\\\\server\\share\\L", L"..\\App.exe", L"\\\\server\\share\\App.exe"}};
	const std::vector<std::vector<std::wstring>> LinuxCases = {{L"/L/", L"a//b", L"/L/a/b"}, {L"/L/Bin", L"..", L"/L"},
		{L"/L", L".", L"/L"}, {L"/L", L"Bin/", L"/L/Bin/"}, {L"/", L"..", L"/"}, {L"/L", L"/abs/./App.exe", L"/abs/App.exe"},
		// A backslash is an ordinary character of a Linux file name.
		{L"/L", L"..\\App.exe", L"/L/..\\App.exe"}};
	for (const std::vector<std::wstring>& Case : bWindows ? WindowsCases : LinuxCases)
	{
		EXPECT_EQ(ResolvePathNextTo(Case[0], Case[1]), Case[2]) << Case[0] << " + " << Case[1];
	}
}
