#include "platform/pe/PeFileLayout.h"

#include "app/Log.h"
#include "platform/pe/PeFormat.h"

#include <algorithm>

using namespace PeFormat;

namespace
{
	// As linkers mark .rsrc.
	constexpr uint32_t ResourceSectionCharacteristics = SectionInitializedDataFlag | SectionReadableFlag;
	constexpr char ResourceSectionName[SectionNameSize] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};

	constexpr uint64_t MaximumSectionAlignment = 1ull << 28;
	constexpr uint64_t PageSize = 0x1000;

	uint64_t AlignUp(uint64_t Value, uint64_t Alignment)
	{
		return (Value + Alignment - 1) / Alignment * Alignment;
	}

	bool IsPowerOfTwo(uint64_t Value)
	{
		return Value != 0 && (Value & (Value - 1)) == 0;
	}

	// How far the loader may address a section: its virtual size, or its raw
	// size when the linker left the virtual size out.
	uint64_t GetSectionSpan(const FPeSection& Section)
	{
		return Section.VirtualSize != 0 ? Section.VirtualSize : Section.RawSize;
	}

	// The resource section can be rewritten in place when it is the last one
	// in the file and in memory, begins with the resource tree, and no other
	// section or directory uses its room.
	bool IsRewritableInPlace(const FPeImage& Image, size_t Index, uint64_t EndOfSections, uint64_t EndOfImage)
	{
		const FPeSection& Section = Image.Sections[Index];
		const uint64_t SectionEnd = Section.VirtualAddress + GetSectionSpan(Section);
		// The headers must lie wholly before the data that is cut off and written anew.
		const uint64_t HeadersEnd = Image.SectionTableOffset + static_cast<uint64_t>(Image.Sections.size()) * SectionHeaderSize;
		if (Section.VirtualAddress != Image.ResourceDirectory.Address || Image.ResourceDirectory.Address == 0 ||
			HeadersEnd > Section.RawOffset ||
			Section.RawSize == 0 || static_cast<uint64_t>(Section.RawOffset) + Section.RawSize != EndOfSections ||
			SectionEnd != EndOfImage)
		{
			return false;
		}
		bool bShared = false;
		for (size_t Other = 0; Other < Image.Sections.size(); ++Other)
		{
			bShared = bShared || (Other != Index && Image.Sections[Other].RawSize != 0 && Image.Sections[Other].RawOffset >= Section.RawOffset);
		}
		for (size_t Directory = 0; Directory < Image.Directories.size(); ++Directory)
		{
			const FPeDataDirectory& Entry = Image.Directories[Directory];
			if (Directory != ResourceDirectoryIndex && Directory != CertificateDirectoryIndex && Entry.Address != 0 &&
				Entry.Size != 0 && Entry.Address < SectionEnd && Entry.Address + static_cast<uint64_t>(Entry.Size) > Section.VirtualAddress)
			{
				bShared = true;
			}
		}
		return !bShared;
	}

	bool TryPlanNewSection(const FPeImage& Image, const std::vector<uint8_t>& File, uint64_t EndOfSections,
		uint64_t EndOfImage, const wchar_t* Category, FPeSectionPlan& OutPlan)
	{
		// A new last section needs a free entry behind the section table, inside
		// the headers and before any section's data.
		const uint64_t NewEntry = Image.SectionTableOffset + static_cast<uint64_t>(Image.Sections.size()) * SectionHeaderSize;
		bool bRoom = Image.Sections.size() < MaximumSectionCount && NewEntry + SectionHeaderSize <= Image.SizeOfHeaders &&
			NewEntry + SectionHeaderSize <= File.size();
		for (const FPeSection& Section : Image.Sections)
		{
			bRoom = bRoom && (Section.RawSize == 0 || NewEntry + SectionHeaderSize <= Section.RawOffset);
		}
		for (uint64_t Offset = NewEntry; bRoom && Offset < NewEntry + SectionHeaderSize; ++Offset)
		{
			bRoom = File[Offset] == 0; // never overwrite what someone keeps there
		}
		if (!bRoom)
		{
			Log(ELogLevel::Error, Category, L"Failed because the section table has no room for another section");
			return false;
		}
		const uint64_t Rva = AlignUp(EndOfImage, Image.SectionAlignment);
		const uint64_t RawOffset = AlignUp(EndOfSections, Image.FileAlignment);
		// Below the page size the loader maps the file as it lies, so a section's
		// data must sit at its own address in the file.
		if (Image.SectionAlignment < PageSize && Rva != RawOffset)
		{
			Log(ELogLevel::Error, Category,
				L"Failed because a new section of this image would lie at 0x%X in memory but at 0x%X in the file",
				static_cast<uint32_t>(Rva), static_cast<uint32_t>(RawOffset));
			return false;
		}
		if (Rva > 0x7FFFFFFFull || RawOffset > 0x7FFFFFFFull)
		{
			Log(ELogLevel::Error, Category, L"Failed because the image is too large for another section");
			return false;
		}
		OutPlan.bInPlace = false;
		OutPlan.SectionIndex = Image.Sections.size();
		OutPlan.Rva = static_cast<uint32_t>(Rva);
		OutPlan.RawOffset = static_cast<uint32_t>(RawOffset);
		return true;
	}
}

bool TryPlanResourceSection(const FPeImage& Image, const std::vector<uint8_t>& File, const wchar_t* Category,
	FPeSectionPlan& OutPlan)
{
	if (!IsPowerOfTwo(Image.FileAlignment) || !IsPowerOfTwo(Image.SectionAlignment) ||
		Image.SectionAlignment > MaximumSectionAlignment || Image.FileAlignment > MaximumFileAlignment ||
		Image.FileAlignment > Image.SectionAlignment)
	{
		Log(ELogLevel::Error, Category, L"Failed because of invalid alignments: file 0x%X, sections 0x%X",
			Image.FileAlignment, Image.SectionAlignment);
		return false;
	}
	if (Image.Directories.size() <= ResourceDirectoryIndex)
	{
		Log(ELogLevel::Error, Category, L"Failed because the optional header has no resource directory entry");
		return false;
	}

	uint64_t EndOfSections = std::min<uint64_t>(Image.SizeOfHeaders, File.size());
	uint64_t EndOfImage = 0;
	for (const FPeSection& Section : Image.Sections)
	{
		if (Section.RawSize != 0)
		{
			EndOfSections = std::max<uint64_t>(EndOfSections, static_cast<uint64_t>(Section.RawOffset) + Section.RawSize);
		}
		EndOfImage = std::max<uint64_t>(EndOfImage, Section.VirtualAddress + GetSectionSpan(Section));
	}
	// What lies behind the sections moves as a whole; a certificate table
	// inside them would be overwritten or left pointing at the wrong bytes.
	const FPeDataDirectory& Certificates = Image.CertificateDirectory;
	if (Certificates.Address != 0 && Certificates.Address < EndOfSections)
	{
		Log(ELogLevel::Error, Category, L"Failed because the certificate table lies inside the sections: 0x%X",
			Certificates.Address);
		return false;
	}
	OutPlan.EndOfSections = static_cast<uint32_t>(EndOfSections);

	for (size_t Index = 0; Index < Image.Sections.size(); ++Index)
	{
		if (IsRewritableInPlace(Image, Index, EndOfSections, EndOfImage))
		{
			OutPlan.bInPlace = true;
			OutPlan.SectionIndex = Index;
			OutPlan.Rva = Image.Sections[Index].VirtualAddress;
			OutPlan.RawOffset = Image.Sections[Index].RawOffset;
			return true;
		}
	}
	return TryPlanNewSection(Image, File, EndOfSections, EndOfImage, Category, OutPlan);
}

bool TryLayOutFile(const FPeImage& Image, const std::vector<uint8_t>& File, const FPeSectionPlan& Plan,
	const std::vector<uint8_t>& Section, const wchar_t* Category, std::vector<uint8_t>& OutBytes)
{
	const uint64_t RawSize = AlignUp(Section.size(), Image.FileAlignment);
	const uint64_t NewEndOfSections = Plan.RawOffset + RawSize;
	// Everything behind the sections moves by a multiple of the certificate
	// table's alignment, so that its entries stay aligned.
	constexpr int64_t TailAlignment = CertificateAlignment;
	const int64_t Growth = static_cast<int64_t>(NewEndOfSections) - static_cast<int64_t>(Plan.EndOfSections);
	const int64_t TailPadding = (TailAlignment - (Growth % TailAlignment + TailAlignment) % TailAlignment) % TailAlignment;
	const uint64_t TailStart = NewEndOfSections + static_cast<uint64_t>(TailPadding);
	const uint64_t TailSize = File.size() - Plan.EndOfSections;
	if (TailStart + TailSize > MaximumFileSize)
	{
		Log(ELogLevel::Error, Category, L"Failed because the file would grow past 4 GiB");
		return false;
	}
	const int64_t Shift = static_cast<int64_t>(TailStart) - static_cast<int64_t>(Plan.EndOfSections);

	std::vector<uint8_t> Bytes;
	Bytes.reserve(static_cast<size_t>(TailStart + TailSize));
	const size_t Kept = Plan.bInPlace ? Plan.RawOffset : Plan.EndOfSections;
	Bytes.insert(Bytes.end(), File.begin(), File.begin() + static_cast<ptrdiff_t>(Kept));
	Bytes.resize(Plan.RawOffset, 0);
	Bytes.insert(Bytes.end(), Section.begin(), Section.end());
	Bytes.resize(static_cast<size_t>(TailStart), 0);
	Bytes.insert(Bytes.end(), File.begin() + Plan.EndOfSections, File.end());

	const uint32_t Entry = Image.SectionTableOffset + static_cast<uint32_t>(Plan.SectionIndex) * SectionHeaderSize;
	uint64_t OldRawSize = 0;
	if (Plan.bInPlace)
	{
		OldRawSize = Image.Sections[Plan.SectionIndex].RawSize;
	}
	else
	{
		std::copy(std::begin(ResourceSectionName), std::end(ResourceSectionName), Bytes.begin() + Entry);
		WriteUInt32(Bytes.data(), Entry + SectionVirtualAddressField, Plan.Rva);
		WriteUInt32(Bytes.data(), Entry + SectionRawOffsetField, Plan.RawOffset);
		WriteUInt32(Bytes.data(), Entry + SectionCharacteristicsField, ResourceSectionCharacteristics);
		WriteUInt16(Bytes.data(), Image.NtHeadersOffset + NtSignatureSize + NumberOfSectionsField,
			static_cast<uint16_t>(Image.Sections.size() + 1));
	}
	WriteUInt32(Bytes.data(), Entry + SectionVirtualSizeField, static_cast<uint32_t>(Section.size()));
	WriteUInt32(Bytes.data(), Entry + SectionRawSizeField, static_cast<uint32_t>(RawSize));

	const FPeDataDirectory& ResourceDirectory = Image.Directories[ResourceDirectoryIndex];
	WriteUInt32(Bytes.data(), ResourceDirectory.HeaderOffset + DataDirectoryAddressField, Plan.Rva);
	WriteUInt32(Bytes.data(), ResourceDirectory.HeaderOffset + DataDirectorySizeField, static_cast<uint32_t>(Section.size()));

	const uint32_t OptionalHeader = Image.OptionalHeaderOffset;
	WriteUInt32(Bytes.data(), OptionalHeader + SizeOfImageField,
		static_cast<uint32_t>(AlignUp(Plan.Rva + std::max<uint64_t>(Section.size(), 1), Image.SectionAlignment)));
	const uint64_t InitializedData = ReadUInt32(Bytes.data(), OptionalHeader + SizeOfInitializedDataField);
	const uint64_t NewInitializedData = InitializedData + RawSize > OldRawSize ? InitializedData + RawSize - OldRawSize : 0;
	WriteUInt32(Bytes.data(), OptionalHeader + SizeOfInitializedDataField,
		static_cast<uint32_t>(std::min<uint64_t>(NewInitializedData, 0xFFFFFFFFull)));

	if (Image.CertificateDirectory.Address != 0)
	{
		WriteUInt32(Bytes.data(), Image.CertificateDirectory.HeaderOffset + DataDirectoryAddressField,
			static_cast<uint32_t>(Image.CertificateDirectory.Address + Shift));
	}
	if (Image.SymbolTableOffset != 0 && Image.SymbolTableOffset >= Plan.EndOfSections)
	{
		WriteUInt32(Bytes.data(), Image.NtHeadersOffset + NtSignatureSize + SymbolTablePointerField,
			static_cast<uint32_t>(Image.SymbolTableOffset + Shift));
	}
	OutBytes = std::move(Bytes);
	return true;
}

uint32_t ComputePeCheckSum(const uint8_t* Bytes, size_t Size, uint32_t CheckSumOffset)
{
	const auto ByteAt = [&](size_t Offset) -> uint32_t
	{
		return Offset >= CheckSumOffset && Offset - CheckSumOffset < CheckSumSize ? 0 : Bytes[Offset];
	};
	uint64_t Sum = 0;
	for (size_t Offset = 0; Offset < Size; Offset += 2)
	{
		const uint32_t Word = ByteAt(Offset) | (Offset + 1 < Size ? ByteAt(Offset + 1) << 8 : 0);
		Sum += Word;
		Sum = (Sum & 0xFFFF) + (Sum >> 16);
	}
	Sum = (Sum & 0xFFFF) + (Sum >> 16);
	return static_cast<uint32_t>(Sum + Size);
}

void WritePeCheckSum(uint8_t* Bytes, size_t Size, const FPeImage& Image)
{
	if (Image.CheckSum != 0)
	{
		const uint32_t CheckSumOffset = Image.OptionalHeaderOffset + CheckSumField;
		WriteUInt32(Bytes, CheckSumOffset, ComputePeCheckSum(Bytes, Size, CheckSumOffset));
	}
}
