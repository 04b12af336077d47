#include "platform/pe/PeResourceReader.h"
#include "tests/support/LogCapture.h"
#include "tests/peresources/PeTestImages.h"

#include <gtest/gtest.h>

namespace
{
	const FPeResourceId Icon{3, L""};
	const FPeResourceId GroupIcon{14, L""};
	const FPeResourceId Version{16, L""};

	std::vector<FListedResource> Flatten(const FPeImage& Image)
	{
		std::vector<FListedResource> Result;
		for (const FPeResource& Resource : Image.Resources)
		{
			for (const FPeResourceLanguage& Language : Resource.Languages)
			{
				Result.push_back({Resource.Type, Resource.Name, Language.Language, Language.DataRva, Language.Size});
			}
		}
		return Result;
	}

	std::string Text(const std::vector<uint8_t>& Bytes)
	{
		return std::string(Bytes.begin(), Bytes.end());
	}
}

// Every type, name, language, data address and size as an independent tool finds them, for both
// header layouts and for a file whose certificate table follows the sections.
TEST(peresources, ListsWhatWrestoolLists)
{
	for (const auto& [Name, Is64Bit] : {std::pair{"sample64.dll", true}, {"sample32.dll", false}, {"target64.dll", true},
			 {"signed64.dll", true}})
	{
		SCOPED_TRACE(Name);
		FPeImage Image;
		ASSERT_TRUE(ParseExact(ReadFixture(Name), Image));
		EXPECT_EQ(Image.Is64Bit, Is64Bit);
		const std::vector<FListedResource> Listed = ReadListing(Name);
		const std::vector<FListedResource> Read = Flatten(Image);
		ASSERT_FALSE(Listed.empty());
		ASSERT_EQ(Read.size(), Listed.size());
		for (size_t Index = 0; Index < Listed.size(); ++Index)
		{
			EXPECT_EQ(Read[Index], Listed[Index]) << "read " << Describe(Read[Index]) << ", listed " << Describe(Listed[Index]);
		}
	}
}

TEST(peresources, CopiesTheRequestedTypesInTheirOrderWithEveryLanguage)
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
	EXPECT_NE(Resources[0].Languages[0].Bytes, Resources[0].Languages[1].Bytes);
	EXPECT_NE(Text(Resources[0].Languages[0].Bytes).find(std::string("B\0e\0i\0s\0p", 9)), std::string::npos);

	EXPECT_EQ(Resources[1].Type, GroupIcon);
	EXPECT_EQ(Resources[1].Name.Name, L"MAINICON");
	EXPECT_EQ(Resources[2].Name, (FPeResourceId{101, L""}));
	// An icon directory: reserved 0, type 1, then the count of 14-byte entries.
	for (size_t Index : {1, 2})
	{
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

TEST(peresources, ReadsStringTypesAndPrefersTheNeutralLanguage)
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
	// the lookup must not depend on that.
	FPeResource Unsorted;
	Unsorted.Type = Version;
	Unsorted.Languages = {{0x0407}, {0x0809}, {0x0409}, {0}};
	EXPECT_EQ(GetDefaultLanguageIndex(Unsorted), 3u);
	// Without a neutral version US English wins, then any English, as the system's loader does.
	Unsorted.Languages.pop_back();
	EXPECT_EQ(GetDefaultLanguageIndex(Unsorted), 2u);
	Unsorted.Languages.pop_back();
	EXPECT_EQ(GetDefaultLanguageIndex(Unsorted), 1u);
	Unsorted.Languages.pop_back();
	EXPECT_EQ(GetDefaultLanguageIndex(Unsorted), 0u);
}

TEST(peresources, FindsTheCertificateEntryOfASignedCopy)
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
	EXPECT_EQ(Certificate.Revision, 0x0200);  // WIN_CERT_REVISION_2_0
	EXPECT_EQ(Certificate.Type, 0x0002);      // WIN_CERT_TYPE_PKCS_SIGNED_DATA
	EXPECT_LE(Certificate.Length, Signed.CertificateDirectory.Size);
	EXPECT_LT(Signed.CertificateDirectory.Size - Certificate.Length, 8u);
	// PKCS#7 in DER: a SEQUENCE right after the entry's header.
	EXPECT_EQ(static_cast<uint8_t>(File.at(Certificate.FileOffset + 8)), 0x30);
	EXPECT_EQ(Flatten(Signed), Flatten(Unsigned));
}
