#include "tests/resources/PeTestFiles.h"

#include <stdexcept>

using namespace PeFormat;

namespace
{
	// The certificate table's entry in a 64-bit image's data directories,
	// counted from the NT signature.
	constexpr size_t SecurityEntryOffset = NtSignatureSize + FileHeaderSize + Pe32PlusDirectoryCountField + 4 +
		CertificateDirectoryIndex * DataDirectoryEntrySize;

	void CheckRange(const std::string& Bytes, size_t Offset, size_t Length)
	{
		if (Offset > Bytes.size() || Length > Bytes.size() - Offset)
		{
			throw std::out_of_range("a PE field lies past the end of the test file");
		}
	}
}

void PutUInt16(std::string& Bytes, size_t Offset, uint16_t Value)
{
	CheckRange(Bytes, Offset, 2);
	WriteUInt16(Bytes.data(), Offset, Value);
}

void PutUInt32(std::string& Bytes, size_t Offset, uint32_t Value)
{
	CheckRange(Bytes, Offset, 4);
	WriteUInt32(Bytes.data(), Offset, Value);
}

uint32_t GetUInt32(const std::string& Bytes, size_t Offset)
{
	CheckRange(Bytes, Offset, 4);
	return ReadUInt32(Bytes.data(), Offset);
}

std::string MakePeHeaders(uint16_t Machine, uint16_t Characteristics, uint32_t Offset, size_t Size)
{
	std::string Bytes(Size != 0 ? Size : Offset + NtHeadersSize, '\0');
	PutUInt16(Bytes, 0, DosSignature);
	PutUInt32(Bytes, NewHeaderOffsetField, Offset);
	if (Offset + NtSignatureSize + FileHeaderSize <= Bytes.size())
	{
		const size_t FileHeader = Offset + NtSignatureSize;
		PutUInt32(Bytes, Offset, NtSignature);
		PutUInt16(Bytes, FileHeader + MachineField, Machine);
		PutUInt16(Bytes, FileHeader + CharacteristicsField, Characteristics);
	}
	return Bytes;
}

bool TryReadSecurityDirectory(const std::string& Image, FSecurityDirectory& OutDirectory)
{
	if (Image.size() < DosHeaderSize)
	{
		return false;
	}
	const uint32_t Offset = GetUInt32(Image, NewHeaderOffsetField);
	if (static_cast<uint64_t>(Offset) + SecurityEntryOffset + DataDirectoryEntrySize > Image.size() ||
		ReadUInt16(Image.data(), Offset + NtSignatureSize + FileHeaderSize) != Pe32PlusMagic)
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
	if (!TryReadSecurityDirectory(Image, Directory) || Directory.Size < CertificateHeaderSize ||
		static_cast<uint64_t>(Directory.Offset) + Directory.Size != Image.size())
	{
		return false;
	}
	const uint32_t FirstLength = GetUInt32(Image, Directory.Offset);
	if (FirstLength < CertificateHeaderSize || FirstLength > Directory.Size)
	{
		return false;
	}
	std::string Entry = Image.substr(Directory.Offset, FirstLength);
	const auto Padding = [](size_t Length) { return (CertificateAlignment - Length % CertificateAlignment) % CertificateAlignment; };
	Image.append(Padding(Image.size()), '\0');
	Image += Entry;
	Image.append(Padding(Entry.size()), '\0');
	PutUInt32(Image, GetUInt32(Image, NewHeaderOffsetField) + SecurityEntryOffset + 4,
		static_cast<uint32_t>(Image.size() - Directory.Offset));
	return true;
}
