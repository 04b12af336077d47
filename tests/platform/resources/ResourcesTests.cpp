#include "tests/platform/resources/SystemResources.h"
#include "tests/support/LogCapture.h"
#include "tests/support/PeBuilders.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

// Real files of the Windows build: the launcher as the configure tool carries
// it (stripped) and a copy signed for this run, an application with icons of
// several sizes, a numbered and a string-named group and version information
// in two languages, one with an icon only, and a target with looks of its own.
// The native build edits the same files.
namespace
{
	const std::wstring Launcher = KVT_TEST_LAUNCHER;
	const std::wstring SignedLauncher = KVT_TEST_SIGNED_LAUNCHER;
	const std::wstring SampleApp = KVT_TEST_SAMPLE_APP;
	const std::wstring IconOnlyApp = KVT_TEST_ICON_ONLY_APP;
	const std::wstring TargetApp = KVT_TEST_TARGET_APP;

	const std::wstring GetCategory = SystemClass + L"::TryGetResources";
	const std::wstring CopyCategory = SystemClass + L"::TryCopyExecutableResources";
	const std::wstring RemoveCategory = SystemClass + L"::TryRemoveResources";
	const std::wstring AddCategory = SystemClass + L"::TryAddResources";
	const std::wstring SystemError = L"[Error] [" + SystemClass + L"::LogErrorWithLastErrorMessage] ";

	bool IsCopiedType(const FResourceKey& Key)
	{
		return std::get<0>(Key) == L"3" || std::get<0>(Key) == L"14" || std::get<0>(Key) == L"16";
	}

	FResources Only(const FResources& Resources, bool bCopied)
	{
		FResources Result;
		std::copy_if(Resources.begin(), Resources.end(), std::inserter(Result, Result.end()),
			[bCopied](const auto& Entry) { return IsCopiedType(Entry.first) == bCopied; });
		return Result;
	}

	// What the target must hold after a copy: every language the source has of
	// an icon, group or version, each with the bytes of the language the system
	// picks when none is asked for: the neutral one, then US English (the
	// user's language in the tests' Wine prefix), then the first.
	FResources ExpectedCopy(const std::wstring& Source)
	{
		const FResources Read = ReadResources(Source);
		FResources Expected;
		for (const auto& [Key, Bytes] : Only(Read, true))
		{
			const auto& [Type, Name, Language] = Key;
			auto Default = Read.find({Type, Name, 0});
			Default = Default != Read.end() ? Default : Read.find({Type, Name, 0x409});
			Expected[Key] = (Default != Read.end() ? Default : Read.lower_bound({Type, Name, 0}))->second;
		}
		return Expected;
	}

	FPeImage Parse(const std::wstring& Path)
	{
		FPeImage Image;
		EXPECT_TRUE(ParseExact(ReadFileBytes(ToPath(Path)), Image)) << ToPath(Path);
		return Image;
	}

	class Resources : public ::testing::Test
	{
	protected:
		FTempDirectory Directory;
		FLogCapture Capture;
		FSystemPlatform Platform;

		void SetUp() override
		{
			for (const std::wstring& Needed : {Launcher, SignedLauncher, SampleApp, IconOnlyApp, TargetApp})
			{
				if (!std::filesystem::is_regular_file(ToPath(Needed)))
				{
					GTEST_SKIP() << "No Windows build output at '" << ToPath(Needed).string()
								 << "': build the windows preset first (scripts/test.sh does), or point "
									"KVT_WINDOWS_BUILD_DIR and KVT_WINDOWS_LAUNCHER at a Windows build";
				}
			}
		}

		std::wstring CopyIn(const std::wstring& Source, const std::wstring& Name)
		{
			std::filesystem::copy_file(ToPath(Source), Directory.Path() / ToPath(Name));
			return Directory.Wide(Name);
		}
	};
}

TEST_F(Resources, CollectsIconsGroupsAndVersionsWithTheBytesOfTheDefaultLanguage)
{
	std::vector<FResourceRecord> Records;
	ASSERT_TRUE(FSystemPlatform::TryGetResources(SampleApp, {3, 14, 16}, Records)) << Capture.Dump();

	// Five icon images (three sizes and two), two groups, one version: in type
	// order, and within a type named before numbered, as the system enumerates them.
	const FResources Expected = ExpectedCopy(SampleApp);
	std::vector<std::wstring> Described;
	size_t Languages = 0;
	for (const FResourceRecord& Record : Records)
	{
		Described.push_back(FSystemPlatform::DescribeResource(Record));
		EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, GetCategory, L"Found resource: " + Described.back())) << Capture.Dump();
		ASSERT_TRUE(Record.Data);
		EXPECT_EQ(Record.Size, Record.Data->size());
		const std::wstring Name = Record.Name.empty() ? std::to_wstring(Record.NameId) : Record.Name;
		for (const uint16_t Language : Record.Languages)
		{
			const auto Found = Expected.find({std::to_wstring(Record.TypeId), Name, Language});
			ASSERT_NE(Found, Expected.end()) << Record.TypeId << " language " << Language;
			EXPECT_TRUE(Found->second == std::string(Record.Data->begin(), Record.Data->end())) << "not the default language's bytes";
			++Languages;
		}
	}
	EXPECT_EQ(Described, std::vector<std::wstring>({L"Type=3h, Name=1h", L"Type=3h, Name=2h", L"Type=3h, Name=3h", L"Type=3h, Name=4h",
							 L"Type=3h, Name=5h", L"Type=Eh, Name='MAINICON'", L"Type=Eh, Name=65h", L"Type=10h, Name=1h"}));
	EXPECT_EQ(Languages, Expected.size()) << "a language of the file is missing";
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, GetCategory, L"Trying to get resources from path: '" + SampleApp + L"'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, GetCategory, L"Successfully found resources: 8"));
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 0u) << Capture.Dump();

	FResourceRecord Named;
	Named.TypeName = L"BINARY";
	Named.Name = L"BOOTSTRAPPER_EXECUTABLE";
	EXPECT_EQ(FSystemPlatform::DescribeResource(Named), L"Type='BINARY', Name='BOOTSTRAPPER_EXECUTABLE'");
}

// Data appended behind the last section, as an installer or a packer keeps
// its payload, stays at the end of the file.
TEST_F(Resources, CopyGivesTheLauncherTheApplicationsLooksAndKeepsTheRest)
{
	const std::wstring Target = CopyIn(Launcher, L"Launcher.exe");
	const FResources Before = ReadResources(Target);
	ASSERT_EQ(Before.count({L"24", L"1", 0x409}), 1u) << "the launcher should carry its manifest";
	std::string Appended = "KVT appended payload";
	for (int Index = 0; Index < 300; ++Index)
	{
		Appended += static_cast<char>(Index * 7);
	}
	WriteFileBytes(ToPath(Target), ReadFileBytes(ToPath(Target)) + Appended);

	ASSERT_TRUE(Platform.TryCopyExecutableResources(SampleApp, Target)) << Capture.Dump();

	// The launcher's only resource of the three types is its version in
	// English, which the application has too: the result is exact on Wine as well.
	const FResources After = ReadResources(Target);
	const FResources Expected = ExpectedCopy(SampleApp);
	ASSERT_EQ(Expected.size(), 9u) << "five icons, two groups, the version in two languages";
	EXPECT_EQ(Only(After, true), Expected);
	EXPECT_EQ(Expected.at({L"16", L"1", 0x407}), Expected.at({L"16", L"1", 0x409}));
	// The manifest and whatever else the launcher carries, byte for byte.
	EXPECT_EQ(Only(After, false), Only(Before, false));
	const std::string File = ReadFileBytes(ToPath(Target));
	EXPECT_TRUE(File.size() > Appended.size() && File.compare(File.size() - Appended.size(), Appended.size(), Appended) == 0)
		<< "the appended bytes are not at the end of the file";

	const std::vector<std::pair<std::wstring, std::wstring>> Lines = {
		{CopyCategory, L"Trying to copy resources from '" + SampleApp + L"' to '" + Target + L"'"},
		{RemoveCategory, L" Trying to remove resources from path: '" + Target + L"'"},
		{RemoveCategory, L" Removing resource: Type=10h, Name=1h"},
		{RemoveCategory, L" Successfully removed resources"},
		{AddCategory, L"Trying to add resources to path: '" + Target + L"'"},
		{AddCategory, L"Adding resource: Type=Eh, Name='MAINICON'"},
		{AddCategory, L"Successfully added resources"},
		{CopyCategory, L"Successfully copied resources"}};
	for (const auto& [Category, Message] : Lines)
	{
		EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, Category, Message)) << std::string(Message.begin(), Message.end());
	}
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 0u) << Capture.Dump();

	// Again from an application with an icon only: the groups and the version in
	// both its languages are asked to go, and no version comes.
	Capture.Clear();
	ASSERT_TRUE(Platform.TryCopyExecutableResources(IconOnlyApp, Target)) << Capture.Dump();
	const FResources Again = ReadResources(Target);
	const FResources IconOnly = ExpectedCopy(IconOnlyApp);
	ASSERT_FALSE(IconOnly.empty());
	for (const auto& [Key, Bytes] : IconOnly)
	{
		ASSERT_EQ(Again.count(Key), 1u);
		EXPECT_EQ(Again.at(Key), Bytes);
	}
	EXPECT_EQ(Only(Again, false), Only(Before, false));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RemoveCategory, L" Removing resource: Type=Eh, Name='MAINICON'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RemoveCategory, L" Removing resource: Type=10h, Name=1h"));
	EXPECT_FALSE(Capture.Has(ELogLevel::Verbose, AddCategory, L"Adding resource: Type=10h, Name=1h"));
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 0u) << Capture.Dump();
	// Wine ignores resource deletions, so there the earlier looks stay.
	EXPECT_TRUE(!UpdatesDeleteResources() || Only(Again, true) == IconOnly);
}

// Signing tools write one certificate entry; a second one is appended by hand.
TEST_F(Resources, CopyIntoASignedLauncherLeavesItUnsignedWithTheApplicationsLooks)
{
	std::string Image = ReadFileBytes(ToPath(SignedLauncher));
	const FPeCertificate First = Parse(SignedLauncher).Certificates.at(0);
	ASSERT_TRUE(TryAppendCertificate(Image, Image.substr(First.FileOffset, First.Length)));
	const std::wstring Target = Directory.Wide(L"Launcher.exe");
	WriteFileBytes(ToPath(Target), Image);
	const FPeImage Signed = Parse(Target);
	ASSERT_EQ(Signed.Certificates.size(), 2u);
	const FResources Before = ReadResources(Target);

	ASSERT_TRUE(Platform.TryCopyExecutableResources(SampleApp, Target)) << Capture.Dump();

	const FPeImage Unsigned = Parse(Target);
	EXPECT_TRUE(Unsigned.Certificates.empty());
	EXPECT_EQ(Unsigned.CertificateDirectory.Address, 0u);
	EXPECT_EQ(Unsigned.CertificateDirectory.Size, 0u);
	const FResources After = ReadResources(Target);
	EXPECT_EQ(Only(After, true), ExpectedCopy(SampleApp));
	EXPECT_EQ(Only(After, false), Only(Before, false));
	// No byte of the certificate table is left at the end of the file either.
	EXPECT_EQ(ReadFileBytes(ToPath(Target)).find(Image.substr(First.FileOffset, First.Length)), std::string::npos);

	// The signature goes before the resources change, and the later pass finds
	// none: no file the resource updates read still carries a certificate.
	std::vector<std::wstring> Messages;
	for (const FLogCapture::FEntry& Entry : Capture.Entries())
	{
		Messages.push_back(Entry.Message);
	}
	const std::wstring Removing = L"Removing Authenticode signatures: '" + Target + L"'";
	const auto Updating = std::find(std::find(Messages.begin(), Messages.end(), Removing), Messages.end(),
		L" Trying to remove resources from path: '" + Target + L"'");
	ASSERT_NE(Updating, Messages.end()) << Capture.Dump();
	EXPECT_NE(std::find(Updating, Messages.end(), Removing), Messages.end());
	static const std::wregex SignedRead(L"Successfully read \\d+ resources and [1-9]\\d* certificates");
	EXPECT_TRUE(std::none_of(Updating, Messages.end(), [](const std::wstring& Message) { return std::regex_match(Message, SignedRead); }))
		<< Capture.Dump();
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 0u) << Capture.Dump();

	// Removing signatures from a file that has none leaves it alone; a missing file is an error.
	const std::string Copied = ReadFileBytes(ToPath(Target));
	EXPECT_TRUE(FSystemPlatform::TryRemoveAuthenticodeSignatures(Target));
	EXPECT_TRUE(ReadFileBytes(ToPath(Target)) == Copied);
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 0u) << Capture.Dump();
	EXPECT_FALSE(FSystemPlatform::TryRemoveAuthenticodeSignatures(Directory.Wide(L"missing.exe")));
	EXPECT_NE(Capture.Dump().find(SystemError + L"CreateFile failed: "), std::wstring::npos) << Capture.Dump();

#ifdef _WIN32
	// It still starts its application: the report helper, without the service.
	std::filesystem::copy_file(ToPath(KVT_TEST_REPORT_HELPER), Directory.Path() / "App.exe");
	WriteFileBytes(Directory.Path() / "Launcher.ini", "ApplicationPath=App.exe\r\nWaitForExit=1\r\nNoOperation=1\r\n");
	const std::wstring Report = Directory.Wide(L"report.txt");
	ASSERT_TRUE(Platform.TrySetEnvironmentVariable(L"KVT_REPORT_FILE", Report));
	uint32_t ExitCode = 99;
	EXPECT_TRUE(Platform.TryRunExecutable(Target, std::wstring(L"first second"), Directory.Wide(), false, true, &ExitCode));
	Platform.DeleteEnvironmentVariable(L"KVT_REPORT_FILE");
	EXPECT_EQ(ExitCode, 0u);
	const std::string Reported = ReadFileBytes(ToPath(Report));
	EXPECT_NE(Reported.find("arg=first\narg=second\n"), std::string::npos) << Reported;
#endif
}

TEST_F(Resources, AFailedSingleUpdateLeavesTheFileAsItWas)
{
	const std::wstring Target = CopyIn(TargetApp, L"Target.exe");
	const std::string Before = ReadFileBytes(ToPath(Target));

	std::vector<FResourceRecord> Records;
	ASSERT_TRUE(FSystemPlatform::TryGetResources(IconOnlyApp, {3, 14}, Records));
	ASSERT_FALSE(Records.empty());
	// "#" and a number names a numeric resource, and this one is beyond 16
	// bits, which the system refuses: the records before it must not be written.
	FResourceRecord Refused = Records.back();
	Refused.NameId = 0;
	Refused.Name = L"#99999";
	Records.push_back(Refused);

	EXPECT_FALSE(FSystemPlatform::TryAddResources(Target, Records));
	EXPECT_NE(Capture.Dump().find(SystemError + L"Failed to add for language: 0x409: "), std::wstring::npos) << Capture.Dump();
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, AddCategory, L"Adding resource: Type=Eh, Name='#99999'"));
	EXPECT_FALSE(Capture.Has(ELogLevel::Verbose, AddCategory, L"Successfully added resources"));
	EXPECT_TRUE(ReadFileBytes(ToPath(Target)) == Before) << "the icons before the refused record were added";

	std::vector<FResourceRecord> Own;
	ASSERT_TRUE(FSystemPlatform::TryGetResources(Target, {14}, Own));
	ASSERT_EQ(Own.size(), 1u);
	Own.push_back(Refused);
	EXPECT_FALSE(FSystemPlatform::TryRemoveResources(Target, Own));
	EXPECT_NE(Capture.Dump().find(SystemError + L" Failed to remove for language: 0x409: "), std::wstring::npos) << Capture.Dump();
	EXPECT_FALSE(Capture.Has(ELogLevel::Verbose, RemoveCategory, L" Successfully removed resources"));
	EXPECT_TRUE(ReadFileBytes(ToPath(Target)) == Before) << "the group before the refused record was removed";
}
