// UTF-8 in both directions: what is refused, where, and what is replaced.
#include "platform/Utf8.h"

#include <gtest/gtest.h>

TEST(Utf8, MalformedSequencesAreRefusedWithTheirOffsetOrReplaced)
{
	constexpr size_t Accepted = SIZE_MAX;
	const std::pair<std::string, size_t> Cases[] = {
		{"ab\x80", 2},              // stray continuation byte
		{"a\xC0\x80", 1},           // overlong NUL
		{"\xE0\x80\x80", 0},        // overlong three-byte form
		{"\xE0\x9F\xBF", 0},        // U+07FF, the largest overlong three-byte form
		{"\xE0\xA0\x80", Accepted}, // U+0800, the smallest three-byte form
		{"xyz\xF4\x90\x80\x80", 3}, // above U+10FFFF
		{"ok\xE4\xB8", 2},          // cut at the end of the file
		{"\xC3\x28", 0},            // continuation missing
		{"\xF8\x88\x80\x80\x80", 0} // five-byte form
	};
	for (const auto& [Bytes, Expected] : Cases)
	{
		std::wstring Text;
		size_t Offset = 999;
		const bool bAccepted = TryDecodeUtf8(Bytes, Text, Offset);
		EXPECT_EQ(bAccepted, Expected == Accepted) << Bytes;
		EXPECT_EQ(bAccepted ? Accepted : Offset, Expected) << Bytes;
	}
	EXPECT_EQ(DecodeUtf8Lossless("a\xFF" "b"), L"a\uFFFDb");
	if constexpr (sizeof(wchar_t) == 4)
	{
		// Only a 32-bit wide character can hold a value without a UTF-8 form.
		EXPECT_EQ(EncodeUtf8Lossless(std::wstring{L'a', wchar_t(0x110000)}), "a\xEF\xBF\xBD");
	}
}
