#include "platform/linux/LinuxSystemText.h"

#include "platform/Utf8.h"

#include <cerrno>
#include <cstdint>

namespace
{
	static_assert(sizeof(wchar_t) == 4, "a Linux wide character holds any code point");

	constexpr uint32_t EscapeBase = 0xDC00;

	bool IsSurrogate(uint32_t Value) { return IsHighSurrogate(Value) || IsLowSurrogate(Value); }
	// Bytes below 0x80 are always UTF-8, so only the upper half is ever escaped.
	bool IsEscape(uint32_t Value) { return Value >= EscapeBase + 0x80 && Value <= EscapeBase + 0xFF; }
}

std::wstring DecodeSystemText(const std::string& Bytes)
{
	std::wstring Text;
	Text.reserve(Bytes.size());
	for (size_t Offset = 0; Offset < Bytes.size();)
	{
		uint32_t CodePoint = 0;
		size_t Length = DecodeUtf8Sequence(Bytes, Offset, CodePoint);
		if (Length == 0 || IsSurrogate(CodePoint))
		{
			CodePoint = EscapeBase | static_cast<uint8_t>(Bytes[Offset]);
			Length = 1;
		}
		Text.push_back(static_cast<wchar_t>(CodePoint));
		Offset += Length;
	}
	return Text;
}

bool TryEncodeSystemText(const std::wstring& Text, std::string& OutBytes, int& OutErrorCode)
{
	std::string Bytes;
	Bytes.reserve(Text.size());
	for (const wchar_t Character : Text)
	{
		const auto Value = static_cast<uint32_t>(Character);
		if (IsEscape(Value))
		{
			Bytes.push_back(static_cast<char>(Value - EscapeBase));
		}
		else if (IsSurrogate(Value) || Value > 0x10FFFF)
		{
			OutErrorCode = EILSEQ;
			return false;
		}
		else if (Value == 0)
		{
			OutErrorCode = EINVAL;
			return false;
		}
		else
		{
			AppendUtf8Sequence(Bytes, Value);
		}
	}
	OutBytes = std::move(Bytes);
	return true;
}
