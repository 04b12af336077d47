#include "platform/pe/PeResourceReader.h"

#include "app/Log.h"
#include "platform/pe/PeCertificates.h"
#include "platform/pe/PeFormat.h"
#include "platform/pe/PeHeaders.h"

#include <set>

using namespace PeFormat;

namespace
{
	constexpr const wchar_t* ParseCategory = L"PeResourceReader::TryParsePeImage";
	constexpr const wchar_t* ReadCategory = L"PeResourceReader::TryReadResources";

	// Type, name and language: a directory below the language level is not a resource.
	constexpr int ResourceLevels = 3;

	class FResourceTreeReader
	{
	public:
		FResourceTreeReader(const uint8_t* InBytes, size_t InSize, FPeImage& InImage)
			: Bytes(InBytes), Size(InSize), Image(InImage)
		{
		}

		bool TryRead()
		{
			FPeResource Path;
			return TryReadDirectory(0, 0, Path);
		}

	private:
		const uint8_t* Bytes;
		size_t Size;
		FPeImage& Image;
		std::set<uint32_t> VisitedDirectories;

		// Offsets inside the tree count from its start, which lies in the
		// section table's address space, not the file's.
		bool TryMapTreeOffset(uint32_t TreeOffset, uint32_t Length, uint32_t& OutFileOffset)
		{
			const uint64_t Rva = static_cast<uint64_t>(Image.ResourceDirectory.Address) + TreeOffset;
			if (Rva > 0xFFFFFFFFull || !TryMapRvaToFileOffset(Image, Size, static_cast<uint32_t>(Rva), Length, OutFileOffset))
			{
				Log(ELogLevel::Error, ParseCategory, L"Failed because a resource directory offset lies outside the file: 0x%X",
					TreeOffset);
				return false;
			}
			return true;
		}

		bool TryReadName(uint32_t TreeOffset, std::wstring& OutName)
		{
			uint32_t LengthOffset = 0;
			if (!TryMapTreeOffset(TreeOffset, ResourceNameTextField, LengthOffset))
			{
				return false;
			}
			const uint16_t Length = ReadUInt16(Bytes, LengthOffset);
			uint32_t TextOffset = 0;
			if (Length == 0 || !TryMapTreeOffset(TreeOffset, ResourceNameTextField + ResourceNameUnitSize * Length, TextOffset))
			{
				Log(ELogLevel::Error, ParseCategory, L"Failed because of an invalid resource name at 0x%X", TreeOffset);
				return false;
			}
			std::u16string Text(Length, u'\0');
			for (uint32_t Index = 0; Index < Length; ++Index)
			{
				const uint64_t Unit = TextOffset + ResourceNameTextField + ResourceNameUnitSize * static_cast<uint64_t>(Index);
				Text[Index] = static_cast<char16_t>(ReadUInt16(Bytes, Unit));
			}
			OutName = ResourceNameFromUtf16(Text);
			return true;
		}

		bool TryReadDataEntry(uint32_t TreeOffset, uint16_t Language, FPeResourceLanguage& OutLanguage)
		{
			uint32_t EntryOffset = 0;
			if (!TryMapTreeOffset(TreeOffset, ResourceDataEntrySize, EntryOffset))
			{
				return false;
			}
			OutLanguage.Language = Language;
			OutLanguage.DataRva = ReadUInt32(Bytes, EntryOffset + ResourceDataRvaField);
			OutLanguage.Size = ReadUInt32(Bytes, EntryOffset + ResourceDataSizeField);
			OutLanguage.CodePage = ReadUInt32(Bytes, EntryOffset + ResourceDataCodePageField);
			if (!TryMapRvaToFileOffset(Image, Size, OutLanguage.DataRva, OutLanguage.Size, OutLanguage.FileOffset))
			{
				Log(ELogLevel::Error, ParseCategory,
					L"Failed because resource data lies outside the file: RVA 0x%X, size 0x%X", OutLanguage.DataRva,
					OutLanguage.Size);
				return false;
			}
			return true;
		}

		// Level 0 holds types, 1 names, 2 languages; Path carries the type and
		// name of the directories above.
		bool TryReadDirectory(uint32_t TreeOffset, int Level, FPeResource& Path)
		{
			if (!VisitedDirectories.insert(TreeOffset).second)
			{
				Log(ELogLevel::Error, ParseCategory, L"Failed because a resource directory is reached twice: 0x%X", TreeOffset);
				return false;
			}
			uint32_t HeaderOffset = 0;
			if (!TryMapTreeOffset(TreeOffset, ResourceDirectorySize, HeaderOffset))
			{
				return false;
			}
			const uint32_t EntryCount = static_cast<uint32_t>(ReadUInt16(Bytes, HeaderOffset + NamedEntryCountField)) +
				ReadUInt16(Bytes, HeaderOffset + IdEntryCountField);
			uint32_t EntriesOffset = 0;
			if (!TryMapTreeOffset(TreeOffset + ResourceDirectorySize, EntryCount * ResourceEntrySize, EntriesOffset))
			{
				return false;
			}

			if (Level == 2)
			{
				Image.Resources.push_back(FPeResource{Path.Type, Path.Name, {}});
			}
			for (uint32_t Index = 0; Index < EntryCount; ++Index)
			{
				const uint64_t Entry = EntriesOffset + static_cast<uint64_t>(Index) * ResourceEntrySize;
				const uint32_t NameField = ReadUInt32(Bytes, Entry + ResourceEntryNameField);
				const uint32_t DataField = ReadUInt32(Bytes, Entry + ResourceEntryDataField);
				FPeResourceId Id;
				if ((NameField & HighBit) != 0)
				{
					if (Level == 2)
					{
						Log(ELogLevel::Error, ParseCategory, L"Failed because a language is given by name");
						return false;
					}
					if (!TryReadName(NameField & ~HighBit, Id.Name))
					{
						return false;
					}
				}
				else
				{
					Id.Id = NameField;
				}

				const bool IsDirectory = (DataField & HighBit) != 0;
				if (IsDirectory != (Level + 1 < ResourceLevels))
				{
					Log(ELogLevel::Error, ParseCategory, L"Failed because the resource tree is not %i levels deep",
						ResourceLevels);
					return false;
				}
				if (Level == 0)
				{
					Path.Type = Id;
				}
				else if (Level == 1)
				{
					Path.Name = Id;
				}
				if (IsDirectory)
				{
					if (!TryReadDirectory(DataField & ~HighBit, Level + 1, Path))
					{
						return false;
					}
					continue;
				}

				if (Id.Id > 0xFFFF)
				{
					Log(ELogLevel::Error, ParseCategory, L"Failed because of an invalid resource language: 0x%X", Id.Id);
					return false;
				}
				FPeResourceLanguage Language;
				if (!TryReadDataEntry(DataField, static_cast<uint16_t>(Id.Id), Language))
				{
					return false;
				}
				Image.Resources.back().Languages.push_back(Language);
			}
			if (Level == 2 && EntryCount == 0)
			{
				// A name without languages has nothing a lookup could find.
				Image.Resources.pop_back();
			}
			return true;
		}
	};

	// Through the walk every reader of the headers shares, with only the file
	// header asked for: the optional header's size, which it holds, says how
	// much follows. Any e_lfanew inside the file is followed.
	bool TryReadFileHeader(const uint8_t* Bytes, size_t Size, FPeImage& Image, uint32_t& OutSectionCount,
		uint32_t& OutOptionalHeaderSize)
	{
		// The size first: an empty file's buffer may have no data pointer at
		// all, and its reason is its size.
		if (!CheckExecutableFileSize(Size, ParseCategory) || Bytes == nullptr)
		{
			return false;
		}
		constexpr FNtHeadersBound Bound{NtSignatureSize + FileHeaderSize, 0xFFFFFFFF};
		uint32_t NtOffset = 0;
		if (WalkToNtHeaders(Bytes, Size, Bound, NtOffset) != ENtHeadersWalk::Found)
		{
			Log(ELogLevel::Error, ParseCategory, L"Failed because the file has no PE headers");
			return false;
		}
		Image.NtHeadersOffset = NtOffset;
		const uint64_t FileHeader = static_cast<uint64_t>(NtOffset) + NtSignatureSize;
		Image.Machine = ReadUInt16(Bytes, FileHeader + MachineField);
		Image.SymbolTableOffset = ReadUInt32(Bytes, FileHeader + SymbolTablePointerField);
		OutSectionCount = ReadUInt16(Bytes, FileHeader + NumberOfSectionsField);
		OutOptionalHeaderSize = ReadUInt16(Bytes, FileHeader + SizeOfOptionalHeaderField);
		return true;
	}

	bool TryReadOptionalHeader(const uint8_t* Bytes, size_t Size, uint32_t OptionalHeaderSize, FPeImage& Image)
	{
		const uint64_t OptionalHeader = static_cast<uint64_t>(Image.NtHeadersOffset) + NtSignatureSize + FileHeaderSize;
		if (!IsInsideFile(OptionalHeader, OptionalHeaderSize, Size) || OptionalHeaderSize < 2)
		{
			Log(ELogLevel::Error, ParseCategory, L"Failed because the optional header lies outside the file");
			return false;
		}
		Image.OptionalHeaderOffset = static_cast<uint32_t>(OptionalHeader);

		const uint16_t Magic = ReadUInt16(Bytes, OptionalHeader);
		if (Magic != Pe32Magic && Magic != Pe32PlusMagic)
		{
			Log(ELogLevel::Error, ParseCategory, L"Failed because of an unknown optional header magic: 0x%X",
				static_cast<uint32_t>(Magic));
			return false;
		}
		Image.Is64Bit = Magic == Pe32PlusMagic;
		const uint32_t CountField = Image.Is64Bit ? Pe32PlusDirectoryCountField : Pe32DirectoryCountField;
		if (OptionalHeaderSize < CountField + DirectoryCountSize)
		{
			Log(ELogLevel::Error, ParseCategory, L"Failed because the optional header is too small: 0x%X", OptionalHeaderSize);
			return false;
		}
		// Both layouts put these at the same place; only what lies between differs.
		Image.SectionAlignment = ReadUInt32(Bytes, OptionalHeader + SectionAlignmentField);
		Image.FileAlignment = ReadUInt32(Bytes, OptionalHeader + FileAlignmentField);
		Image.SizeOfHeaders = ReadUInt32(Bytes, OptionalHeader + SizeOfHeadersField);
		Image.CheckSum = ReadUInt32(Bytes, OptionalHeader + CheckSumField);
		const uint32_t DirectoryCount = ReadUInt32(Bytes, OptionalHeader + CountField);
		const uint64_t Directories = OptionalHeader + CountField + DirectoryCountSize;
		if (static_cast<uint64_t>(DirectoryCount) * DataDirectoryEntrySize > OptionalHeaderSize - CountField - DirectoryCountSize)
		{
			Log(ELogLevel::Error, ParseCategory, L"Failed because the data directories do not fit the optional header: %u",
				DirectoryCount);
			return false;
		}
		auto ReadDirectory = [&](uint32_t Index, FPeDataDirectory& OutDirectory)
		{
			if (Index < DirectoryCount)
			{
				OutDirectory.HeaderOffset = static_cast<uint32_t>(Directories + Index * DataDirectoryEntrySize);
				OutDirectory.Address = ReadUInt32(Bytes, OutDirectory.HeaderOffset + DataDirectoryAddressField);
				OutDirectory.Size = ReadUInt32(Bytes, OutDirectory.HeaderOffset + DataDirectorySizeField);
			}
		};
		ReadDirectory(ResourceDirectoryIndex, Image.ResourceDirectory);
		ReadDirectory(CertificateDirectoryIndex, Image.CertificateDirectory);
		Image.Directories.resize(DirectoryCount);
		for (uint32_t Index = 0; Index < DirectoryCount; ++Index)
		{
			ReadDirectory(Index, Image.Directories[Index]);
		}
		return true;
	}

	// The section table follows the optional header, whatever size it declares.
	bool TryReadSectionTable(const uint8_t* Bytes, size_t Size, uint32_t SectionCount, uint32_t OptionalHeaderSize,
		FPeImage& Image)
	{
		const uint64_t SectionTable = static_cast<uint64_t>(Image.OptionalHeaderOffset) + OptionalHeaderSize;
		if (!IsInsideFile(SectionTable, static_cast<uint64_t>(SectionCount) * SectionHeaderSize, Size))
		{
			Log(ELogLevel::Error, ParseCategory, L"Failed because the section table lies outside the file: %u sections",
				SectionCount);
			return false;
		}
		Image.SectionTableOffset = static_cast<uint32_t>(SectionTable);
		Image.Sections.reserve(SectionCount);
		for (uint32_t Index = 0; Index < SectionCount; ++Index)
		{
			const uint64_t Header = SectionTable + static_cast<uint64_t>(Index) * SectionHeaderSize;
			FPeSection Section;
			for (uint32_t Character = 0; Character < SectionNameSize && Bytes[Header + Character] != 0; ++Character)
			{
				Section.Name.push_back(static_cast<char>(Bytes[Header + Character]));
			}
			Section.VirtualSize = ReadUInt32(Bytes, Header + SectionVirtualSizeField);
			Section.VirtualAddress = ReadUInt32(Bytes, Header + SectionVirtualAddressField);
			Section.RawSize = ReadUInt32(Bytes, Header + SectionRawSizeField);
			Section.RawOffset = ReadUInt32(Bytes, Header + SectionRawOffsetField);
			Section.Characteristics = ReadUInt32(Bytes, Header + SectionCharacteristicsField);
			Section.HeaderOffset = static_cast<uint32_t>(Header);
			// A later rewrite moves whole sections; one the file does not hold cannot be moved.
			if (!IsInsideFile(Section.RawOffset, Section.RawSize, Size))
			{
				Log(ELogLevel::Error, ParseCategory, L"Failed because the data of section %i lies outside the file: 0x%X, size 0x%X",
					static_cast<int32_t>(Index), Section.RawOffset, Section.RawSize);
				return false;
			}
			Image.Sections.push_back(std::move(Section));
		}
		return true;
	}
}

bool TryParsePeImage(const uint8_t* Bytes, size_t Size, FPeImage& OutImage)
{
	return GuardOperation(ParseCategory, PeExceptionLines, false, [&]
	{
		FPeImage Image;
		uint32_t SectionCount = 0;
		uint32_t OptionalHeaderSize = 0;
		if (!TryReadFileHeader(Bytes, Size, Image, SectionCount, OptionalHeaderSize) ||
			!TryReadOptionalHeader(Bytes, Size, OptionalHeaderSize, Image) ||
			!TryReadSectionTable(Bytes, Size, SectionCount, OptionalHeaderSize, Image))
		{
			return false;
		}
		if (Image.ResourceDirectory.Address != 0 || Image.ResourceDirectory.Size != 0)
		{
			FResourceTreeReader Reader(Bytes, Size, Image);
			if (!Reader.TryRead())
			{
				return false;
			}
		}
		if (!TryReadCertificateTable(Bytes, Size, ParseCategory, Image))
		{
			return false;
		}
		OutImage = std::move(Image);
		Log(ELogLevel::Verbose, ParseCategory, L"Successfully read %i resources and %i certificates",
			static_cast<int32_t>(OutImage.Resources.size()), static_cast<int32_t>(OutImage.Certificates.size()));
		return true;
	});
}

bool TryReadResources(const uint8_t* Bytes, size_t Size, const std::vector<FPeResourceId>& Types,
	std::vector<FPeResourceData>& OutResources)
{
	return GuardOperation(ReadCategory, PeExceptionLines, false, [&]
	{
		FPeImage Image;
		if (!TryParsePeImage(Bytes, Size, Image))
		{
			Log(ELogLevel::Error, ReadCategory, L"Failed to read the PE image");
			return false;
		}
		std::vector<FPeResourceData> Result;
		for (const FPeResourceId& Type : Types)
		{
			for (const FPeResource& Resource : Image.Resources)
			{
				if (!(Resource.Type == Type) || Resource.Languages.empty())
				{
					continue;
				}
				FPeResourceData Data;
				Data.Type = Resource.Type;
				Data.Name = Resource.Name;
				Data.DefaultLanguageIndex = GetDefaultLanguageIndex(Resource);
				for (const FPeResourceLanguage& Language : Resource.Languages)
				{
					// The parse checked every range against the buffer.
					const uint8_t* Start = Bytes + Language.FileOffset;
					Data.Languages.push_back(FPeResourceLanguageData{Language.Language, std::vector<uint8_t>(Start, Start + Language.Size)});
				}
				Result.push_back(std::move(Data));
			}
		}
		OutResources = std::move(Result);
		Log(ELogLevel::Verbose, ReadCategory, L"Successfully read resources: %i", static_cast<int32_t>(OutResources.size()));
		return true;
	});
}
