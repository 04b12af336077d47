#include "platform/Utf8.h"

#include <cstdint>

namespace
{
	constexpr bool WideIsUtf16 = sizeof(wchar_t) == 2;

	void AppendWide(std::wstring& Out, uint32_t CodePoint)
	{
		if (WideIsUtf16 && CodePoint >= 0x10000)
		{
			Out.push_back(static_cast<wchar_t>(HighSurrogateOf(CodePoint)));
			Out.push_back(static_cast<wchar_t>(LowSurrogateOf(CodePoint)));
		}
		else
		{
			Out.push_back(static_cast<wchar_t>(CodePoint));
		}
	}

	bool Encode(const std::wstring& Text, std::string& Out, bool Lossless)
	{
		Out.clear();
		Out.reserve(Text.size());
		for (size_t Index = 0; Index < Text.size(); ++Index)
		{
			uint32_t Unit = static_cast<uint32_t>(Text[Index]);
			if (WideIsUtf16)
			{
				Unit &= 0xFFFF;
				if (IsHighSurrogate(Unit) && Index + 1 < Text.size())
				{
					const uint32_t Next = static_cast<uint32_t>(Text[Index + 1]) & 0xFFFF;
					if (IsLowSurrogate(Next))
					{
						AppendUtf8Sequence(Out, CombineSurrogates(Unit, Next));
						++Index;
						continue;
					}
				}
			}
			if (Unit > 0x10FFFF)
			{
				if (!Lossless)
				{
					return false;
				}
				Unit = 0xFFFD;
			}
			AppendUtf8Sequence(Out, Unit);
		}
		return true;
	}
}

void AppendUtf8Sequence(std::string& Out, uint32_t CodePoint)
{
	if (CodePoint < 0x80)
	{
		Out.push_back(static_cast<char>(CodePoint));
	}
	else if (CodePoint < 0x800)
	{
		Out.push_back(static_cast<char>(0xC0 | (CodePoint >> 6)));
		Out.push_back(static_cast<char>(0x80 | (CodePoint & 0x3F)));
	}
	else if (CodePoint < 0x10000)
	{
		Out.push_back(static_cast<char>(0xE0 | (CodePoint >> 12)));
		Out.push_back(static_cast<char>(0x80 | ((CodePoint >> 6) & 0x3F)));
		Out.push_back(static_cast<char>(0x80 | (CodePoint & 0x3F)));
	}
	else
	{
		Out.push_back(static_cast<char>(0xF0 | (CodePoint >> 18)));
		Out.push_back(static_cast<char>(0x80 | ((CodePoint >> 12) & 0x3F)));
		Out.push_back(static_cast<char>(0x80 | ((CodePoint >> 6) & 0x3F)));
		Out.push_back(static_cast<char>(0x80 | (CodePoint & 0x3F)));
	}
}

size_t DecodeUtf8Sequence(const std::string& Bytes, size_t Offset, uint32_t& OutCodePoint)
{
	const auto Byte = [&](size_t Index) { return static_cast<uint8_t>(Bytes[Index]); };
	const uint8_t Lead = Byte(Offset);
	size_t Length = 0;
	uint32_t CodePoint = 0;
	uint32_t Minimum = 0;
	if (Lead < 0x80)
	{
		OutCodePoint = Lead;
		return 1;
	}
	else if ((Lead & 0xE0) == 0xC0)
	{
		Length = 2; CodePoint = Lead & 0x1F; Minimum = 0x80;
	}
	else if ((Lead & 0xF0) == 0xE0)
	{
		Length = 3; CodePoint = Lead & 0x0F; Minimum = 0x800;
	}
	else if ((Lead & 0xF8) == 0xF0)
	{
		Length = 4; CodePoint = Lead & 0x07; Minimum = 0x10000;
	}
	else
	{
		return 0;
	}
	if (Offset + Length > Bytes.size())
	{
		return 0;
	}
	for (size_t Index = 1; Index < Length; ++Index)
	{
		const uint8_t Continuation = Byte(Offset + Index);
		if ((Continuation & 0xC0) != 0x80)
		{
			return 0;
		}
		CodePoint = (CodePoint << 6) | (Continuation & 0x3F);
	}
	if (CodePoint < Minimum || CodePoint > 0x10FFFF)
	{
		return 0;
	}
	OutCodePoint = CodePoint;
	return Length;
}

bool TryEncodeUtf8(const std::wstring& Text, std::string& OutBytes)
{
	return Encode(Text, OutBytes, false);
}

std::string EncodeUtf8Lossless(const std::wstring& Text)
{
	std::string Bytes;
	Encode(Text, Bytes, true);
	return Bytes;
}

bool TryDecodeUtf8(const std::string& Bytes, std::wstring& OutText, size_t& OutErrorOffset)
{
	OutText.clear();
	OutText.reserve(Bytes.size());
	for (size_t Offset = 0; Offset < Bytes.size();)
	{
		uint32_t CodePoint = 0;
		const size_t Length = DecodeUtf8Sequence(Bytes, Offset, CodePoint);
		if (Length == 0)
		{
			OutErrorOffset = Offset;
			return false;
		}
		AppendWide(OutText, CodePoint);
		Offset += Length;
	}
	return true;
}

std::wstring DecodeUtf8Lossless(const std::string& Bytes)
{
	std::wstring Text;
	for (size_t Offset = 0; Offset < Bytes.size();)
	{
		uint32_t CodePoint = 0;
		const size_t Length = DecodeUtf8Sequence(Bytes, Offset, CodePoint);
		AppendWide(Text, Length == 0 ? 0xFFFD : CodePoint);
		Offset += Length == 0 ? 1 : Length;
	}
	return Text;
}

std::string EncodeUtf8ByCodeUnit(const std::wstring& Text)
{
	std::string Out;
	Out.reserve(Text.size());
	for (const wchar_t Character : Text)
	{
		const uint32_t Value = static_cast<uint32_t>(Character) & (WideIsUtf16 ? 0xFFFFu : 0xFFFFFFFFu);
		if (Value > 0x10FFFF)
		{
			AppendUtf8Sequence(Out, 0xFFFD);
		}
		else if (Value >= 0x10000)
		{
			AppendUtf8Sequence(Out, HighSurrogateOf(Value));
			AppendUtf8Sequence(Out, LowSurrogateOf(Value));
		}
		else
		{
			AppendUtf8Sequence(Out, Value);
		}
	}
	return Out;
}
