#include "platform/pe/PeResourceReader.h"
#include "tests/platform/pe/PeFixtures.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <functional>

// Every type, name and language with its bytes as the system's resource
// functions (natively wrestool) find them: both header layouts, string types and
// names in two languages, a certificate table behind the sections.
TEST(PeReader, FindsEveryResourceWithTheBytesTheSystemFinds)
{
	std::vector<const char*> Files = {"sample64.dll", "sample32.dll", "target64.dll", "signed64.dll"};
#ifdef _WIN32
	// wrestool lists a string name under a string type as the type's name.
	Files.push_back("named64.dll");
#endif
	for (const char* Name : Files)
	{
		SCOPED_TRACE(Name);
		EXPECT_EQ(ReadContents(ReadFixture(Name)), ReadResources(ToWide(std::filesystem::path(KVT_TEST_PE_FIXTURE_DIR) / Name)));
	}
}

// The requested types in the list's order, each name with every language and
// the one the system picks when none is asked for.
TEST(PeReader, CopiesTheRequestedTypesInTheirOrderWithEveryLanguage)
{
	const std::string File = ReadFixture("named64.dll");
	const std::vector<uint8_t> Exact(File.begin(), File.end());
	std::vector<FPeResourceData> Resources;
	ASSERT_TRUE(TryReadResources(Exact.data(), Exact.size(), {FPeResourceId{0, L"BLOB"}, FPeResourceId{24, L""}, FPeResourceId{0, L"BINARY"}}, Resources));
	ASSERT_EQ(Resources.size(), 3u);
	EXPECT_EQ(Resources[0].Name.Name, L"PAYLOAD");
	ASSERT_EQ(Resources[0].Languages.size(), 2u);
	EXPECT_EQ(Text(Resources[0].Languages[Resources[0].DefaultLanguageIndex].Bytes), "neutral payload");
	EXPECT_EQ(Resources[1].Name, (FPeResourceId{7, L""}));
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

// Files whose every range lies inside them (the fuzz target checks ranges) but
// that break the rules: loops, shared directories, data leaving its section.
TEST(PeMalformed, StructuresInsideTheFileThatBreakTheRulesAreRefused)
{
	const std::string File = ReadFixture("signed64.dll");
	FPeImage Image;
	ASSERT_TRUE(ParseExact(File, Image));
	const FPeSection& Section = Image.Sections.back();
	const uint32_t Root = Section.RawOffset;
	// The file offset of the second field of entry Index of the directory at TreeOffset.
	const auto EntryData = [Root](uint32_t TreeOffset, uint32_t Index)
	{ return Root + TreeOffset + PeFormat::ResourceDirectorySize + PeFormat::ResourceEntrySize * Index + 4; };
	// sample's types are 3, 10, 14, 16: the icon directory is the root's first entry.
	const uint32_t IconDirectory = GetUInt32(File, EntryData(0, 0)) & 0x7FFFFFFF;
	const uint32_t IconName = GetUInt32(File, EntryData(IconDirectory, 0)) & 0x7FFFFFFF;
	const uint32_t IconDataEntry = Root + GetUInt32(File, EntryData(IconName, 0));
	const uint32_t IconData = Image.Resources.at(0).Languages.at(0).FileOffset;
	// The group directory (third type) starts with MAINICON, whose name is a string.
	const uint32_t MainIconNameField = Root + (GetUInt32(File, EntryData(0, 2)) & 0x7FFFFFFF) + PeFormat::ResourceDirectorySize;
	const uint32_t MainIconName = Root + (GetUInt32(File, MainIconNameField) & 0x7FFFFFFF);
	const FPeDataDirectory Certificates = Image.CertificateDirectory;

	struct FCorruption
	{
		const char* What;
		std::function<void(std::string&)> Corrupt;
		std::wstring Why; // the error's text up to its numbers, which depend on the fixture's layout
	};
	const std::vector<FCorruption> Corruptions = {
		// An empty file's buffer has no data at all; its reason is still its size.
		{"empty file", [](std::string& B) { B.clear(); }, L"Failed because of an invalid file size"},
		{"no PE signature", [&](std::string& B) { B[Image.NtHeadersOffset + 1] = 'X'; }, L"Failed because the file has no PE headers"},
		{"unknown optional header", [&](std::string& B) { B[Image.OptionalHeaderOffset] = 0x07; },
			L"Failed because of an unknown optional header magic: 0x207"},
		{"resource tree outside every section", [&](std::string& B) { PutUInt32(B, Image.ResourceDirectory.HeaderOffset, 0x7FFFFFF0); },
			L"Failed because a resource directory offset lies outside the file: 0x0"},
		// Not a loop, but shared directories would let a small file list names without end.
		{"two types sharing one directory", [&](std::string& B) { PutUInt32(B, EntryData(0, 1), 0x80000000 | IconDirectory); },
			L"Failed because a resource directory is reached twice: "},
		{"language level holding a directory", [&](std::string& B) { PutUInt32(B, EntryData(IconName, 0), 0x80000000 | IconName); },
			L"Failed because the resource tree is not 3 levels deep"},
		// Inside the file (the certificate table follows), but not inside the section.
		{"name longer than its section", [&](std::string& B) { PutUInt16(B, MainIconName, 0xFFFF); },
			L"Failed because of an invalid resource name at "},
		{"data running past its section", [&](std::string& B) { PutUInt32(B, IconDataEntry + 4, Section.RawOffset + Section.RawSize - IconData + 8); },
			L"Failed because resource data lies outside the file: RVA "},
		{"certificate table not aligned", [&](std::string& B) { PutUInt32(B, Certificates.HeaderOffset, Certificates.Address + 4); },
			L"Failed because the certificate table lies outside the file: "},
		{"certificate entry of length 0", [&](std::string& B) { PutUInt32(B, Certificates.Address, 0); },
			L"Failed because of an invalid certificate entry length at "},
	};
	for (const FCorruption& Case : Corruptions)
	{
		std::string Bytes = File;
		Case.Corrupt(Bytes);
		FLogCapture Capture;
		FPeImage Refused;
		EXPECT_FALSE(ParseExact(Bytes, Refused)) << Case.What;
		EXPECT_NE(Capture.Dump().find(L"[Error] [PeResourceReader::TryParsePeImage] " + Case.Why), std::wstring::npos)
			<< Case.What << "\n" << Capture.Dump();
	}
}
