#include "platform/pe/PeResourceReader.h"
#include "tests/support/LogCapture.h"
#include "tests/peresources/PeTestImages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace
{
	// The section holding the resource tree and the file offset of the tree's root.
	const FPeSection& ResourceSection(const FPeImage& Image, uint32_t& OutRoot)
	{
		for (const FPeSection& Section : Image.Sections)
		{
			if (Image.ResourceDirectory.Address >= Section.VirtualAddress &&
				Image.ResourceDirectory.Address < Section.VirtualAddress + Section.RawSize)
			{
				OutRoot = Section.RawOffset + (Image.ResourceDirectory.Address - Section.VirtualAddress);
				return Section;
			}
		}
		throw std::runtime_error("no resource section");
	}

	// The file offset of the second field of entry Index of the directory at TreeOffset.
	uint32_t EntryDataField(uint32_t Root, uint32_t TreeOffset, uint32_t Index)
	{
		return Root + TreeOffset + PeFormat::ResourceDirectorySize + PeFormat::ResourceEntrySize * Index + 4;
	}

	void ExpectRefused(const std::string& Bytes, const std::string& What)
	{
		FLogCapture Capture;
		FPeImage Image;
		EXPECT_FALSE(ParseExact(Bytes, Image)) << What;
		EXPECT_GE(Capture.Count(ELogLevel::Error), 1u) << What;
		std::vector<FPeResourceData> Resources;
		EXPECT_FALSE(ReadExact(Bytes, {FPeResourceId{3, L""}}, Resources)) << What;
	}
}

// Cut at every header boundary and inside every structure, up to the end of
// the last thing the reader has to look at: the sections' data of a 32-bit
// file, the certificate table that ends a signed 64-bit one.
TEST(peresources_malformed, EveryCutBeforeTheEndOfWhatIsReadIsRefused)
{
	for (const char* Name : {"sample32.dll", "signed64.dll"})
	{
		SCOPED_TRACE(Name);
		const std::string File = ReadFixture(Name);
		FPeImage Image;
		ASSERT_TRUE(ParseExact(File, Image));
		size_t Needed = Image.SectionTableOffset + PeFormat::SectionHeaderSize * Image.Sections.size();
		for (const FPeSection& Section : Image.Sections)
		{
			Needed = std::max<size_t>(Needed, static_cast<size_t>(Section.RawOffset) + Section.RawSize);
		}
		Needed = std::max<size_t>(Needed, static_cast<size_t>(Image.CertificateDirectory.Address) + Image.CertificateDirectory.Size);
		ASSERT_LE(Needed, File.size());
		ASSERT_GT(Needed, Image.SectionTableOffset);
		FLogCapture Capture;
		for (size_t Length = 0; Length < Needed; ++Length)
		{
			FPeImage Cut;
			ASSERT_FALSE(ParseExact(File.substr(0, Length), Cut)) << "cut at " << Length;
		}
		EXPECT_EQ(Capture.Count(ELogLevel::Error), Needed);
	}
}

TEST(peresources_malformed, OffsetsOutsideTheFileAndLoopsAreRefused)
{
	const std::string File = ReadFixture("signed64.dll");
	FPeImage Image;
	ASSERT_TRUE(ParseExact(File, Image));
	uint32_t Root = 0;
	const FPeSection& Section = ResourceSection(Image, Root);
	// sample's types are 3, 10, 14, 16: the icon directory is the root's first entry.
	const uint32_t IconDirectory = GetUInt32(File, EntryDataField(Root, 0, 0)) & 0x7FFFFFFF;
	const uint32_t IconName = GetUInt32(File, EntryDataField(Root, IconDirectory, 0)) & 0x7FFFFFFF;
	const uint32_t IconDataEntry = Root + GetUInt32(File, EntryDataField(Root, IconName, 0));
	const uint32_t IconData = Image.Resources.at(0).Languages.at(0).FileOffset;
	ASSERT_LT(static_cast<size_t>(Section.RawOffset) + Section.RawSize, File.size());
	// The group directory (third type) starts with MAINICON, whose name is a string.
	const uint32_t GroupDirectory = GetUInt32(File, EntryDataField(Root, 0, 2)) & 0x7FFFFFFF;
	const uint32_t MainIconNameField = Root + GroupDirectory + PeFormat::ResourceDirectorySize;
	ASSERT_NE(GetUInt32(File, MainIconNameField) & 0x80000000, 0u);
	const uint32_t NtHeaders = Image.NtHeadersOffset;
	const uint32_t DirectoryCountField = Image.OptionalHeaderOffset + PeFormat::Pe32PlusDirectoryCountField;

	const std::vector<std::pair<std::string, std::function<void(std::string&)>>> Corruptions = {
		{"NT headers past the end", [&](std::string& B) { PutUInt32(B, PeFormat::NewHeaderOffsetField, static_cast<uint32_t>(B.size())); }},
		{"NT headers at the very top", [&](std::string& B) { PutUInt32(B, PeFormat::NewHeaderOffsetField, 0xFFFFFFF0); }},
		{"no PE signature", [&](std::string& B) { B[NtHeaders + 1] = 'X'; }},
		{"unknown optional header", [&](std::string& B) { B[Image.OptionalHeaderOffset] = 0x07; }},
		{"too many data directories", [&](std::string& B) { PutUInt32(B, DirectoryCountField, 0xFFFFFFFF); }},
		{"too many sections", [&](std::string& B) { PutUInt16(B, NtHeaders + PeFormat::NtSignatureSize + PeFormat::NumberOfSectionsField, 0xFFFF); }},
		{"resource tree outside every section", [&](std::string& B) { PutUInt32(B, Image.ResourceDirectory.HeaderOffset, 0x7FFFFFF0); }},
		{"section data past the end", [&](std::string& B) { PutUInt32(B, Section.HeaderOffset + PeFormat::SectionRawOffsetField, 0xFFFFFF00); }},
		{"section data wrapping around", [&](std::string& B) { PutUInt32(B, Section.HeaderOffset + PeFormat::SectionRawSizeField, 0xFFFFFFFF); PutUInt32(B, Section.HeaderOffset + PeFormat::SectionRawOffsetField, 0x200); }},
		{"root reached again", [&](std::string& B) { PutUInt32(B, EntryDataField(Root, IconDirectory, 0), 0x80000000); }},
		{"directory pointing at itself", [&](std::string& B) { PutUInt32(B, EntryDataField(Root, IconDirectory, 0), 0x80000000 | IconDirectory); }},
		// Not a loop, but shared directories would let a small file list
		// names without end.
		{"two types sharing one directory", [&](std::string& B) { PutUInt32(B, EntryDataField(Root, 0, 1), 0x80000000 | IconDirectory); }},
		{"subdirectory outside the file", [&](std::string& B) { PutUInt32(B, EntryDataField(Root, 0, 0), 0xFFFFFFFF); }},
		{"too many entries", [&](std::string& B) { PutUInt16(B, Root + PeFormat::IdEntryCountField, 0xFFFF); }},
		{"language level holding a directory", [&](std::string& B) { PutUInt32(B, EntryDataField(Root, IconName, 0), 0x80000000 | IconName); }},
		{"name string outside the file", [&](std::string& B) { PutUInt32(B, MainIconNameField, 0xFFFFFFFF); }},
		// Inside the file (the certificate table follows), but not inside the section.
		{"name longer than the file", [&](std::string& B) { B[Root + (GetUInt32(B, MainIconNameField) & 0x7FFFFFFF)] = B[Root + (GetUInt32(B, MainIconNameField) & 0x7FFFFFFF) + 1] = static_cast<char>(0xFF); }},
		{"data running past its section", [&](std::string& B) { PutUInt32(B, IconDataEntry + 4, Section.RawOffset + Section.RawSize - IconData + 8); }},
		{"data outside the file", [&](std::string& B) { PutUInt32(B, IconDataEntry, 0xFFFFFFF0); }},
		{"data size wrapping around", [&](std::string& B) { PutUInt32(B, IconDataEntry + 4, 0xFFFFFFFF); }},
		{"certificate table past the end", [&](std::string& B) { PutUInt32(B, Image.CertificateDirectory.HeaderOffset + 4, Image.CertificateDirectory.Size + 8); }},
		{"certificate table not aligned", [&](std::string& B) { PutUInt32(B, Image.CertificateDirectory.HeaderOffset, Image.CertificateDirectory.Address + 4); }},
		{"certificate entry of length 0", [&](std::string& B) { PutUInt32(B, Image.CertificateDirectory.Address, 0); }},
		{"certificate entry longer than the table", [&](std::string& B) { PutUInt32(B, Image.CertificateDirectory.Address, Image.CertificateDirectory.Size + 1); }},
	};
	for (const auto& [What, Corrupt] : Corruptions)
	{
		std::string Bytes = File;
		Corrupt(Bytes);
		ExpectRefused(Bytes, What);
	}
}

// Any single byte of the headers and of the tree's directories changed: the
// reader may accept the file, but only with ranges that lie inside it.
TEST(peresources_malformed, ChangedHeaderAndDirectoryBytesNeverLeadOutsideTheFile)
{
	const std::string File = ReadFixture("sample64.dll");
	FPeImage Image;
	ASSERT_TRUE(ParseExact(File, Image));
	uint32_t Root = 0;
	ResourceSection(Image, Root);
	uint32_t FirstData = static_cast<uint32_t>(File.size());
	for (const FPeResource& Resource : Image.Resources)
	{
		for (const FPeResourceLanguage& Language : Resource.Languages)
		{
			FirstData = std::min(FirstData, Language.FileOffset);
		}
	}
	std::vector<size_t> Offsets;
	for (size_t Offset = 0; Offset < Image.SectionTableOffset + PeFormat::SectionHeaderSize * Image.Sections.size(); ++Offset)
	{
		Offsets.push_back(Offset);
	}
	for (size_t Offset = Root; Offset < FirstData; ++Offset)
	{
		Offsets.push_back(Offset);
	}
	FLogCapture Capture;
	size_t Refused = 0;
	for (size_t Offset : Offsets)
	{
		for (uint8_t Value : {uint8_t{0xFF}, uint8_t{0x80}, uint8_t{0x00}})
		{
			std::string Bytes = File;
			Bytes[Offset] = static_cast<char>(Value);
			FPeImage Changed;
			if (!ParseExact(Bytes, Changed))
			{
				++Refused;
				continue;
			}
			for (const FPeResource& Resource : Changed.Resources)
			{
				for (const FPeResourceLanguage& Language : Resource.Languages)
				{
					ASSERT_LE(static_cast<uint64_t>(Language.FileOffset) + Language.Size, Bytes.size()) << "byte " << Offset;
				}
			}
		}
	}
	// Some of the changes must have hit something the reader checks.
	EXPECT_GT(Refused, 0u);
}
