#include "app/FormatString.h"

#include <gtest/gtest.h>

TEST(FormatString, WideStringsAndTheIntegerConversionsOfTheProduct)
{
	const std::wstring Path = L"C:\\Games\\Ödland\\App.exe";
	EXPECT_EQ(FormatString(L"Reading config file: '%s'.", Path), L"Reading config file: 'C:\\Games\\Ödland\\App.exe'.");
	EXPECT_EQ(FormatString(L"Started %s %s.", L"Product", std::wstring(L"++KVTSDK+Release-2.0-CL-1")),
		L"Started Product ++KVTSDK+Release-2.0-CL-1.");
	EXPECT_EQ(FormatString(L"(%i/%i) %d", 1, 10, -5), L"(1/10) -5");
	EXPECT_EQ(FormatString(L"%Xh", 0xC0000005u), L"C0000005h");
	EXPECT_EQ(FormatString(L"%03i", 7), L"007");
	EXPECT_EQ(FormatString(L"%08x-%04x", 0x123ABCDu, 0xEF01u), L"0123abcd-ef01");
	EXPECT_EQ(FormatString(L"100%% of %s", L"it"), L"100% of it");
	EXPECT_EQ(FormatString(L"no arguments"), L"no arguments");
}

TEST(FormatString, TranslationTouchesOnlyUnmodifiedStringConversions)
{
	EXPECT_EQ(TranslateFormat(L"%s|%-8s|%ls|%%s|%c|%5.2f|%i"), L"%ls|%-8ls|%ls|%%s|%lc|%5.2f|%i");
	EXPECT_EQ(TranslateFormat(L"trailing %"), L"trailing %");
}

TEST(FormatString, LongResultsComeOutWhole)
{
	const std::wstring Long(7000, L'x');
	const std::wstring Result = FormatString(L"[%s] %i", Long, 42);
	ASSERT_EQ(Result.size(), Long.size() + 5);
	EXPECT_EQ(Result.substr(Result.size() - 4), L"] 42");
}
