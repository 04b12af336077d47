#include "platform/windows/WindowsHandles.h"
#include "platform/windows/WindowsPlatform.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestFiles.h"
#include "tests/resources/PeTestFiles.h"
#include "tests/resources/windows/ResourceTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

// Real files built by the test build: the launcher as the configure tool
// carries it (stripped), an application with icons of several sizes, a
// numbered and a string-named group and version information in two
// languages, one with an icon only, and a target with looks of its own. The
// signed launcher is made at test time with osslsigncode.
namespace
{
	const std::wstring Launcher = KVT_TEST_EMBEDDED_LAUNCHER;
	const std::wstring SampleApp = KVT_TEST_SAMPLE_APP;
	const std::wstring IconOnlyApp = KVT_TEST_ICON_ONLY_APP;
	const std::wstring TargetApp = KVT_TEST_TARGET_APP;
	const std::wstring SignedLauncher = std::wstring(KVT_TEST_SIGNED_DIR) + L"/signed-launcher.exe";

	constexpr uint32_t Icon = 3;
	constexpr uint32_t GroupIcon = 14;
	constexpr uint32_t Version = 16;
	constexpr uint32_t Manifest = 24;
	constexpr uint32_t Data = 10;
	const std::vector<uint32_t> CopiedTypes = {Icon, GroupIcon, Version};

	constexpr const wchar_t* GetCategory = L"FWindowsPlatform::TryGetResources";
	constexpr const wchar_t* CopyCategory = L"FWindowsPlatform::TryCopyExecutableResources";
	constexpr const wchar_t* RemoveCategory = L"FWindowsPlatform::TryRemoveResources";
	constexpr const wchar_t* AddCategory = L"FWindowsPlatform::TryAddResources";
	constexpr const char* WineKeepsDeletedResources =
		"Wine ignores resource deletions (UpdateResourceW without data), so the target's own resources stay";

	// What the target must hold after a copy: every language the source has
	// of a type and name, each with the bytes of the source's default language.
	std::map<FResourceKey, std::string> ExpectedCopy(const std::wstring& Source)
	{
		std::map<FResourceKey, std::string> Expected;
		for (const auto& [Key, Bytes] : ReadResourcesByLanguage(Source, CopiedTypes))
		{
			Expected[Key] = ReadDefaultResource(Source, std::get<0>(Key), std::get<1>(Key));
		}
		return Expected;
	}

	size_t FindLine(const FLogCapture& Capture, const std::wstring& Message, size_t From = 0)
	{
		for (size_t Index = From; Index < Capture.Entries().size(); ++Index)
		{
			if (Capture.Entries()[Index].Message == Message)
			{
				return Index;
			}
		}
		return std::wstring::npos;
	}

	bool HasErrorStartingWith(const FLogCapture& Capture, const std::wstring& Prefix)
	{
		return std::any_of(Capture.Entries().begin(), Capture.Entries().end(), [&Prefix](const FLogCapture::FEntry& Entry)
			{ return Entry.Level == ELogLevel::Error && Entry.Message.rfind(Prefix, 0) == 0; });
	}

	FSecurityDirectory ReadSecurityDirectory(const std::wstring& Path)
	{
		FSecurityDirectory Directory{0xFFFFFFFF, 0xFFFFFFFF};
		EXPECT_TRUE(TryReadSecurityDirectory(ReadFileBytes(ToPath(Path)), Directory));
		return Directory;
	}

	// Files the checks with other tools (wrestool, osslsigncode, readpe) look at
	// after this test program has run.
	void KeepForOtherTools(const std::wstring& Path, const std::wstring& Name)
	{
		const std::filesystem::path Folder = ToPath(KVT_TEST_OUTPUT_DIR);
		std::error_code Error;
		std::filesystem::create_directories(Folder, Error);
		std::filesystem::copy_file(ToPath(Path), Folder / ToPath(Name), std::filesystem::copy_options::overwrite_existing, Error);
		EXPECT_FALSE(Error) << Error.message();
	}

	class WindowsResources : public ::testing::Test
	{
	protected:
		FTempDirectory Directory;
		FLogCapture Capture;
		FWindowsPlatform Platform;

		std::wstring CopyIn(const std::wstring& Source, const std::wstring& Name)
		{
			std::error_code Error;
			std::filesystem::copy_file(ToPath(Source), Directory.Path() / ToPath(Name), Error);
			EXPECT_FALSE(Error) << Error.message();
			return Directory.Wide(Name);
		}
	};
}

TEST_F(WindowsResources, LoadsTheBytesOfOneResourceOfALoadedModule)
{
	const FScopedModule Module(
		::LoadLibraryExW(SampleApp.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE));
	ASSERT_TRUE(Module.IsValid());
	std::vector<uint8_t> Bytes;
	ASSERT_TRUE(FWindowsPlatform::TryLoadResourceData(Module.Get(), L"#10", L"#300", Bytes));
	EXPECT_EQ(std::string(Bytes.begin(), Bytes.end()), ReadDefaultResource(SampleApp, Data, L"#300"));
	EXPECT_NE(std::string(Bytes.begin(), Bytes.end()).find("sample application data"), std::string::npos);

	// Refusals are quiet: the caller says what was missing.
	Bytes = {7};
	EXPECT_FALSE(FWindowsPlatform::TryLoadResourceData(nullptr, L"#10", L"#300", Bytes));
	EXPECT_FALSE(FWindowsPlatform::TryLoadResourceData(Module.Get(), L"", L"#300", Bytes));
	EXPECT_FALSE(FWindowsPlatform::TryLoadResourceData(Module.Get(), L"#10", L"", Bytes));
	EXPECT_FALSE(FWindowsPlatform::TryLoadResourceData(Module.Get(), L"#10", L"#301", Bytes));
	EXPECT_FALSE(FWindowsPlatform::TryLoadResourceData(::GetModuleHandleW(nullptr), L"BINARY", L"BOOTSTRAPPER_EXECUTABLE", Bytes));
	EXPECT_EQ(Bytes, std::vector<uint8_t>({7}));
	EXPECT_TRUE(Capture.Entries().empty()) << Capture.Dump();
}

TEST_F(WindowsResources, CollectsIconsGroupsAndVersionsWithEveryLanguage)
{
	std::vector<FResourceRecord> Records;
	ASSERT_TRUE(FWindowsPlatform::TryGetResources(SampleApp, {3, 14, 16}, Records)) << Capture.Dump();

	// Five icon images (three sizes and two), two groups, one version: in type order.
	ASSERT_EQ(Records.size(), 8u);
	for (size_t Index = 0; Index < Records.size(); ++Index)
	{
		const FResourceRecord& Record = Records[Index];
		EXPECT_EQ(Record.TypeId, Index < 5 ? 3u : Index < 7 ? 14u : 16u) << Index;
		EXPECT_TRUE(Record.TypeName.empty());
		ASSERT_TRUE(Record.Data);
		EXPECT_EQ(Record.Size, Record.Data->size());
		const std::wstring Name = Record.Name.empty() ? L"#" + std::to_wstring(Record.NameId) : Record.Name;
		EXPECT_TRUE(std::string(Record.Data->begin(), Record.Data->end()) ==
			ReadDefaultResource(SampleApp, static_cast<uint32_t>(Record.TypeId), Name))
			<< Index;
	}
	// The file lists named resources before numbered ones; the records keep that order.
	EXPECT_EQ(Records[5].NameId, 0u);
	EXPECT_EQ(Records[5].Name, L"MAINICON");
	EXPECT_EQ(Records[6].NameId, 101u);
	EXPECT_TRUE(Records[6].Name.empty());

	std::vector<uint16_t> VersionLanguages = Records[7].Languages;
	std::sort(VersionLanguages.begin(), VersionLanguages.end());
	EXPECT_EQ(VersionLanguages, std::vector<uint16_t>({0x407, 0x409}));
	EXPECT_EQ(Records[0].Languages, std::vector<uint16_t>({0x409}));

	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, GetCategory, L"Trying to get resources from path: '" + SampleApp + L"'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, GetCategory, L"Found resource: Type=3h, Name=1h"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, GetCategory, L"Found resource: Type=Eh, Name=65h"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, GetCategory, L"Found resource: Type=Eh, Name='MAINICON'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, GetCategory, L"Found resource: Type=10h, Name=1h"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, GetCategory, L"Successfully found resources: 8"));

	FResourceRecord Named;
	Named.TypeName = L"BINARY";
	Named.Name = L"BOOTSTRAPPER_EXECUTABLE";
	EXPECT_EQ(FWindowsPlatform::DescribeResource(Named), L"Type='BINARY', Name='BOOTSTRAPPER_EXECUTABLE'");
}

TEST_F(WindowsResources, GetResourcesFailsForWhatIsNoImage)
{
	WriteFileBytes(Directory.Path() / "notes.txt", "no executable here");
	std::vector<FResourceRecord> Records(1);
	EXPECT_FALSE(FWindowsPlatform::TryGetResources(Directory.Wide(L"notes.txt"), {3, 14, 16}, Records));
	EXPECT_TRUE(Records.empty());
	EXPECT_FALSE(FWindowsPlatform::TryGetResources(Directory.Wide(L"missing.exe"), {3, 14, 16}, Records));
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 2u);
	EXPECT_TRUE(HasErrorStartingWith(Capture, L"Failed to load path: ")) << Capture.Dump();
}

TEST_F(WindowsResources, ClassifiesBuiltExecutablesAndLibraries)
{
	EExecutableType Type = EExecutableType::Executable32;
	EXPECT_TRUE(Platform.TryGetExecutableType(Launcher, Type)) << Capture.Dump();
	EXPECT_EQ(Type, EExecutableType::Executable64);
	Type = EExecutableType::Executable32;
	EXPECT_TRUE(Platform.TryGetExecutableType(KVT_TEST_LIBRARY, Type)) << Capture.Dump();
	EXPECT_EQ(Type, EExecutableType::Executable64);
}

TEST_F(WindowsResources, CopyGivesTheLauncherTheApplicationsLooksAndKeepsTheRest)
{
	const std::wstring Target = CopyIn(Launcher, L"Launcher.exe");
	const std::string ManifestBefore = ReadDefaultResource(Target, Manifest, L"#1");
	ASSERT_FALSE(ManifestBefore.empty());
	ASSERT_EQ(CountCertificates(Target), 0);

	ASSERT_TRUE(Platform.TryCopyExecutableResources(SampleApp, Target)) << Capture.Dump();

	// The launcher's only resource of the three types is its version in
	// English, which the application has too: the result is exact on Wine as well.
	const std::map<FResourceKey, std::string> Expected = ExpectedCopy(SampleApp);
	ASSERT_EQ(Expected.size(), 9u) << "five icons, two groups, the version in two languages";
	EXPECT_EQ(ReadResourcesByLanguage(Target, CopiedTypes), Expected);
	EXPECT_EQ(Expected.at(FResourceKey(Version, L"#1", 0x407)), Expected.at(FResourceKey(Version, L"#1", 0x409)));
	EXPECT_EQ(ReadDefaultResource(Target, Manifest, L"#1"), ManifestBefore);

	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, CopyCategory,
		L"Trying to copy resources from '" + SampleApp + L"' to '" + Target + L"'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RemoveCategory, L" Removing resource: Type=10h, Name=1h"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, AddCategory, L"Adding resource: Type=Eh, Name='MAINICON'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, CopyCategory, L"Successfully copied resources"));
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 0u) << Capture.Dump();

	KeepForOtherTools(SampleApp, L"sample-app.exe");
	KeepForOtherTools(Target, L"copied-launcher.exe");
}

TEST_F(WindowsResources, CopyFromAnApplicationWithoutVersionReplacesTheTargetsOwnLooks)
{
	const std::wstring Target = CopyIn(TargetApp, L"Target.exe");
	const std::string KeptBefore = ReadDefaultResource(Target, Data, L"#400");
	ASSERT_FALSE(KeptBefore.empty());
	const std::map<FResourceKey, std::string> Before = ReadResourcesByLanguage(Target, CopiedTypes);
	ASSERT_EQ(Before.count(FResourceKey(GroupIcon, L"#5", 0x409)), 1u);
	ASSERT_EQ(Before.count(FResourceKey(GroupIcon, L"#5", 0x40C)), 1u);
	ASSERT_EQ(Before.count(FResourceKey(Version, L"#1", 0x409)), 1u);

	ASSERT_TRUE(Platform.TryCopyExecutableResources(IconOnlyApp, Target)) << Capture.Dump();

	const std::map<FResourceKey, std::string> Expected = ExpectedCopy(IconOnlyApp);
	const std::map<FResourceKey, std::string> After = ReadResourcesByLanguage(Target, CopiedTypes);
	for (const auto& [Key, Bytes] : Expected)
	{
		ASSERT_EQ(After.count(Key), 1u) << std::get<0>(Key);
		EXPECT_EQ(After.at(Key), Bytes);
	}
	EXPECT_EQ(ReadDefaultResource(Target, Data, L"#400"), KeptBefore);
	// The group in both its languages and the version were asked to go; nothing of a version was added.
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RemoveCategory, L" Removing resource: Type=Eh, Name=5h"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RemoveCategory, L" Removing resource: Type=10h, Name=1h"));
	EXPECT_FALSE(Capture.Has(ELogLevel::Verbose, AddCategory, L"Adding resource: Type=10h, Name=1h"));
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 0u) << Capture.Dump();

	if (IsRunningUnderWine())
	{
		GTEST_SKIP() << WineKeepsDeletedResources;
	}
	EXPECT_EQ(After, Expected);
}

TEST_F(WindowsResources, CopyIntoASignedLauncherLeavesItUnsignedValidAndRunnable)
{
	const std::wstring Target = CopyIn(SignedLauncher, L"Launcher.exe");
	ASSERT_EQ(CountCertificates(Target), 1);
	const FSecurityDirectory Signed = ReadSecurityDirectory(Target);
	ASSERT_NE(Signed.Size, 0u);

	ASSERT_TRUE(Platform.TryCopyExecutableResources(SampleApp, Target)) << Capture.Dump();

	EXPECT_EQ(CountCertificates(Target), 0);
	const FSecurityDirectory Unsigned = ReadSecurityDirectory(Target);
	EXPECT_EQ(Unsigned.Offset, 0u);
	EXPECT_EQ(Unsigned.Size, 0u);
	EXPECT_EQ(ReadResourcesByLanguage(Target, CopiedTypes), ExpectedCopy(SampleApp));

	// The signature goes before the resources change, and the later pass finds none.
	const std::wstring Removing = L"Removing Authenticode signatures: '" + Target + L"'";
	const size_t FirstRemoval = FindLine(Capture, Removing);
	const size_t ResourceRemoval = FindLine(Capture, L" Trying to remove resources from path: '" + Target + L"'");
	ASSERT_NE(FirstRemoval, std::wstring::npos) << Capture.Dump();
	ASSERT_NE(ResourceRemoval, std::wstring::npos);
	EXPECT_LT(FirstRemoval, ResourceRemoval);
	EXPECT_NE(FindLine(Capture, Removing, ResourceRemoval), std::wstring::npos);

	EExecutableType Type = EExecutableType::Executable32;
	EXPECT_TRUE(Platform.TryGetExecutableType(Target, Type));
	EXPECT_EQ(Type, EExecutableType::Executable64);

	// It still starts its application: the report helper, without the service.
	std::error_code Error;
	std::filesystem::copy_file(ToPath(KVT_TEST_REPORT_HELPER), Directory.Path() / "App.exe", Error);
	ASSERT_FALSE(Error);
	WriteFileBytes(Directory.Path() / "Launcher.ini", "ApplicationPath=App.exe\r\nWaitForExit=1\r\nNoOperation=1\r\n");
	const std::wstring Report = Directory.Wide(L"report.txt");
	ASSERT_TRUE(Platform.TrySetEnvironmentVariable(L"KVT_REPORT_FILE", Report));
	uint32_t ExitCode = 99;
	EXPECT_TRUE(Platform.TryRunExecutable(Target, std::wstring(L"first second"), Directory.Wide(), false, true, &ExitCode));
	Platform.DeleteEnvironmentVariable(L"KVT_REPORT_FILE");
	EXPECT_EQ(ExitCode, 0u);
	const std::string Reported = ReadFileBytes(ToPath(Report));
	EXPECT_NE(Reported.find("arg=first\n"), std::string::npos) << Reported;
	EXPECT_NE(Reported.find("arg=second\n"), std::string::npos) << Reported;

	KeepForOtherTools(Target, L"copied-signed-launcher.exe");
}

TEST_F(WindowsResources, RemovesEveryCertificateEntryUntilNoneRemain)
{
	std::string Image = ReadFileBytes(ToPath(SignedLauncher));
	ASSERT_TRUE(TryAppendSecondCertificate(Image));
	WriteFileBytes(Directory.Path() / "TwoCertificates.exe", Image);
	const std::wstring Target = Directory.Wide(L"TwoCertificates.exe");
	ASSERT_EQ(CountCertificates(Target), 2) << "the test file must really carry two entries";

	EXPECT_TRUE(FWindowsPlatform::TryRemoveAuthenticodeSignatures(Target)) << Capture.Dump();
	EXPECT_EQ(CountCertificates(Target), 0);
	const FSecurityDirectory Table = ReadSecurityDirectory(Target);
	EXPECT_EQ(Table.Offset, 0u);
	EXPECT_EQ(Table.Size, 0u);
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 0u) << Capture.Dump();
	KeepForOtherTools(Target, L"two-certificates-removed.exe");
}

TEST_F(WindowsResources, RemovingSignaturesOfAnUnsignedOrMissingFile)
{
	const std::wstring Target = CopyIn(Launcher, L"Unsigned.exe");
	const std::string Before = ReadFileBytes(ToPath(Target));
	EXPECT_TRUE(FWindowsPlatform::TryRemoveAuthenticodeSignatures(Target));
	EXPECT_TRUE(ReadFileBytes(ToPath(Target)) == Before);
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 0u);

	EXPECT_FALSE(FWindowsPlatform::TryRemoveAuthenticodeSignatures(Directory.Wide(L"missing.exe")));
	EXPECT_TRUE(HasErrorStartingWith(Capture, L"CreateFile failed: ")) << Capture.Dump();
}

TEST_F(WindowsResources, AFailedSingleUpdateDiscardsTheWholeUpdate)
{
	const std::wstring Target = CopyIn(TargetApp, L"Target.exe");
	const std::string Before = ReadFileBytes(ToPath(Target));

	std::vector<FResourceRecord> Records;
	ASSERT_TRUE(FWindowsPlatform::TryGetResources(IconOnlyApp, {3, 14}, Records));
	ASSERT_FALSE(Records.empty());
	// "#" and a number names a numeric resource, and this one is beyond 16
	// bits: the system refuses this one update.
	FResourceRecord Refused = Records.back();
	Refused.NameId = 0;
	Refused.Name = L"#99999";
	Records.push_back(Refused);

	EXPECT_FALSE(FWindowsPlatform::TryAddResources(Target, Records));
	EXPECT_TRUE(HasErrorStartingWith(Capture, L"Failed to add for language: 0x409: ")) << Capture.Dump();
	EXPECT_FALSE(Capture.Has(ELogLevel::Verbose, AddCategory, L"Successfully added resources"));
	EXPECT_TRUE(ReadFileBytes(ToPath(Target)) == Before) << "the icons before the refused record were added";

	std::vector<FResourceRecord> Own;
	ASSERT_TRUE(FWindowsPlatform::TryGetResources(Target, {14}, Own));
	ASSERT_EQ(Own.size(), 1u);
	Own.push_back(Refused);
	EXPECT_FALSE(FWindowsPlatform::TryRemoveResources(Target, Own));
	EXPECT_TRUE(HasErrorStartingWith(Capture, L" Failed to remove for language: 0x409: ")) << Capture.Dump();
	EXPECT_FALSE(Capture.Has(ELogLevel::Verbose, RemoveCategory, L" Successfully removed resources"));
	EXPECT_TRUE(ReadFileBytes(ToPath(Target)) == Before);
}
