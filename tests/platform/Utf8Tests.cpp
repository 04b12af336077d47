#include "platform/Utf8.h"

#include <gtest/gtest.h>

namespace
{
	// U+1F600 as the wide string of this system (a pair, or one 32-bit unit).
	std::wstring Emoji()
	{
		if constexpr (sizeof(wchar_t) == 2)
		{
			return std::wstring{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
		}
		else
		{
			return std::wstring{static_cast<wchar_t>(0x1F600)};
		}
	}
}

TEST(Utf8, EveryCodeUnitSurvivesTheRoundTrip)
{
	const std::wstring LoneHigh{static_cast<wchar_t>(0xD800)};
	const std::wstring LoneLow{static_cast<wchar_t>(0xDC00)};
	const std::wstring Text = L"a\u00E9\u4E2D" + Emoji() + LoneHigh + L"x" + LoneLow + L"\n";

	std::string Bytes;
	ASSERT_TRUE(TryEncodeUtf8(Text, Bytes));
	EXPECT_EQ(Bytes, "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80\xED\xA0\x80x\xED\xB0\x80\n");

	std::wstring Back;
	size_t Offset = 0;
	ASSERT_TRUE(TryDecodeUtf8(Bytes, Back, Offset));
	EXPECT_EQ(Back, Text);
}

TEST(Utf8, MalformedSequencesAreRefusedWithTheirOffset)
{
	struct FCase
	{
		std::string Bytes;
		size_t Offset;
	};
	const FCase Cases[] = {
		{"ab\x80", 2},              // stray continuation byte
		{"a\xC0\x80", 1},           // overlong NUL
		{"\xE0\x80\x80", 0},        // overlong three-byte form
		{"xyz\xF4\x90\x80\x80", 3}, // above U+10FFFF
		{"ok\xE4\xB8", 2},          // cut at the end of the file
		{"\xC3\x28", 0},            // continuation missing
		{"\xF8\x88\x80\x80\x80", 0} // five-byte form
	};
	for (const FCase& Case : Cases)
	{
		std::wstring Text = L"junk";
		size_t Offset = 999;
		EXPECT_FALSE(TryDecodeUtf8(Case.Bytes, Text, Offset)) << Case.Bytes;
		EXPECT_EQ(Offset, Case.Offset) << Case.Bytes;
	}
	EXPECT_EQ(DecodeUtf8Lossless("a\xFF" "b"), L"a\uFFFDb");
}

TEST(Utf8, ValuesWithoutAUtf8FormFailOnlyWhereWideCharactersHold32Bits)
{
	if constexpr (sizeof(wchar_t) == 4)
	{
		std::string Bytes = "junk";
		EXPECT_FALSE(TryEncodeUtf8(std::wstring{static_cast<wchar_t>(0x110000)}, Bytes));
		EXPECT_EQ(EncodeUtf8Lossless(std::wstring{L'a', static_cast<wchar_t>(0x110000)}), "a\xEF\xBF\xBD");
	}
	else
	{
		GTEST_SKIP() << "every UTF-16 code unit has a UTF-8 form";
	}
}
