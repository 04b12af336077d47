#include "tests/support/PeBuilders.h"

using namespace PeFormat;

void PutUInt16(std::string& Bytes, size_t Offset, uint16_t Value)
{
	WriteUInt16(Bytes.data(), Offset, Value);
}

void PutUInt32(std::string& Bytes, size_t Offset, uint32_t Value)
{
	WriteUInt32(Bytes.data(), Offset, Value);
}

uint32_t GetUInt32(const std::string& Bytes, size_t Offset)
{
	return ReadUInt32(Bytes.data(), Offset);
}

std::string MakePeHeaders(uint16_t Machine, uint16_t Characteristics, uint32_t Offset, size_t Size)
{
	std::string Bytes(Size != 0 ? Size : Offset + NtHeadersSize, '\0');
	PutUInt16(Bytes, 0, DosSignature);
	PutUInt32(Bytes, NewHeaderOffsetField, Offset);
	if (static_cast<size_t>(Offset) + NtSignatureSize + FileHeaderSize <= Bytes.size())
	{
		PutUInt32(Bytes, Offset, NtSignature);
		PutUInt16(Bytes, Offset + NtSignatureSize + MachineField, Machine);
		PutUInt16(Bytes, Offset + NtSignatureSize + CharacteristicsField, Characteristics);
	}
	return Bytes;
}

bool ParseExact(const std::string& Bytes, FPeImage& OutImage)
{
	const std::vector<uint8_t> Exact(Bytes.begin(), Bytes.end());
	return TryParsePeImage(Exact.data(), Exact.size(), OutImage);
}

bool TryAppendCertificate(std::string& Image, const std::string& Entry)
{
	FPeImage Parsed;
	if (!ParseExact(Image, Parsed) || Parsed.Certificates.empty() ||
		static_cast<uint64_t>(Parsed.CertificateDirectory.Address) + Parsed.CertificateDirectory.Size != Image.size())
	{
		return false;
	}
	const auto Padding = [](size_t Length) { return (CertificateAlignment - Length % CertificateAlignment) % CertificateAlignment; };
	Image.append(Padding(Image.size()), '\0');
	Image += Entry;
	Image.append(Padding(Entry.size()), '\0');
	PutUInt32(Image, Parsed.CertificateDirectory.HeaderOffset + 4, static_cast<uint32_t>(Image.size() - Parsed.CertificateDirectory.Address));
	return true;
}
