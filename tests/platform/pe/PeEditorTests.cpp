#include "platform/pe/PeResourceEditor.h"
#include "tests/platform/pe/PeFixtures.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

namespace
{
	bool TryLoad(FPeResourceEditor& Editor, const std::string& File)
	{
		return Editor.TryLoad(reinterpret_cast<const uint8_t*>(File.data()), File.size());
	}

	// The checksum of File as the editor computes it, and the one its header holds.
	std::pair<uint32_t, uint32_t> CheckSums(const std::string& File)
	{
		FPeImage Image;
		EXPECT_TRUE(ParseExact(File, Image));
		const uint32_t Field = Image.OptionalHeaderOffset + PeFormat::CheckSumField;
		return {FPeResourceEditor::ComputeCheckSum(reinterpret_cast<const uint8_t*>(File.data()), File.size(), Field), GetUInt32(File, Field)};
	}

	FPeResourceId IdOf(const std::wstring& Text)
	{
		return iswdigit(Text.at(0)) ? FPeResourceId{static_cast<uint32_t>(std::stoul(Text)), L""} : FPeResourceId{0, Text};
	}
}

// In place where the resources are the last section, as a new last section
// where another section follows them; both header layouts. Data appended
// behind the sections, as installers and packers keep it, stays at the end.
TEST(PeEditor, ACopiedFileHoldsExactlyTheNewLooksBesideItsOtherResources)
{
	const std::string Appended(1000, '\x7E');
	const auto IsLooks = [](const FResourceKey& Key) { return std::get<0>(Key) == L"3" || std::get<0>(Key) == L"14" || std::get<0>(Key) == L"16"; };
	for (const auto& [TargetName, bNewSection] : {std::pair{"target64.dll", false}, {"sample32.dll", false}, {"sections64.dll", true}})
	{
		SCOPED_TRACE(TargetName);
		std::string Before = ReadFixture(TargetName) + Appended;
		FPeImage Old;
		ASSERT_TRUE(ParseExact(Before, Old));
		PutUInt32(Before, Old.OptionalHeaderOffset + PeFormat::CheckSumField, 1); // claims a checksum, which must then be right
		FPeResourceEditor Editor;
		ASSERT_TRUE(TryLoad(Editor, Before));
		// The file's icons, groups and versions go, the sample's come in, as when
		// the configure tool gives a launcher a game's looks.
		FResources Expected = ReadContents(Before);
		for (const auto& [Key, Bytes] : Expected)
		{
			EXPECT_TRUE(!IsLooks(Key) || Editor.DeleteResource(IdOf(std::get<0>(Key)), IdOf(std::get<1>(Key)), std::get<2>(Key)));
		}
		std::erase_if(Expected, [&IsLooks](const auto& Entry) { return IsLooks(Entry.first); });
		for (const auto& [Key, Bytes] : ReadContents(ReadFixture("sample64.dll")))
		{
			if (IsLooks(Key))
			{
				Editor.SetResource(IdOf(std::get<0>(Key)), IdOf(std::get<1>(Key)), std::get<2>(Key), {Bytes.begin(), Bytes.end()});
				Expected[Key] = Bytes;
			}
		}

		std::vector<uint8_t> Built;
		ASSERT_TRUE(Editor.TryBuild(Built));
		const std::string After = Text(Built);
		EXPECT_EQ(ReadContents(After), Expected);

		FPeImage New;
		ASSERT_TRUE(ParseExact(After, New));
		ASSERT_EQ(New.Sections.size(), Old.Sections.size() + (bNewSection ? 1 : 0));
		const FPeSection& Last = New.Sections.back();
		EXPECT_EQ(New.ResourceDirectory.Address, Last.VirtualAddress);
		EXPECT_EQ(Last.Name, ".rsrc");
		EXPECT_EQ(Last.RawOffset % New.FileAlignment, 0u);
		EXPECT_EQ(Last.RawSize % New.FileAlignment, 0u);
		EXPECT_EQ(Last.VirtualAddress % New.SectionAlignment, 0u);
		EXPECT_EQ(GetUInt32(After, New.OptionalHeaderOffset + PeFormat::SizeOfImageField),
			(Last.VirtualAddress + Last.VirtualSize + New.SectionAlignment - 1) / New.SectionAlignment * New.SectionAlignment);
		EXPECT_EQ(After.substr(Last.RawOffset + Last.RawSize), Appended);
		const auto [Computed, Stored] = CheckSums(After);
		EXPECT_EQ(Stored, Computed);
		// What the other sections hold is where it was, byte for byte.
		for (size_t Index = 0; Index < Old.Sections.size(); ++Index)
		{
			const FPeSection& Section = Old.Sections[Index];
			if (bNewSection || Section.VirtualAddress != Old.ResourceDirectory.Address)
			{
				EXPECT_EQ(After.substr(Section.RawOffset, Section.RawSize), Before.substr(Section.RawOffset, Section.RawSize))
					<< Section.Name;
				EXPECT_EQ(New.Sections[Index].VirtualAddress, Section.VirtualAddress);
			}
		}
	}
}

// What the editor writes, the system finds: in a new last section behind the
// relocations, in the order the system's lookups rely on.
TEST(PeEditor, DirectoryOrderIsTheOneTheLoaderSearches)
{
	FPeResourceEditor Editor;
	ASSERT_TRUE(TryLoad(Editor, ReadFixture("sections64.dll")));
	for (const wchar_t* Name : {L"ZULU", L"A_B", L"AB", L"ABC", L"B", L"b"})
	{
		Editor.SetResource(Data, FPeResourceId{0, Name}, 0x409, {1, 2});
	}
	for (const auto& [Name, Language] : {std::pair{7, 0x409}, {2, 0x40C}, {2, 0x407}, {900, 0x407}})
	{
		Editor.SetResource(Data, FPeResourceId{static_cast<uint32_t>(Name), L""}, static_cast<uint16_t>(Language), {9, 9});
	}
	Editor.SetResource(FPeResourceId{0, L"ZTYPE"}, FPeResourceId{1, L""}, 0, {6});
	std::vector<uint8_t> Built;
	ASSERT_TRUE(Editor.TryBuild(Built));

	FPeImage Image;
	ASSERT_TRUE(ParseExact(Text(Built), Image));
	ASSERT_FALSE(Image.Resources.empty());
	EXPECT_EQ(Image.Resources.front().Type, (FPeResourceId{0, L"ZTYPE"})) << "named types come before numbered ones";
	// Names first, by UTF-16 code unit as the loader compares them, then numbers
	// upwards (the fixture's own data is 300), each name's languages upwards.
	std::vector<std::wstring> DataNames;
	for (const FPeResource& Resource : Image.Resources)
	{
		for (const FPeResourceLanguage& Language : Resource.Languages)
		{
			if (Resource.Type == Data)
			{
				DataNames.push_back((Resource.Name.IsNamed() ? Resource.Name.Name : std::to_wstring(Resource.Name.Id)) + L"/" +
					std::to_wstring(Language.Language));
			}
		}
	}
	EXPECT_EQ(DataNames, std::vector<std::wstring>({L"AB/1033", L"ABC/1033", L"A_B/1033", L"B/1033", L"ZULU/1033",
							 L"b/1033", L"2/1031", L"2/1036", L"7/1033", L"300/1033", L"900/1031"}));

	// The system's lookups search these directories by halves: a misplaced entry is not found.
	FTempDirectory Directory;
	WriteFileBytes(Directory.Path() / "edited.dll", Text(Built));
	EXPECT_EQ(ReadResources(Directory.Wide(L"edited.dll")), ReadContents(Text(Built)));
}

TEST(PeEditor, SignedFilesChecksumAgreesAndTheirCertificatesGoByIndexAndMoveWithTheResources)
{
	// osslsigncode computed the checksums of the signed files, one of them past
	// 64 KiB, where the checksum's upper half is no longer zero: ours agrees.
	for (const char* Name : {"signed64.dll", "signedlarge64.dll"})
	{
		const auto [Computed, Stored] = CheckSums(ReadFixture(Name));
		EXPECT_EQ(Computed, Stored) << Name;
	}

	std::string Signed = ReadFixture("signed64.dll");
	const std::string Second("\x10\0\0\0\0\x02\x02\0secondXY", 16);
	ASSERT_TRUE(TryAppendCertificate(Signed, Second));
	FPeImage SignedImage;
	ASSERT_TRUE(ParseExact(Signed, SignedImage));
	ASSERT_EQ(SignedImage.Certificates.size(), 2u);

	FPeResourceEditor Editor;
	ASSERT_TRUE(TryLoad(Editor, Signed));
	FLogCapture Capture;
	EXPECT_FALSE(Editor.TryRemoveCertificate(2));
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 1u);
	ASSERT_TRUE(Editor.TryRemoveCertificate(0));
	ASSERT_EQ(Editor.GetCertificateCount(), 1u);
	// Resources that grow push the table back: aligned, found through the
	// directory, the second entry, now the first, intact.
	Editor.SetResource(Data, FPeResourceId{0, L"GROWN"}, 0, std::vector<uint8_t>(3000, 0x33));
	std::vector<uint8_t> Built;
	ASSERT_TRUE(Editor.TryBuild(Built));
	FPeImage Grown;
	ASSERT_TRUE(ParseExact(Text(Built), Grown));
	ASSERT_EQ(Grown.Certificates.size(), 1u);
	EXPECT_EQ(Grown.CertificateDirectory.Address % 8, 0u);
	EXPECT_GT(Grown.CertificateDirectory.Address, SignedImage.CertificateDirectory.Address);
	EXPECT_EQ(Text(Built).substr(Grown.Certificates[0].FileOffset, Grown.Certificates[0].Length), Second);

	// Both gone, the file is as it was before signing, but for the checksum the signing tool left behind.
	FPeResourceEditor Unsigning;
	ASSERT_TRUE(TryLoad(Unsigning, Signed));
	ASSERT_TRUE(Unsigning.TryRemoveCertificate(0));
	ASSERT_TRUE(Unsigning.TryRemoveCertificate(0));
	ASSERT_TRUE(Unsigning.TryBuild(Built));
	std::string Unsigned = Text(Built);
	FPeImage UnsignedImage;
	ASSERT_TRUE(ParseExact(Unsigned, UnsignedImage));
	PutUInt32(Unsigned, UnsignedImage.OptionalHeaderOffset + PeFormat::CheckSumField, 0);
	EXPECT_EQ(Unsigned, ReadFixture("sample64.dll"));
}

TEST(PeEditor, RefusesChangesItCannotWriteSafelyAndHandsOutNothing)
{
	const std::string Junk = "left by the caller";
	std::vector<uint8_t> Built(Junk.begin(), Junk.end());
	FLogCapture Capture;
	const auto ExpectRefused = [&](const std::string& File, const std::wstring& Why)
	{
		FPeResourceEditor Editor;
		Capture.Clear();
		ASSERT_TRUE(TryLoad(Editor, File)) << Capture.Dump();
		Editor.SetResource(Data, FPeResourceId{1, L""}, 0, {1});
		EXPECT_FALSE(Editor.TryBuild(Built));
		EXPECT_EQ(Text(Built), Junk);
		EXPECT_EQ(Capture.Count(ELogLevel::Error), 1u) << Capture.Dump();
		EXPECT_NE(Capture.Dump().find(L"[Error] [PeResourceEditor::TryBuild] " + Why), std::wstring::npos) << Capture.Dump();
	};
	const std::string Sections = ReadFixture("sections64.dll");
	FPeImage Image;
	ASSERT_TRUE(ParseExact(Sections, Image));

	// Another section would need the table entry behind the last one, and something lies there.
	std::string Crowded = Sections;
	Crowded.at(Image.SectionTableOffset + Image.Sections.size() * PeFormat::SectionHeaderSize + 3) = 'x';
	ExpectRefused(Crowded, L"Failed because the section table has no room for another section");

	// An image aligned below the page size is mapped as it lies in the file;
	// here a new section could not sit at the same place in both.
	std::string Unpaged = Sections;
	PutUInt32(Unpaged, Image.OptionalHeaderOffset + PeFormat::SectionAlignmentField, 0x200);
	ExpectRefused(Unpaged, L"");
	EXPECT_NE(Capture.Dump().find(L"would lie at 0x3200 in memory but at 0x1400 in the file"), std::wstring::npos);

	// A certificate table that claims to lie inside the sections would be
	// overwritten by the new resources.
	std::string Inside = ReadFixture("sample64.dll");
	ASSERT_TRUE(ParseExact(Inside, Image));
	const uint32_t CertificateEntry = Image.OptionalHeaderOffset + PeFormat::Pe32PlusDirectoryCountField + 4 +
		PeFormat::CertificateDirectoryIndex * PeFormat::DataDirectoryEntrySize;
	PutUInt32(Inside, CertificateEntry, Image.Sections[0].RawOffset);
	PutUInt32(Inside, CertificateEntry + 4, 16);
	PutUInt32(Inside, Image.Sections[0].RawOffset, 16);
	ExpectRefused(Inside, L"");
}
