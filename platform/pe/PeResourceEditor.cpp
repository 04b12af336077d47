#include "platform/pe/PeResourceEditor.h"

#include "app/Log.h"
#include "platform/pe/PeFormat.h"

#include <algorithm>
#include <new>
#include <string>

using namespace PeFormat;

namespace
{
	constexpr const wchar_t* LoadCategory = L"PeResourceEditor::TryLoad";
	constexpr const wchar_t* BuildCategory = L"PeResourceEditor::TryBuild";
	constexpr const wchar_t* CertificateCategory = L"PeResourceEditor::TryRemoveCertificate";

	// As linkers mark .rsrc.
	constexpr uint32_t ResourceSectionCharacteristics = SectionInitializedDataFlag | SectionReadableFlag;
	constexpr char ResourceSectionName[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};

	// Resource data and the certificate table's entries start on 8-byte boundaries.
	constexpr uint32_t DataAlignment = 8;
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

	// The loader looks names up in UTF-16; wchar_t is wider on some systems.
	std::u16string ToUtf16(const std::wstring& Text)
	{
		std::u16string Result;
		Result.reserve(Text.size());
		for (const wchar_t Character : Text)
		{
			const uint32_t CodePoint = static_cast<uint32_t>(Character);
			if (CodePoint > 0xFFFF)
			{
				Result.push_back(static_cast<char16_t>(0xD800 + ((CodePoint - 0x10000) >> 10)));
				Result.push_back(static_cast<char16_t>(0xDC00 + ((CodePoint - 0x10000) & 0x3FF)));
			}
			else
			{
				Result.push_back(static_cast<char16_t>(CodePoint));
			}
		}
		return Result;
	}

	bool IsNamedEntry(const FPeResourceId& Id) { return Id.IsNamed(); }
	bool IsNamedEntry(uint16_t) { return false; } // languages are numbers only

	// A checksum of zero means the file's maker left it out, and it stays out.
	void WriteCheckSum(uint8_t* Bytes, size_t Size, const FPeImage& Image)
	{
		if (Image.CheckSum != 0)
		{
			const uint32_t CheckSumOffset = Image.OptionalHeaderOffset + CheckSumField;
			WriteUInt32(Bytes, CheckSumOffset, FPeResourceEditor::ComputeCheckSum(Bytes, Size, CheckSumOffset));
		}
	}

	// How far the loader may address a section: its virtual size, or its raw
	// size when the linker left the virtual size out.
	uint64_t GetSectionSpan(const FPeSection& Section)
	{
		return Section.VirtualSize != 0 ? Section.VirtualSize : Section.RawSize;
	}
}

bool FPeResourceEditor::IsBeforeInDirectory(const FPeResourceId& Left, const FPeResourceId& Right)
{
	if (Left.IsNamed() != Right.IsNamed())
	{
		return Left.IsNamed();
	}
	if (!Left.IsNamed())
	{
		return Left.Id < Right.Id;
	}
	// The loader upper-cases the name it looks for and then compares code
	// unit by code unit, so its binary search wants this order. (A name stored
	// in lower case is never found by name; resource compilers store upper case.)
	return ToUtf16(Left.Name) < ToUtf16(Right.Name);
}

uint32_t FPeResourceEditor::ComputeCheckSum(const uint8_t* Bytes, size_t Size, uint32_t CheckSumOffset)
{
	const auto ByteAt = [&](size_t Offset) -> uint32_t
	{
		return Offset >= CheckSumOffset && Offset - CheckSumOffset < 4 ? 0 : Bytes[Offset];
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

bool FPeResourceEditor::TryRefreshCheckSum(uint8_t* Bytes, size_t Size)
{
	FPeImage Image;
	if (!TryParsePeImage(Bytes, Size, Image))
	{
		return false;
	}
	WriteCheckSum(Bytes, Size, Image);
	return true;
}

bool FPeResourceEditor::TryCollectResources(const uint8_t* Bytes, size_t Size, const FPeImage& Image,
	FTypeMap& OutResources)
{
	OutResources.clear();
	for (const FPeResource& Resource : Image.Resources)
	{
		for (const FPeResourceLanguage& Language : Resource.Languages)
		{
			if (static_cast<uint64_t>(Language.FileOffset) + Language.Size > Size)
			{
				return false;
			}
			const uint8_t* Start = Bytes + Language.FileOffset;
			FLanguageVersion& Version = OutResources[Resource.Type][Resource.Name][Language.Language];
			Version.Bytes.assign(Start, Start + Language.Size);
			Version.CodePage = Language.CodePage;
		}
	}
	return true;
}

bool FPeResourceEditor::TryLoad(const uint8_t* Bytes, size_t Size)
{
	return TryLoadParsed(Bytes, Size, nullptr);
}

bool FPeResourceEditor::TryLoad(std::vector<uint8_t>&& Bytes)
{
	return TryLoadParsed(Bytes.data(), Bytes.size(), &Bytes);
}

// Owned, when given, holds the bytes and is moved in; otherwise they are copied.
bool FPeResourceEditor::TryLoadParsed(const uint8_t* Bytes, size_t Size, std::vector<uint8_t>* Owned)
{
	try
	{
		FPeImage NewImage;
		if (!TryParsePeImage(Bytes, Size, NewImage))
		{
			Log(ELogLevel::Error, LoadCategory, L"Failed to read the PE image");
			return false;
		}
		FTypeMap NewResources;
		if (!TryCollectResources(Bytes, Size, NewImage, NewResources))
		{
			Log(ELogLevel::Error, LoadCategory, L"Failed because resource data lies outside the file");
			return false;
		}
		if (Owned != nullptr)
		{
			File = std::move(*Owned);
		}
		else
		{
			File.assign(Bytes, Bytes + Size);
		}
		Image = std::move(NewImage);
		Resources = std::move(NewResources);
		bResourcesChanged = false;
		return true;
	}
	catch (const std::bad_alloc&)
	{
		Log(ELogLevel::Error, LoadCategory, L"Failed due to insufficient memory");
		return false;
	}
	catch (const std::exception&)
	{
		Log(ELogLevel::Error, LoadCategory, L"Failed due to an unexpected exception");
		return false;
	}
}

bool FPeResourceEditor::HasResource(const FPeResourceId& Type, const FPeResourceId& Name, uint16_t Language) const
{
	const auto TypeEntry = Resources.find(Type);
	if (TypeEntry == Resources.end())
	{
		return false;
	}
	const auto NameEntry = TypeEntry->second.find(Name);
	return NameEntry != TypeEntry->second.end() && NameEntry->second.count(Language) != 0;
}

bool FPeResourceEditor::DeleteResource(const FPeResourceId& Type, const FPeResourceId& Name, uint16_t Language)
{
	const auto TypeEntry = Resources.find(Type);
	if (TypeEntry == Resources.end())
	{
		return false;
	}
	const auto NameEntry = TypeEntry->second.find(Name);
	if (NameEntry == TypeEntry->second.end() || NameEntry->second.erase(Language) == 0)
	{
		return false;
	}
	// An empty directory would be a name or a type that lookups find but
	// cannot open.
	if (NameEntry->second.empty())
	{
		TypeEntry->second.erase(NameEntry);
		if (TypeEntry->second.empty())
		{
			Resources.erase(TypeEntry);
		}
	}
	bResourcesChanged = true;
	return true;
}

void FPeResourceEditor::SetResource(const FPeResourceId& Type, const FPeResourceId& Name, uint16_t Language,
	std::vector<uint8_t> Bytes)
{
	FLanguageVersion& Version = Resources[Type][Name][Language];
	Version.Bytes = std::move(Bytes);
	Version.CodePage = 0;
	bResourcesChanged = true;
}

bool FPeResourceEditor::TryRemoveCertificate(size_t Index)
{
	try
	{
		if (Index >= Image.Certificates.size())
		{
			Log(ELogLevel::Error, CertificateCategory, L"Failed because there is no certificate entry %u, entries: %u",
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
		WriteUInt32(NewFile.data(), Directory.HeaderOffset, NewSize == 0 ? 0 : Directory.Address);
		WriteUInt32(NewFile.data(), Directory.HeaderOffset + 4, NewSize);
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
			Log(ELogLevel::Error, CertificateCategory, L"Failed because the file does not read back after removing entry %u",
				static_cast<uint32_t>(Index));
			return false;
		}
		File = std::move(NewFile);
		Image = std::move(NewImage);
		return true;
	}
	catch (const std::bad_alloc&)
	{
		Log(ELogLevel::Error, CertificateCategory, L"Failed due to insufficient memory");
		return false;
	}
	catch (const std::exception&)
	{
		Log(ELogLevel::Error, CertificateCategory, L"Failed due to an unexpected exception");
		return false;
	}
}

bool FPeResourceEditor::TryPlanResourceSection(FSectionPlan& OutPlan) const
{
	if (!IsPowerOfTwo(Image.FileAlignment) || !IsPowerOfTwo(Image.SectionAlignment) ||
		Image.SectionAlignment > MaximumSectionAlignment || Image.FileAlignment > MaximumFileAlignment ||
		Image.FileAlignment > Image.SectionAlignment)
	{
		Log(ELogLevel::Error, BuildCategory, L"Failed because of invalid alignments: file 0x%X, sections 0x%X",
			Image.FileAlignment, Image.SectionAlignment);
		return false;
	}
	if (Image.Directories.size() <= ResourceDirectoryIndex)
	{
		Log(ELogLevel::Error, BuildCategory, L"Failed because the optional header has no resource directory entry");
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
		Log(ELogLevel::Error, BuildCategory, L"Failed because the certificate table lies inside the sections: 0x%X",
			Certificates.Address);
		return false;
	}
	OutPlan.EndOfSections = static_cast<uint32_t>(EndOfSections);

	// In place: the resource section is the last one in the file and in
	// memory, begins with the resource tree, and no other directory uses it.
	for (size_t Index = 0; Index < Image.Sections.size(); ++Index)
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
			continue;
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
		if (!bShared)
		{
			OutPlan.bInPlace = true;
			OutPlan.SectionIndex = Index;
			OutPlan.Rva = Section.VirtualAddress;
			OutPlan.RawOffset = Section.RawOffset;
			return true;
		}
	}

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
		Log(ELogLevel::Error, BuildCategory, L"Failed because the section table has no room for another section");
		return false;
	}
	const uint64_t Rva = AlignUp(EndOfImage, Image.SectionAlignment);
	const uint64_t RawOffset = AlignUp(EndOfSections, Image.FileAlignment);
	// Below the page size the loader maps the file as it lies, so a section's
	// data must sit at its own address in the file.
	if (Image.SectionAlignment < PageSize && Rva != RawOffset)
	{
		Log(ELogLevel::Error, BuildCategory,
			L"Failed because a new section of this image would lie at 0x%X in memory but at 0x%X in the file",
			static_cast<uint32_t>(Rva), static_cast<uint32_t>(RawOffset));
		return false;
	}
	if (Rva > 0x7FFFFFFFull || RawOffset > 0x7FFFFFFFull)
	{
		Log(ELogLevel::Error, BuildCategory, L"Failed because the image is too large for another section");
		return false;
	}
	OutPlan.bInPlace = false;
	OutPlan.SectionIndex = Image.Sections.size();
	OutPlan.Rva = static_cast<uint32_t>(Rva);
	OutPlan.RawOffset = static_cast<uint32_t>(RawOffset);
	return true;
}

bool FPeResourceEditor::TryBuildResourceSection(uint32_t SectionRva, std::vector<uint8_t>& OutSection) const
{
	// Layout: every directory table (root, then the types' name tables, then
	// the names' language tables), the name strings, the data entries, and
	// the data, each block aligned.
	uint64_t DirectoriesSize = ResourceDirectorySize + ResourceEntrySize * Resources.size();
	uint64_t StringsSize = 0;
	uint64_t LanguageCount = 0;
	uint64_t DataSize = 0;
	const auto CountEntries = [](const auto& Map, uint64_t& OutNamed, uint64_t& OutNumbered)
	{
		OutNamed = 0;
		OutNumbered = 0;
		for (const auto& Entry : Map)
		{
			++(IsNamedEntry(Entry.first) ? OutNamed : OutNumbered);
		}
	};
	const auto AddString = [&](const FPeResourceId& Id) -> bool
	{
		if (!Id.IsNamed())
		{
			return true;
		}
		const size_t Length = ToUtf16(Id.Name).size();
		StringsSize += 2 + 2 * Length;
		return Length <= 0xFFFF;
	};
	bool bFits = true;
	for (const auto& [Type, Names] : Resources)
	{
		bFits = AddString(Type) && bFits;
		DirectoriesSize += ResourceDirectorySize + ResourceEntrySize * Names.size();
		for (const auto& [Name, Languages] : Names)
		{
			bFits = AddString(Name) && bFits;
			DirectoriesSize += ResourceDirectorySize + ResourceEntrySize * Languages.size();
			bFits = bFits && Languages.size() <= 0xFFFF;
			for (const auto& [Language, Version] : Languages)
			{
				++LanguageCount;
				DataSize = AlignUp(DataSize, DataAlignment) + Version.Bytes.size();
			}
		}
		bFits = bFits && Names.size() <= 0xFFFF;
	}
	const uint64_t StringsStart = DirectoriesSize;
	const uint64_t DataEntriesStart = AlignUp(StringsStart + StringsSize, DataAlignment);
	const uint64_t DataStart = AlignUp(DataEntriesStart + ResourceDataEntrySize * LanguageCount, DataAlignment);
	const uint64_t TotalSize = DataStart + DataSize;
	if (!bFits || Resources.size() > 0xFFFF || TotalSize + SectionRva > 0x7FFFFFFFull)
	{
		Log(ELogLevel::Error, BuildCategory, L"Failed because the resources do not fit a resource section");
		return false;
	}

	std::vector<uint8_t> Section(static_cast<size_t>(TotalSize), 0);
	uint32_t NextDirectory = 0;
	uint32_t NextString = static_cast<uint32_t>(StringsStart);
	uint32_t NextDataEntry = static_cast<uint32_t>(DataEntriesStart);
	uint32_t NextData = static_cast<uint32_t>(DataStart);

	const auto WriteDirectoryHeader = [&](uint32_t Offset, const auto& Map)
	{
		uint64_t Named = 0;
		uint64_t Numbered = 0;
		CountEntries(Map, Named, Numbered);
		WriteUInt16(Section.data(), Offset + NamedEntryCountField, static_cast<uint16_t>(Named));
		WriteUInt16(Section.data(), Offset + IdEntryCountField, static_cast<uint16_t>(Numbered));
	};
	const auto WriteEntryName = [&](uint32_t EntryOffset, const FPeResourceId& Id)
	{
		if (!Id.IsNamed())
		{
			WriteUInt32(Section.data(), EntryOffset, Id.Id);
			return;
		}
		const std::u16string Text = ToUtf16(Id.Name);
		WriteUInt32(Section.data(), EntryOffset, HighBit | NextString);
		WriteUInt16(Section.data(), NextString, static_cast<uint16_t>(Text.size()));
		for (size_t Index = 0; Index < Text.size(); ++Index)
		{
			WriteUInt16(Section.data(), NextString + 2 + 2 * Index, static_cast<uint16_t>(Text[Index]));
		}
		NextString += static_cast<uint32_t>(2 + 2 * Text.size());
	};

	// Directory offsets are handed out level by level, so that each level's
	// tables sit together as the loader's own tools lay them out.
	const uint32_t Root = NextDirectory;
	NextDirectory += static_cast<uint32_t>(ResourceDirectorySize + ResourceEntrySize * Resources.size());
	std::vector<uint32_t> NameTables;
	for (const auto& [Type, Names] : Resources)
	{
		NameTables.push_back(NextDirectory);
		NextDirectory += static_cast<uint32_t>(ResourceDirectorySize + ResourceEntrySize * Names.size());
	}
	std::vector<uint32_t> LanguageTables;
	for (const auto& [Type, Names] : Resources)
	{
		for (const auto& [Name, Languages] : Names)
		{
			LanguageTables.push_back(NextDirectory);
			NextDirectory += static_cast<uint32_t>(ResourceDirectorySize + ResourceEntrySize * Languages.size());
		}
	}

	WriteDirectoryHeader(Root, Resources);
	size_t TypeIndex = 0;
	size_t NameIndex = 0;
	for (const auto& [Type, Names] : Resources)
	{
		const uint32_t TypeEntry = Root + ResourceDirectorySize + ResourceEntrySize * static_cast<uint32_t>(TypeIndex);
		const uint32_t NameTable = NameTables[TypeIndex++];
		WriteEntryName(TypeEntry, Type);
		WriteUInt32(Section.data(), TypeEntry + 4, HighBit | NameTable);
		WriteDirectoryHeader(NameTable, Names);
		uint32_t NameSlot = 0;
		for (const auto& [Name, Languages] : Names)
		{
			const uint32_t NameEntry = NameTable + ResourceDirectorySize + ResourceEntrySize * NameSlot++;
			const uint32_t LanguageTable = LanguageTables[NameIndex++];
			WriteEntryName(NameEntry, Name);
			WriteUInt32(Section.data(), NameEntry + 4, HighBit | LanguageTable);
			WriteDirectoryHeader(LanguageTable, Languages);
			uint32_t LanguageSlot = 0;
			for (const auto& [Language, Version] : Languages)
			{
				const uint32_t LanguageEntry = LanguageTable + ResourceDirectorySize + ResourceEntrySize * LanguageSlot++;
				WriteUInt32(Section.data(), LanguageEntry, Language);
				WriteUInt32(Section.data(), LanguageEntry + 4, NextDataEntry);
				NextData = static_cast<uint32_t>(AlignUp(NextData, DataAlignment));
				WriteUInt32(Section.data(), NextDataEntry, SectionRva + NextData);
				WriteUInt32(Section.data(), NextDataEntry + 4, static_cast<uint32_t>(Version.Bytes.size()));
				WriteUInt32(Section.data(), NextDataEntry + 8, Version.CodePage);
				std::copy(Version.Bytes.begin(), Version.Bytes.end(), Section.begin() + NextData);
				NextData += static_cast<uint32_t>(Version.Bytes.size());
				NextDataEntry += ResourceDataEntrySize;
			}
		}
	}
	OutSection = std::move(Section);
	return true;
}

bool FPeResourceEditor::TryLayOutFile(const FSectionPlan& Plan, const std::vector<uint8_t>& Section,
	std::vector<uint8_t>& OutBytes) const
{
	const uint64_t RawSize = AlignUp(Section.size(), Image.FileAlignment);
	const uint64_t NewEndOfSections = Plan.RawOffset + RawSize;
	// Everything behind the sections moves by a multiple of 8, so that the
	// certificate table's entries stay aligned.
	const int64_t Growth = static_cast<int64_t>(NewEndOfSections) - static_cast<int64_t>(Plan.EndOfSections);
	const uint64_t TailStart = NewEndOfSections + static_cast<uint64_t>((8 - (Growth % 8 + 8) % 8) % 8);
	const uint64_t TailSize = File.size() - Plan.EndOfSections;
	if (TailStart + TailSize > 0xFFFFFFFEull)
	{
		Log(ELogLevel::Error, BuildCategory, L"Failed because the file would grow past 4 GiB");
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
	WriteUInt32(Bytes.data(), ResourceDirectory.HeaderOffset, Plan.Rva);
	WriteUInt32(Bytes.data(), ResourceDirectory.HeaderOffset + 4, static_cast<uint32_t>(Section.size()));

	const uint32_t OptionalHeader = Image.OptionalHeaderOffset;
	WriteUInt32(Bytes.data(), OptionalHeader + SizeOfImageField,
		static_cast<uint32_t>(AlignUp(Plan.Rva + std::max<uint64_t>(Section.size(), 1), Image.SectionAlignment)));
	const uint64_t InitializedData = ReadUInt32(Bytes.data(), OptionalHeader + SizeOfInitializedDataField);
	const uint64_t NewInitializedData = InitializedData + RawSize > OldRawSize ? InitializedData + RawSize - OldRawSize : 0;
	WriteUInt32(Bytes.data(), OptionalHeader + SizeOfInitializedDataField,
		static_cast<uint32_t>(std::min<uint64_t>(NewInitializedData, 0xFFFFFFFFull)));

	if (Image.CertificateDirectory.Address != 0)
	{
		WriteUInt32(Bytes.data(), Image.CertificateDirectory.HeaderOffset,
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

bool FPeResourceEditor::IsReadBackSound(const std::vector<uint8_t>& Bytes) const
{
	FPeImage ReadBack;
	FTypeMap ReadBackResources;
	if (!TryParsePeImage(Bytes.data(), Bytes.size(), ReadBack) ||
		!TryCollectResources(Bytes.data(), Bytes.size(), ReadBack, ReadBackResources))
	{
		return false;
	}
	if (ReadBack.Certificates.size() != Image.Certificates.size())
	{
		return false;
	}
	for (size_t Index = 0; Index < Image.Certificates.size(); ++Index)
	{
		const FPeCertificate& Old = Image.Certificates[Index];
		const FPeCertificate& New = ReadBack.Certificates[Index];
		if (Old.Length != New.Length || !std::equal(File.begin() + Old.FileOffset, File.begin() + Old.FileOffset + Old.Length,
											Bytes.begin() + New.FileOffset))
		{
			return false;
		}
	}
	return ReadBackResources == Resources;
}

bool FPeResourceEditor::TryBuild(std::vector<uint8_t>& OutBytes) const
{
	try
	{
		if (File.empty())
		{
			Log(ELogLevel::Error, BuildCategory, L"Failed because no file was loaded");
			return false;
		}
		std::vector<uint8_t> Bytes;
		if (bResourcesChanged)
		{
			FSectionPlan Plan;
			std::vector<uint8_t> Section;
			if (!TryPlanResourceSection(Plan) || !TryBuildResourceSection(Plan.Rva, Section) ||
				!TryLayOutFile(Plan, Section, Bytes))
			{
				return false;
			}
			Log(ELogLevel::Verbose, BuildCategory, Plan.bInPlace ? L"Rewrote the resource section in place: %u bytes"
																 : L"Added a new resource section: %u bytes",
				static_cast<uint32_t>(Section.size()));
		}
		else
		{
			Bytes = File;
		}
		WriteCheckSum(Bytes.data(), Bytes.size(), Image);
		if (!IsReadBackSound(Bytes))
		{
			Log(ELogLevel::Error, BuildCategory, L"Failed because the changed file does not read back as written");
			return false;
		}
		OutBytes = std::move(Bytes);
		return true;
	}
	catch (const std::bad_alloc&)
	{
		Log(ELogLevel::Error, BuildCategory, L"Failed due to insufficient memory");
		return false;
	}
	catch (const std::exception&)
	{
		Log(ELogLevel::Error, BuildCategory, L"Failed due to an unexpected exception");
		return false;
	}
}
