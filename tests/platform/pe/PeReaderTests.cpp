#include "platform/pe/PeResourceReader.h"
#include "tests/platform/pe/PeFixtures.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>

namespace
{
	// One language version of a resource and where it lies: a line of wrestool -l
	// ("--type=14 --name='MAINICON' --language=1033 [type=group_icon offset=0x1958 size=34]"),
	// whose offset is the data's RVA.
	std::vector<std::string> Listing(const FPeImage& Image)
	{
		const auto Id = [](const FPeResourceId& Id)
		{ return Id.IsNamed() ? "'" + std::string(Id.Name.begin(), Id.Name.end()) + "'" : std::to_string(Id.Id); };
		std::vector<std::string> Lines;
		for (const FPeResource& Resource : Image.Resources)
		{
			for (const FPeResourceLanguage& Language : Resource.Languages)
			{
				char Where[64];
				std::snprintf(Where, sizeof(Where), "offset=0x%x size=%u", Language.DataRva, Language.Size);
				Lines.push_back(Id(Resource.Type) + " " + Id(Resource.Name) + " " + std::to_string(Language.Language) + " " + Where);
			}
		}
		return Lines;
	}

	std::vector<std::string> WrestoolListing(const std::string& Name)
	{
		static const std::regex Line("--type=(\\S+) --name=(\\S+) --language=(\\d+) \\[.*(offset=0x[0-9a-f]+ size=\\d+)\\]");
		const std::string Text = ReadFixture(Name + ".list");
		std::vector<std::string> Lines;
		for (std::sregex_iterator Match(Text.begin(), Text.end(), Line), End; Match != End; ++Match)
		{
			Lines.push_back((*Match)[1].str() + " " + (*Match)[2].str() + " " + (*Match)[3].str() + " " + (*Match)[4].str());
		}
		return Lines;
	}
}

// Every type, name, language, data address and size as an independent tool finds them, for both
// header layouts and for a file whose certificate table follows the sections.
TEST(PeReader, ListsWhatWrestoolLists)
{
	for (const auto& [Name, Is64Bit] : {std::pair{"sample64.dll", true}, {"sample32.dll", false}, {"target64.dll", true},
			 {"signed64.dll", true}})
	{
		SCOPED_TRACE(Name);
		FPeImage Image;
		ASSERT_TRUE(ParseExact(ReadFixture(Name), Image));
		EXPECT_EQ(Image.Is64Bit, Is64Bit);
		const std::vector<std::string> Listed = WrestoolListing(Name);
		ASSERT_FALSE(Listed.empty());
		EXPECT_EQ(Listing(Image), Listed);
	}
}

TEST(PeReader, CopiesTheRequestedTypesInTheirOrderWithEveryLanguage)
{
	const std::string File = ReadFixture("sample64.dll");
	std::vector<FPeResourceData> Resources;
	ASSERT_TRUE(ReadExact(File, {Version, GroupIcon, Icon}, Resources));
	// Version 1 in two languages, the groups MAINICON and 101 (string names come
	// first in a directory), five icons; the RCDATA resource is not asked for.
	ASSERT_EQ(Resources.size(), 8u);
	EXPECT_EQ(Resources[0].Type, Version);
	ASSERT_EQ(Resources[0].Languages.size(), 2u);
	EXPECT_EQ(Resources[0].Languages[0].Language, 0x0407);
	EXPECT_EQ(Resources[0].Languages[1].Language, 0x0409);
	EXPECT_EQ(Resources[0].DefaultLanguageIndex, 1u) << "US English, as the system picks without a neutral version";
	EXPECT_NE(Text(Resources[0].Languages[0].Bytes).find(std::string("B\0e\0i\0s\0p", 9)), std::string::npos);
	EXPECT_EQ(Resources[1].Name.Name, L"MAINICON");
	EXPECT_EQ(Resources[2].Name, (FPeResourceId{101, L""}));
	// An icon directory: reserved 0, type 1, then the count of 14-byte entries.
	for (size_t Index : {1, 2})
	{
		EXPECT_EQ(Resources[Index].Type, GroupIcon);
		const std::vector<uint8_t>& Group = Resources[Index].Languages.at(0).Bytes;
		ASSERT_GE(Group.size(), 6u);
		EXPECT_EQ(Group[0] | Group[1] << 8, 0);
		EXPECT_EQ(Group[2] | Group[3] << 8, 1);
		EXPECT_EQ(Group.size(), 6u + 14u * (Group[4] | Group[5] << 8));
	}
	for (size_t Index = 3; Index < 8; ++Index)
	{
		EXPECT_EQ(Resources[Index].Type, Icon);
		EXPECT_EQ(Resources[Index].Name.Id, Index - 2);
	}

	std::vector<FPeResourceData> Nothing{FPeResourceData{}};
	ASSERT_TRUE(ReadExact(File, {FPeResourceId{24, L""}}, Nothing));
	EXPECT_TRUE(Nothing.empty());
}

TEST(PeReader, ReadsStringTypesAndPrefersTheNeutralLanguage)
{
	std::vector<FPeResourceData> Resources;
	ASSERT_TRUE(ReadExact(ReadFixture("named64.dll"), {FPeResourceId{0, L"BLOB"}, FPeResourceId{0, L"BINARY"}}, Resources));
	ASSERT_EQ(Resources.size(), 3u);
	EXPECT_EQ(Resources[0].Name.Name, L"PAYLOAD");
	ASSERT_EQ(Resources[0].Languages.size(), 2u);
	EXPECT_EQ(Text(Resources[0].Languages[Resources[0].DefaultLanguageIndex].Bytes), "neutral payload");
	EXPECT_EQ(Text(Resources[0].Languages[1].Bytes), "german payload");
	EXPECT_EQ(Resources[1].Name, (FPeResourceId{7, L""}));
	EXPECT_EQ(Text(Resources[1].Languages.at(0).Bytes), "numbered");
	EXPECT_EQ(Resources[2].Type.Name, L"BINARY");
	EXPECT_EQ(Resources[2].Name.Name, L"LAUNCHER_EXECUTABLE");
	EXPECT_EQ(Text(Resources[2].Languages.at(0).Bytes), "not really an executable");

	// Directories keep languages sorted, so the neutral one is first in files;
	// the lookup must not depend on that. Without a neutral version US English
	// wins, then any English, as the system's loader does.
	FPeResource Unsorted;
	Unsorted.Languages = {{0x0407}, {0x0809}, {0x0409}, {0}};
	for (const size_t Expected : {3u, 2u, 1u, 0u})
	{
		EXPECT_EQ(GetDefaultLanguageIndex(Unsorted), Expected);
		Unsorted.Languages.pop_back();
	}
}

TEST(PeReader, FindsTheCertificateEntryOfASignedCopy)
{
	FPeImage Unsigned;
	ASSERT_TRUE(ParseExact(ReadFixture("sample64.dll"), Unsigned));
	EXPECT_TRUE(Unsigned.Certificates.empty());

	const std::string File = ReadFixture("signed64.dll");
	FPeImage Signed;
	ASSERT_TRUE(ParseExact(File, Signed));
	ASSERT_EQ(Signed.Certificates.size(), 1u);
	const FPeCertificate& Certificate = Signed.Certificates[0];
	EXPECT_EQ(Certificate.FileOffset, Signed.CertificateDirectory.Address);
	EXPECT_EQ(Certificate.Revision, 0x0200); // WIN_CERT_REVISION_2_0
	EXPECT_EQ(Certificate.Type, 0x0002);     // WIN_CERT_TYPE_PKCS_SIGNED_DATA
	EXPECT_LE(Certificate.Length, Signed.CertificateDirectory.Size);
	EXPECT_LT(Signed.CertificateDirectory.Size - Certificate.Length, 8u);
	// PKCS#7 in DER: a SEQUENCE right after the entry's header.
	EXPECT_EQ(static_cast<uint8_t>(File.at(Certificate.FileOffset + 8)), 0x30);
	EXPECT_EQ(Listing(Signed), Listing(Unsigned));
}

// ---- Malformed files ------------------------------------------------------------

namespace
{
	// The file offset of the second field of entry Index of the directory at TreeOffset.
	uint32_t EntryDataField(uint32_t Root, uint32_t TreeOffset, uint32_t Index)
	{
		return Root + TreeOffset + PeFormat::ResourceDirectorySize + PeFormat::ResourceEntrySize * Index + 4;
	}

	// The section holding the resource tree; OutRoot is the file offset of the tree's root.
	FPeSection ResourceSection(const FPeImage& Image, uint32_t& OutRoot)
	{
		for (const FPeSection& Section : Image.Sections)
		{
			if (Image.ResourceDirectory.Address - Section.VirtualAddress < Section.RawSize)
			{
				OutRoot = Section.RawOffset + (Image.ResourceDirectory.Address - Section.VirtualAddress);
				return Section;
			}
		}
		ADD_FAILURE() << "no resource section";
		return {};
	}
}

// Cut at every header boundary and inside every structure, up to the end of
// the last thing the reader has to look at: the sections' data of a 32-bit
// file, the certificate table that ends a signed 64-bit one.
TEST(PeMalformed, EveryCutBeforeTheEndOfWhatIsReadIsRefused)
{
	for (const char* Name : {"sample32.dll", "signed64.dll"})
	{
		SCOPED_TRACE(Name);
		const std::string File = ReadFixture(Name);
		FPeImage Image;
		ASSERT_TRUE(ParseExact(File, Image));
		size_t Needed = static_cast<size_t>(Image.CertificateDirectory.Address) + Image.CertificateDirectory.Size;
		for (const FPeSection& Section : Image.Sections)
		{
			Needed = std::max<size_t>(Needed, static_cast<size_t>(Section.RawOffset) + Section.RawSize);
		}
		ASSERT_LE(Needed, File.size());
		ASSERT_GT(Needed, Image.SectionTableOffset + PeFormat::SectionHeaderSize * Image.Sections.size());
		FLogCapture Capture;
		for (size_t Length = 0; Length < Needed; ++Length)
		{
			FPeImage Cut;
			ASSERT_FALSE(ParseExact(File.substr(0, Length), Cut)) << "cut at " << Length;
		}
		EXPECT_EQ(Capture.Count(ELogLevel::Error), Needed);
	}
}

TEST(PeMalformed, OffsetsOutsideTheFileAndLoopsAreRefused)
{
	const std::string File = ReadFixture("signed64.dll");
	FPeImage Image;
	ASSERT_TRUE(ParseExact(File, Image));
	uint32_t Root = 0;
	const FPeSection Section = ResourceSection(Image, Root);
	// sample's types are 3, 10, 14, 16: the icon directory is the root's first entry.
	const uint32_t IconDirectory = GetUInt32(File, EntryDataField(Root, 0, 0)) & 0x7FFFFFFF;
	const uint32_t IconName = GetUInt32(File, EntryDataField(Root, IconDirectory, 0)) & 0x7FFFFFFF;
	const uint32_t IconDataEntry = Root + GetUInt32(File, EntryDataField(Root, IconName, 0));
	const uint32_t IconData = Image.Resources.at(0).Languages.at(0).FileOffset;
	ASSERT_LT(static_cast<size_t>(Section.RawOffset) + Section.RawSize, File.size());
	// The group directory (third type) starts with MAINICON, whose name is a string.
	const uint32_t GroupDirectory = GetUInt32(File, EntryDataField(Root, 0, 2)) & 0x7FFFFFFF;
	const uint32_t MainIconNameField = Root + GroupDirectory + PeFormat::ResourceDirectorySize;
	const uint32_t MainIconName = Root + (GetUInt32(File, MainIconNameField) & 0x7FFFFFFF);
	ASSERT_NE(GetUInt32(File, MainIconNameField) & 0x80000000, 0u);
	const uint32_t NtHeaders = Image.NtHeadersOffset;
	const FPeDataDirectory Certificates = Image.CertificateDirectory;

	const std::vector<std::pair<std::string, std::function<void(std::string&)>>> Corruptions = {
		{"NT headers past the end", [&](std::string& B) { PutUInt32(B, PeFormat::NewHeaderOffsetField, static_cast<uint32_t>(B.size())); }},
		{"NT headers at the very top", [&](std::string& B) { PutUInt32(B, PeFormat::NewHeaderOffsetField, 0xFFFFFFF0); }},
		{"no PE signature", [&](std::string& B) { B[NtHeaders + 1] = 'X'; }},
		{"unknown optional header", [&](std::string& B) { B[Image.OptionalHeaderOffset] = 0x07; }},
		{"too many data directories", [&](std::string& B) { PutUInt32(B, Image.OptionalHeaderOffset + PeFormat::Pe32PlusDirectoryCountField, 0xFFFFFFFF); }},
		{"too many sections", [&](std::string& B) { PutUInt16(B, NtHeaders + PeFormat::NtSignatureSize + PeFormat::NumberOfSectionsField, 0xFFFF); }},
		{"resource tree outside every section", [&](std::string& B) { PutUInt32(B, Image.ResourceDirectory.HeaderOffset, 0x7FFFFFF0); }},
		{"section data past the end", [&](std::string& B) { PutUInt32(B, Section.HeaderOffset + PeFormat::SectionRawOffsetField, 0xFFFFFF00); }},
		{"section data wrapping around", [&](std::string& B) { PutUInt32(B, Section.HeaderOffset + PeFormat::SectionRawSizeField, 0xFFFFFFFF); PutUInt32(B, Section.HeaderOffset + PeFormat::SectionRawOffsetField, 0x200); }},
		{"root reached again", [&](std::string& B) { PutUInt32(B, EntryDataField(Root, IconDirectory, 0), 0x80000000); }},
		{"directory pointing at itself", [&](std::string& B) { PutUInt32(B, EntryDataField(Root, IconDirectory, 0), 0x80000000 | IconDirectory); }},
		// Not a loop, but shared directories would let a small file list names without end.
		{"two types sharing one directory", [&](std::string& B) { PutUInt32(B, EntryDataField(Root, 0, 1), 0x80000000 | IconDirectory); }},
		{"subdirectory outside the file", [&](std::string& B) { PutUInt32(B, EntryDataField(Root, 0, 0), 0xFFFFFFFF); }},
		{"too many entries", [&](std::string& B) { PutUInt16(B, Root + PeFormat::IdEntryCountField, 0xFFFF); }},
		{"language level holding a directory", [&](std::string& B) { PutUInt32(B, EntryDataField(Root, IconName, 0), 0x80000000 | IconName); }},
		{"name string outside the file", [&](std::string& B) { PutUInt32(B, MainIconNameField, 0xFFFFFFFF); }},
		// Inside the file (the certificate table follows), but not inside the section.
		{"name longer than the file", [&](std::string& B) { PutUInt16(B, MainIconName, 0xFFFF); }},
		{"data running past its section", [&](std::string& B) { PutUInt32(B, IconDataEntry + 4, Section.RawOffset + Section.RawSize - IconData + 8); }},
		{"data outside the file", [&](std::string& B) { PutUInt32(B, IconDataEntry, 0xFFFFFFF0); }},
		{"data size wrapping around", [&](std::string& B) { PutUInt32(B, IconDataEntry + 4, 0xFFFFFFFF); }},
		{"certificate table past the end", [&](std::string& B) { PutUInt32(B, Certificates.HeaderOffset + 4, Certificates.Size + 8); }},
		{"certificate table not aligned", [&](std::string& B) { PutUInt32(B, Certificates.HeaderOffset, Certificates.Address + 4); }},
		{"certificate entry of length 0", [&](std::string& B) { PutUInt32(B, Certificates.Address, 0); }},
		{"certificate entry longer than the table", [&](std::string& B) { PutUInt32(B, Certificates.Address, Certificates.Size + 1); }},
	};
	for (const auto& [What, Corrupt] : Corruptions)
	{
		std::string Bytes = File;
		Corrupt(Bytes);
		FLogCapture Capture;
		FPeImage Refused;
		EXPECT_FALSE(ParseExact(Bytes, Refused)) << What;
		EXPECT_GE(Capture.Count(ELogLevel::Error), 1u) << What;
		std::vector<FPeResourceData> Resources;
		EXPECT_FALSE(ReadExact(Bytes, {Icon}, Resources)) << What;
	}
}

// Any single byte of the headers and of the tree's directories changed: the
// reader may accept the file, but only with ranges that lie inside it.
TEST(PeMalformed, ChangedHeaderAndDirectoryBytesNeverLeadOutsideTheFile)
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
	const size_t HeadersEnd = Image.SectionTableOffset + PeFormat::SectionHeaderSize * Image.Sections.size();
	FLogCapture Capture;
	size_t Refused = 0;
	for (size_t Offset = 0; Offset < FirstData; Offset = Offset + 1 == HeadersEnd ? Root : Offset + 1)
	{
		for (const char Value : {'\xFF', '\x80', '\0'})
		{
			std::string Bytes = File;
			Bytes[Offset] = Value;
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
