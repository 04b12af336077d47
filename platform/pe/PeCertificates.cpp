#include "platform/pe/PeCertificates.h"

#include "app/Log.h"
#include "platform/pe/PeFormat.h"
#include "platform/pe/PeResourceReader.h"

#include <algorithm>

using namespace PeFormat;

bool TryReadCertificateTable(const uint8_t* Bytes, size_t Size, const wchar_t* Category, FPeImage& Image)
{
	const FPeDataDirectory& Directory = Image.CertificateDirectory;
	if (Directory.Address == 0 && Directory.Size == 0)
	{
		return true;
	}
	if (!IsInsideFile(Directory.Address, Directory.Size, Size) || Directory.Address % CertificateAlignment != 0)
	{
		Log(ELogLevel::Error, Category, L"Failed because the certificate table lies outside the file: 0x%X, size 0x%X",
			Directory.Address, Directory.Size);
		return false;
	}
	const uint64_t End = static_cast<uint64_t>(Directory.Address) + Directory.Size;
	uint64_t Offset = Directory.Address;
	while (Offset < End)
	{
		if (End - Offset < CertificateHeaderSize)
		{
			Log(ELogLevel::Error, Category, L"Failed because of a truncated certificate entry at 0x%X",
				static_cast<uint32_t>(Offset));
			return false;
		}
		FPeCertificate Certificate;
		Certificate.FileOffset = static_cast<uint32_t>(Offset);
		Certificate.Length = ReadUInt32(Bytes, Offset + CertificateLengthField);
		Certificate.Revision = ReadUInt16(Bytes, Offset + CertificateRevisionField);
		Certificate.Type = ReadUInt16(Bytes, Offset + CertificateTypeField);
		// A length below the header would never move on to the next entry.
		if (Certificate.Length < CertificateHeaderSize || Certificate.Length > End - Offset)
		{
			Log(ELogLevel::Error, Category, L"Failed because of an invalid certificate entry length at 0x%X: 0x%X",
				Certificate.FileOffset, Certificate.Length);
			return false;
		}
		Image.Certificates.push_back(Certificate);
		Offset += (static_cast<uint64_t>(Certificate.Length) + CertificateAlignment - 1) / CertificateAlignment *
			CertificateAlignment;
	}
	return true;
}

bool TryRemoveCertificateEntry(std::vector<uint8_t>& File, FPeImage& Image, size_t Index, const wchar_t* Category)
{
	if (Index >= Image.Certificates.size())
	{
		Log(ELogLevel::Error, Category, L"Failed because there is no certificate entry %u, entries: %u",
			static_cast<uint32_t>(Index), static_cast<uint32_t>(Image.Certificates.size()));
		return false;
	}
	const FPeDataDirectory& Directory = Image.CertificateDirectory;
	const uint64_t TableEnd = static_cast<uint64_t>(Directory.Address) + Directory.Size;
	const uint32_t Start = Image.Certificates[Index].FileOffset;
	// The entry goes with the padding that keeps the next one aligned.
	const uint64_t End = Index + 1 < Image.Certificates.size() ? Image.Certificates[Index + 1].FileOffset : TableEnd;
	const uint32_t Removed = static_cast<uint32_t>(End - Start);

	std::vector<uint8_t> NewFile(File);
	NewFile.erase(NewFile.begin() + Start, NewFile.begin() + static_cast<ptrdiff_t>(End));
	const uint32_t NewSize = Directory.Size - Removed;
	WriteUInt32(NewFile.data(), Directory.HeaderOffset + DataDirectoryAddressField, NewSize == 0 ? 0 : Directory.Address);
	WriteUInt32(NewFile.data(), Directory.HeaderOffset + DataDirectorySizeField, NewSize);
	// A symbol table behind the removed entry moves up with everything else.
	if (Image.SymbolTableOffset >= End)
	{
		WriteUInt32(NewFile.data(), Image.NtHeadersOffset + NtSignatureSize + SymbolTablePointerField,
			Image.SymbolTableOffset - Removed);
	}

	FPeImage NewImage;
	if (!TryParsePeImage(NewFile.data(), NewFile.size(), NewImage) ||
		NewImage.Certificates.size() + 1 != Image.Certificates.size())
	{
		Log(ELogLevel::Error, Category, L"Failed because the file does not read back after removing entry %u",
			static_cast<uint32_t>(Index));
		return false;
	}
	File = std::move(NewFile);
	Image = std::move(NewImage);
	return true;
}

bool AreCertificatesKept(const std::vector<uint8_t>& OldFile, const FPeImage& OldImage, const std::vector<uint8_t>& NewFile,
	const FPeImage& NewImage)
{
	if (NewImage.Certificates.size() != OldImage.Certificates.size())
	{
		return false;
	}
	for (size_t Index = 0; Index < OldImage.Certificates.size(); ++Index)
	{
		const FPeCertificate& Old = OldImage.Certificates[Index];
		const FPeCertificate& New = NewImage.Certificates[Index];
		if (Old.Length != New.Length || !std::equal(OldFile.begin() + Old.FileOffset, OldFile.begin() + Old.FileOffset + Old.Length,
											NewFile.begin() + New.FileOffset))
		{
			return false;
		}
	}
	return true;
}
