#include "tests/resources/PeTestFiles.h"

namespace
{
	constexpr size_t NewHeaderOffsetField = 0x3C;
	constexpr size_t NtHeadersSize = 264;
	constexpr uint16_t Pe32PlusMagic = 0x20B;
	// NT signature (4) + file header (20) + the 64-bit optional header's fields
	// before its data directories (112); the security entry is the fifth.
	constexpr size_t SecurityEntryOffset = 4 + 20 + 112 + 4 * 8;
}

void PutUInt16(std::string& Bytes, size_t Offset, uint16_t Value)
{
	Bytes[Offset] = static_cast<char>(Value & 0xFF);
	Bytes[Offset + 1] = static_cast<char>(Value >> 8);
}

void PutUInt32(std::string& Bytes, size_t Offset, uint32_t Value)
{
	PutUInt16(Bytes, Offset, static_cast<uint16_t>(Value & 0xFFFF));
	PutUInt16(Bytes, Offset + 2, static_cast<uint16_t>(Value >> 16));
}

uint32_t GetUInt32(const std::string& Bytes, size_t Offset)
{
	uint32_t Value = 0;
	for (size_t Index = 0; Index < 4; ++Index)
	{
		Value |= static_cast<uint32_t>(static_cast<uint8_t>(Bytes[Offset + Index])) << (8 * Index);
	}
	return Value;
}

std::string MakePeHeaders(uint16_t Machine, uint16_t Characteristics, uint32_t Offset, size_t Size)
{
	std::string Bytes(Size != 0 ? Size : Offset + NtHeadersSize, '\0');
	Bytes[0] = 'M';
	Bytes[1] = 'Z';
	PutUInt32(Bytes, NewHeaderOffsetField, Offset);
	if (Offset + 24 <= Bytes.size())
	{
		Bytes.replace(Offset, 4, std::string("PE\0\0", 4));
		PutUInt16(Bytes, Offset + 4, Machine);
		PutUInt16(Bytes, Offset + 22, Characteristics);
	}
	return Bytes;
}

bool TryReadSecurityDirectory(const std::string& Image, FSecurityDirectory& OutDirectory)
{
	if (Image.size() < 0x40)
	{
		return false;
	}
	const uint32_t Offset = GetUInt32(Image, NewHeaderOffsetField);
	if (static_cast<uint64_t>(Offset) + SecurityEntryOffset + 8 > Image.size() ||
		(GetUInt32(Image, Offset + 24) & 0xFFFF) != Pe32PlusMagic)
	{
		return false;
	}
	OutDirectory.Offset = GetUInt32(Image, Offset + SecurityEntryOffset);
	OutDirectory.Size = GetUInt32(Image, Offset + SecurityEntryOffset + 4);
	return true;
}

bool TryAppendSecondCertificate(std::string& Image)
{
	FSecurityDirectory Directory;
	if (!TryReadSecurityDirectory(Image, Directory) || Directory.Size < 8 ||
		static_cast<uint64_t>(Directory.Offset) + Directory.Size != Image.size())
	{
		return false;
	}
	// WIN_CERTIFICATE: dwLength (the entry without its padding), revision, type, data.
	const uint32_t FirstLength = GetUInt32(Image, Directory.Offset);
	if (FirstLength < 8 || FirstLength > Directory.Size)
	{
		return false;
	}
	std::string Entry = Image.substr(Directory.Offset, FirstLength);
	// Entries start on 8-byte boundaries.
	const size_t Padding = (8 - (Image.size() % 8)) % 8;
	Image.append(Padding, '\0');
	Image += Entry;
	Image.append((8 - (Entry.size() % 8)) % 8, '\0');
	PutUInt32(Image, GetUInt32(Image, NewHeaderOffsetField) + SecurityEntryOffset + 4,
		static_cast<uint32_t>(Image.size() - Directory.Offset));
	return true;
}
