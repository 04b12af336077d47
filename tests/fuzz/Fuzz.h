#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Names the broken property before the trap, so that the report says which and not only where.
void Check(bool Condition, const char* What);

// Gives the same input the same texts and values every time it is run.
class FFuzzInput
{
public:
	FFuzzInput(const uint8_t* InData, size_t InSize) : Data(InData), Size(InSize) {}

	bool IsEmpty() const { return Size == 0; }
	uint8_t TakeByte() { return Size > 0 ? (--Size, *Data++) : 0; }
	uint64_t TakeBits(int Bytes)
	{
		uint64_t Value = 0;
		while (Bytes-- > 0)
		{
			Value = Value << 8 | TakeByte();
		}
		return Value;
	}
	std::string TakeBytes(size_t Count = SIZE_MAX)
	{
		const std::string Bytes(reinterpret_cast<const char*>(Data), std::min(Count, Size));
		Data += Bytes.size();
		Size -= Bytes.size();
		return Bytes;
	}
	// One byte is its own character, so that the ASCII rules are found fast;
	// 0xF0-0xFE are followed by any UTF-16 unit, 0xFF by any 21-bit value.
	wchar_t TakeCharacter()
	{
		const uint8_t Byte = TakeByte();
		return static_cast<wchar_t>(Byte < 0xF0 ? Byte : Byte < 0xFF ? TakeBits(2) : TakeBits(3) & 0x1FFFFF);
	}
	// Up to the end, or up to the separator, which is consumed.
	std::wstring TakeText(wchar_t Separator = L'\0')
	{
		std::wstring Text;
		while (!IsEmpty())
		{
			const wchar_t Character = TakeCharacter();
			if (Character == Separator)
			{
				break;
			}
			Text.push_back(Character);
		}
		return Text;
	}
	std::vector<std::wstring> TakeTextList()
	{
		std::vector<std::wstring> List;
		while (!IsEmpty())
		{
			List.push_back(TakeText());
		}
		return List;
	}

private:
	const uint8_t* Data;
	size_t Size;
};

void FuzzPeReader(FFuzzInput Input);
void FuzzUtf8(FFuzzInput Input);
void FuzzArguments(FFuzzInput Input);
void FuzzCommandLine(FFuzzInput Input);
void FuzzFormatString(FFuzzInput Input);
void FuzzConfigFile(FFuzzInput Input);
void FuzzValueStore(FFuzzInput Input);
void FuzzTelemetry(FFuzzInput Input);
