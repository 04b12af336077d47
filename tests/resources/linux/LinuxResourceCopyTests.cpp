#include "platform/linux/LinuxPlatform.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestFiles.h"
#include "tests/resources/PeTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <sys/wait.h>
#include <tuple>

// Windows launchers given an application's looks on Linux, on the files the
// Windows build made: its stripped launcher, an application with icons of
// several sizes, a numbered and a string-named group and version information
// in two languages, one with an icon only, and a target with looks of its
// own. Unlike Wine, the editor really deletes, so every result is exact. The
// files are read back with wrestool (icoutils), not with our reader, and the
// copies are kept for check-linux-copy.sh, which shows them to Windows'
// own resource functions under Wine.
namespace
{
	const std::wstring Launcher = KVT_TEST_WINDOWS_LAUNCHER;
	const std::wstring FixtureDir = KVT_TEST_WINDOWS_FIXTURE_DIR;
	const std::wstring SampleApp = FixtureDir + L"/kvt_fixture_sample_app.exe";
	const std::wstring IconOnlyApp = FixtureDir + L"/kvt_fixture_icon_only_app.exe";
	const std::wstring TargetApp = FixtureDir + L"/kvt_fixture_target_app.exe";
	const std::wstring SignedLauncher = std::wstring(KVT_TEST_SIGNED_DIR) + L"/signed-launcher.exe";

	constexpr uint16_t English = 0x409;

	constexpr const wchar_t* GetCategory = L"FLinuxPlatform::TryGetResources";
	constexpr const wchar_t* CopyCategory = L"FLinuxPlatform::TryCopyExecutableResources";
	constexpr const wchar_t* RemoveCategory = L"FLinuxPlatform::TryRemoveResources";
	constexpr const wchar_t* AddCategory = L"FLinuxPlatform::TryAddResources";

	// Type and name as wrestool spells them ("3", "'MAINICON'"), and the language.
	using FResourceKey = std::tuple<std::string, std::string, uint16_t>;
	using FResources = std::map<FResourceKey, std::string>;

	bool IsCopiedType(const FResourceKey& Key)
	{
		const std::string& Type = std::get<0>(Key);
		return Type == "3" || Type == "14" || Type == "16";
	}

	std::string Quote(const std::string& Text)
	{
		std::string Quoted = "'";
		for (const char Character : Text)
		{
			Quoted += Character == '\'' ? std::string("'\\''") : std::string(1, Character);
		}
		return Quoted + "'";
	}

	// The standard output of a shell command; a failed command fails the test.
	std::string Run(const std::string& Command)
	{
		FILE* Pipe = ::popen(Command.c_str(), "r");
		if (Pipe == nullptr)
		{
			ADD_FAILURE() << "cannot run: " << Command;
			return std::string();
		}
		std::string Output;
		char Buffer[4096];
		for (size_t Read; (Read = std::fread(Buffer, 1, sizeof(Buffer), Pipe)) > 0;)
		{
			Output.append(Buffer, Read);
		}
		const int Status = ::pclose(Pipe);
		EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << Command << " ended with " << Status;
		return Output;
	}

	// Every resource of the file, each language by itself, as wrestool lists
	// and extracts it.
	FResources ReadWithWrestool(const std::wstring& Path)
	{
		const std::string File = Quote(ToPath(Path).string());
		FResources Result;
		const std::string Listing = Run("wrestool -l " + File);
		static const std::regex Line("--type=(\\S+) --name=(\\S+) --language=(\\d+) \\[");
		for (std::sregex_iterator Match(Listing.begin(), Listing.end(), Line), End; Match != End; ++Match)
		{
			const std::string Type = (*Match)[1];
			const std::string Name = (*Match)[2];
			const std::string Language = (*Match)[3];
			const auto Unquoted = [](const std::string& Id)
			{ return Id.size() > 1 && Id.front() == '\'' ? Id.substr(1, Id.size() - 2) : Id; };
			Result[FResourceKey(Type, Name, static_cast<uint16_t>(std::stoul(Language)))] = Run("wrestool -x --raw --type=" +
				Quote(Unquoted(Type)) + " --name=" + Quote(Unquoted(Name)) + " --language=" + Language + " " + File);
		}
		EXPECT_FALSE(Result.empty()) << "wrestool finds no resources in " << File;
		return Result;
	}

	FResources Only(const FResources& Resources, bool bCopied)
	{
		FResources Result;
		for (const auto& [Key, Bytes] : Resources)
		{
			if (IsCopiedType(Key) == bCopied)
			{
				Result.emplace(Key, Bytes);
			}
		}
		return Result;
	}

	// What the target must hold after a copy: every language the source has of
	// an icon, group or version, each with the bytes of the language that
	// FindResourceW picks when none is asked for. With no language-neutral
	// version that is the user's language and then US English, which is what a
	// Windows system in English and the Wine prefix of the tests pick (the
	// later check with the probe under Wine confirms it on the files).
	// Which type, name and language is missing, extra or holds other bytes.
	std::string Differences(const FResources& Actual, const FResources& Expected)
	{
		std::string Text;
		const auto Describe = [](const FResourceKey& Key)
		{ return "type " + std::get<0>(Key) + " name " + std::get<1>(Key) + " language " + std::to_string(std::get<2>(Key)); };
		for (const auto& [Key, Bytes] : Expected)
		{
			const auto Found = Actual.find(Key);
			Text += Found == Actual.end() ? "missing: " + Describe(Key) + "\n"
				: Found->second != Bytes  ? "other bytes: " + Describe(Key) + " (" + std::to_string(Found->second.size()) +
						" bytes, expected " + std::to_string(Bytes.size()) + ")\n"
										  : std::string();
		}
		for (const auto& [Key, Bytes] : Actual)
		{
			Text += Expected.count(Key) == 0 ? "not expected: " + Describe(Key) + "\n" : std::string();
		}
		return Text;
	}

	FResources ExpectedCopy(const FResources& Source)
	{
		FResources Expected;
		for (const auto& [Key, Bytes] : Only(Source, true))
		{
			const auto Pick = [&](uint16_t Language)
			{ return Source.find(FResourceKey(std::get<0>(Key), std::get<1>(Key), Language)); };
			auto Default = Pick(0);
			if (Default == Source.end())
			{
				Default = Pick(English);
			}
			if (Default == Source.end())
			{
				Default = Source.lower_bound(FResourceKey(std::get<0>(Key), std::get<1>(Key), 0));
			}
			Expected[Key] = Default->second;
		}
		return Expected;
	}

	FSecurityDirectory ReadSecurityDirectory(const std::wstring& Path)
	{
		FSecurityDirectory Directory{0xFFFFFFFF, 0xFFFFFFFF};
		EXPECT_TRUE(TryReadSecurityDirectory(ReadFileBytes(ToPath(Path)), Directory));
		return Directory;
	}

	// The entries of the certificate table, walked by their lengths (each
	// rounded up to eight bytes), as the image-help library counts them.
	int CountCertificates(const std::wstring& Path)
	{
		const std::string Image = ReadFileBytes(ToPath(Path));
		const FSecurityDirectory Table = ReadSecurityDirectory(Path);
		if (Table.Offset == 0 && Table.Size == 0)
		{
			return 0;
		}
		if (static_cast<uint64_t>(Table.Offset) + Table.Size > Image.size())
		{
			return -1;
		}
		int Count = 0;
		for (uint64_t Offset = Table.Offset; Offset < static_cast<uint64_t>(Table.Offset) + Table.Size; ++Count)
		{
			const uint32_t Length = GetUInt32(Image, Offset);
			if (Length < 8)
			{
				return -1;
			}
			Offset += (Length + 7u) & ~7u;
		}
		return Count;
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

	// Files check-linux-copy.sh looks at after this test program has run.
	void KeepForOtherTools(const std::wstring& Path, const std::wstring& Name)
	{
		const std::filesystem::path Folder = ToPath(KVT_TEST_OUTPUT_DIR);
		std::error_code Error;
		std::filesystem::create_directories(Folder, Error);
		std::filesystem::copy_file(ToPath(Path), Folder / ToPath(Name), std::filesystem::copy_options::overwrite_existing, Error);
		EXPECT_FALSE(Error) << Error.message();
	}

	class LinuxResourceCopy : public ::testing::Test
	{
	protected:
		FTempDirectory Directory;
		FLogCapture Capture;
		FLinuxPlatform Platform;

		void SetUp() override
		{
			for (const std::wstring& Needed : {Launcher, SampleApp, IconOnlyApp, TargetApp})
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
			std::error_code Error;
			std::filesystem::copy_file(ToPath(Source), Directory.Path() / ToPath(Name), Error);
			EXPECT_FALSE(Error) << Error.message();
			return Directory.Wide(Name);
		}

		bool SignedLauncherIsThere()
		{
			return std::filesystem::is_regular_file(ToPath(SignedLauncher));
		}
	};
}

TEST_F(LinuxResourceCopy, CollectsWhatWrestoolFindsWithTheBytesOfTheDefaultLanguage)
{
	std::vector<FResourceRecord> Records;
	ASSERT_TRUE(FLinuxPlatform::TryGetResources(SampleApp, {3, 14, 16}, Records)) << Capture.Dump();

	// Five icon images, two groups, one version: in type order, and within a
	// type named before numbered, as the system enumerates them.
	ASSERT_EQ(Records.size(), 8u);
	const FResources Listed = ReadWithWrestool(SampleApp);
	const FResources Expected = ExpectedCopy(Listed);
	size_t Languages = 0;
	for (size_t Index = 0; Index < Records.size(); ++Index)
	{
		const FResourceRecord& Record = Records[Index];
		EXPECT_EQ(Record.TypeId, Index < 5 ? 3u : Index < 7 ? 14u : 16u) << Index;
		EXPECT_TRUE(Record.TypeName.empty());
		ASSERT_TRUE(Record.Data);
		EXPECT_EQ(Record.Size, Record.Data->size());
		const std::string Name =
			Record.Name.empty() ? std::to_string(Record.NameId) : "'" + ToPath(Record.Name).string() + "'";
		for (const uint16_t Language : Record.Languages)
		{
			const auto Found = Expected.find(FResourceKey(std::to_string(Record.TypeId), Name, Language));
			ASSERT_NE(Found, Expected.end()) << Index << " " << Name << " " << Language;
			EXPECT_TRUE(Found->second == std::string(Record.Data->begin(), Record.Data->end()))
				<< "type " << Record.TypeId << " name " << Name << ": not the default language's bytes";
			++Languages;
		}
	}
	EXPECT_EQ(Languages, Expected.size()) << "a language wrestool lists is missing";
	EXPECT_EQ(Records[5].NameId, 0u);
	EXPECT_EQ(Records[5].Name, L"MAINICON");
	EXPECT_EQ(Records[6].NameId, 101u);
	std::vector<uint16_t> VersionLanguages = Records[7].Languages;
	std::sort(VersionLanguages.begin(), VersionLanguages.end());
	EXPECT_EQ(VersionLanguages, std::vector<uint16_t>({0x407, 0x409}));

	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, GetCategory, L"Trying to get resources from path: '" + SampleApp + L"'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, GetCategory, L"Found resource: Type=3h, Name=1h"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, GetCategory, L"Found resource: Type=Eh, Name=65h"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, GetCategory, L"Found resource: Type=Eh, Name='MAINICON'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, GetCategory, L"Found resource: Type=10h, Name=1h"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, GetCategory, L"Successfully found resources: 8"));
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 0u) << Capture.Dump();
	KeepForOtherTools(SampleApp, L"sample-app.exe");
}

TEST_F(LinuxResourceCopy, CopyGivesTheLauncherTheApplicationsLooksAndKeepsTheRest)
{
	const std::wstring Target = CopyIn(Launcher, L"Launcher.exe");
	const FResources Before = ReadWithWrestool(Target);
	ASSERT_EQ(Before.count(FResourceKey("24", "1", English)), 1u) << "the launcher should carry its manifest";

	ASSERT_TRUE(Platform.TryCopyExecutableResources(SampleApp, Target)) << Capture.Dump();

	const FResources After = ReadWithWrestool(Target);
	const FResources Expected = ExpectedCopy(ReadWithWrestool(SampleApp));
	ASSERT_EQ(Expected.size(), 9u) << "five icons, two groups, the version in two languages";
	EXPECT_TRUE(Only(After, true) == Expected) << Differences(Only(After, true), Expected);
	EXPECT_TRUE(Expected.at(FResourceKey("16", "1", 0x407)) == Expected.at(FResourceKey("16", "1", English)));
	// The manifest and whatever else the launcher carries, byte for byte.
	EXPECT_TRUE(Only(After, false) == Only(Before, false)) << Differences(Only(After, false), Only(Before, false));

	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, CopyCategory,
		L"Trying to copy resources from '" + SampleApp + L"' to '" + Target + L"'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RemoveCategory, L" Trying to remove resources from path: '" + Target + L"'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RemoveCategory, L" Removing resource: Type=10h, Name=1h"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RemoveCategory, L" Successfully removed resources"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, AddCategory, L"Trying to add resources to path: '" + Target + L"'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, AddCategory, L"Adding resource: Type=Eh, Name='MAINICON'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, AddCategory, L"Successfully added resources"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, CopyCategory, L"Successfully copied resources"));
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 0u) << Capture.Dump();

	KeepForOtherTools(Target, L"copied-launcher.exe");
}

TEST_F(LinuxResourceCopy, CopyFromAnApplicationWithoutVersionLeavesOnlyItsIcons)
{
	const std::wstring Target = CopyIn(TargetApp, L"Target.exe");
	const FResources Before = ReadWithWrestool(Target);
	ASSERT_EQ(Before.count(FResourceKey("14", "5", English)), 1u);
	ASSERT_EQ(Before.count(FResourceKey("14", "5", 0x40C)), 1u);
	ASSERT_EQ(Before.count(FResourceKey("16", "1", English)), 1u);

	ASSERT_TRUE(Platform.TryCopyExecutableResources(IconOnlyApp, Target)) << Capture.Dump();

	const FResources After = ReadWithWrestool(Target);
	const FResources Expected = ExpectedCopy(ReadWithWrestool(IconOnlyApp));
	ASSERT_FALSE(Expected.empty());
	EXPECT_TRUE(Only(After, true) == Expected) << Differences(Only(After, true), Expected);
	for (const auto& [Key, Bytes] : After)
	{
		EXPECT_NE(std::get<0>(Key), "16") << "a version is left in language " << std::get<2>(Key);
	}
	EXPECT_TRUE(Only(After, false) == Only(Before, false)) << Differences(Only(After, false), Only(Before, false));

	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RemoveCategory, L" Removing resource: Type=Eh, Name=5h"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RemoveCategory, L" Removing resource: Type=10h, Name=1h"));
	EXPECT_FALSE(Capture.Has(ELogLevel::Verbose, AddCategory, L"Adding resource: Type=10h, Name=1h"));
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 0u) << Capture.Dump();
	KeepForOtherTools(Target, L"icon-only-copied-target.exe");
}

TEST_F(LinuxResourceCopy, CopyIntoASignedLauncherLeavesItUnsignedWithTheApplicationsLooks)
{
	ASSERT_TRUE(SignedLauncherIsThere()) << "the signing fixture (resources_linux_copy_signing) did not run";
	const std::wstring Target = CopyIn(SignedLauncher, L"Launcher.exe");
	ASSERT_EQ(CountCertificates(Target), 1);
	const FResources Before = ReadWithWrestool(Target);

	ASSERT_TRUE(Platform.TryCopyExecutableResources(SampleApp, Target)) << Capture.Dump();

	const FSecurityDirectory Unsigned = ReadSecurityDirectory(Target);
	EXPECT_EQ(Unsigned.Offset, 0u);
	EXPECT_EQ(Unsigned.Size, 0u);
	const FResources After = ReadWithWrestool(Target);
	const FResources Expected = ExpectedCopy(ReadWithWrestool(SampleApp));
	EXPECT_TRUE(Only(After, true) == Expected) << Differences(Only(After, true), Expected);
	EXPECT_TRUE(Only(After, false) == Only(Before, false)) << Differences(Only(After, false), Only(Before, false));
	// No byte of the certificate is left at the end of the file either.
	const std::string Signature = ReadFileBytes(ToPath(SignedLauncher)).substr(ReadSecurityDirectory(SignedLauncher).Offset);
	EXPECT_EQ(ReadFileBytes(ToPath(Target)).find(Signature), std::string::npos);

	// The signature goes before the resources change, and the later pass finds none.
	const std::wstring Removing = L"Removing Authenticode signatures: '" + Target + L"'";
	const size_t FirstRemoval = FindLine(Capture, Removing);
	const size_t ResourceRemoval = FindLine(Capture, L" Trying to remove resources from path: '" + Target + L"'");
	ASSERT_NE(FirstRemoval, std::wstring::npos) << Capture.Dump();
	ASSERT_NE(ResourceRemoval, std::wstring::npos);
	EXPECT_LT(FirstRemoval, ResourceRemoval);
	EXPECT_NE(FindLine(Capture, Removing, ResourceRemoval), std::wstring::npos);
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 0u) << Capture.Dump();

	EExecutableType Type = EExecutableType::Executable32;
	EXPECT_TRUE(Platform.TryGetExecutableType(Target, Type));
	EXPECT_EQ(Type, EExecutableType::Executable64);
	KeepForOtherTools(Target, L"copied-signed-launcher.exe");
}

TEST_F(LinuxResourceCopy, RemovesEveryCertificateEntryAndLeavesAnUnsignedFileAlone)
{
	ASSERT_TRUE(SignedLauncherIsThere()) << "the signing fixture (resources_linux_copy_signing) did not run";
	std::string Image = ReadFileBytes(ToPath(SignedLauncher));
	ASSERT_TRUE(TryAppendSecondCertificate(Image));
	WriteFileBytes(Directory.Path() / "TwoCertificates.exe", Image);
	const std::wstring Target = Directory.Wide(L"TwoCertificates.exe");
	ASSERT_EQ(CountCertificates(Target), 2) << "the test file must really carry two entries";

	EXPECT_TRUE(FLinuxPlatform::TryRemoveAuthenticodeSignatures(Target)) << Capture.Dump();
	const FSecurityDirectory Table = ReadSecurityDirectory(Target);
	EXPECT_EQ(Table.Offset, 0u);
	EXPECT_EQ(Table.Size, 0u);
	// The table at the end goes with the entries, not only the directory entry.
	EXPECT_LE(ReadFileBytes(ToPath(Target)).size(), ReadSecurityDirectory(SignedLauncher).Offset);
	EXPECT_EQ(CountCertificates(Target), 0);
	EXPECT_TRUE(ReadWithWrestool(Target) == ReadWithWrestool(SignedLauncher));
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 0u) << Capture.Dump();
	KeepForOtherTools(Target, L"two-certificates-removed.exe");

	const std::wstring Plain = CopyIn(Launcher, L"Unsigned.exe");
	const std::string Before = ReadFileBytes(ToPath(Plain));
	EXPECT_TRUE(FLinuxPlatform::TryRemoveAuthenticodeSignatures(Plain));
	EXPECT_TRUE(ReadFileBytes(ToPath(Plain)) == Before);
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 0u) << Capture.Dump();
}

TEST_F(LinuxResourceCopy, AFailedSingleUpdateLeavesTheFileAsItWas)
{
	const std::wstring Target = CopyIn(TargetApp, L"Target.exe");
	const std::string Before = ReadFileBytes(ToPath(Target));

	std::vector<FResourceRecord> Records;
	ASSERT_TRUE(FLinuxPlatform::TryGetResources(IconOnlyApp, {3, 14}, Records));
	ASSERT_FALSE(Records.empty());
	// "#" and a number names a numeric resource, and this one is beyond 16
	// bits, which Windows refuses: the records before it must not be written.
	FResourceRecord Refused = Records.back();
	Refused.NameId = 0;
	Refused.Name = L"#99999";
	Records.push_back(Refused);

	EXPECT_FALSE(FLinuxPlatform::TryAddResources(Target, Records));
	EXPECT_TRUE(HasErrorStartingWith(Capture, L"Failed to add for language: 0x409: ")) << Capture.Dump();
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, AddCategory, L"Adding resource: Type=Eh, Name='#99999'"));
	EXPECT_FALSE(Capture.Has(ELogLevel::Verbose, AddCategory, L"Successfully added resources"));
	EXPECT_TRUE(ReadFileBytes(ToPath(Target)) == Before) << "the icons before the refused record were added";

	std::vector<FResourceRecord> Own;
	ASSERT_TRUE(FLinuxPlatform::TryGetResources(Target, {14}, Own));
	ASSERT_EQ(Own.size(), 1u);
	Own.push_back(Refused);
	EXPECT_FALSE(FLinuxPlatform::TryRemoveResources(Target, Own));
	EXPECT_TRUE(HasErrorStartingWith(Capture, L" Failed to remove for language: 0x409: ")) << Capture.Dump();
	EXPECT_FALSE(Capture.Has(ELogLevel::Verbose, RemoveCategory, L" Successfully removed resources"));
	EXPECT_TRUE(ReadFileBytes(ToPath(Target)) == Before) << "the group before the refused record was removed";
}

TEST_F(LinuxResourceCopy, DataAppendedToTheLauncherStaysAtItsEnd)
{
	// An installer or a packer may keep its payload behind the last section.
	const std::wstring Target = CopyIn(Launcher, L"Launcher.exe");
	std::string Appended = "KVT appended payload";
	for (int Index = 0; Index < 300; ++Index)
	{
		Appended += static_cast<char>(Index * 7);
	}
	const std::string Plain = ReadFileBytes(ToPath(Target));
	WriteFileBytes(ToPath(Target), Plain + Appended);

	ASSERT_TRUE(Platform.TryCopyExecutableResources(SampleApp, Target)) << Capture.Dump();

	const std::string After = ReadFileBytes(ToPath(Target));
	ASSERT_GT(After.size(), Appended.size());
	EXPECT_TRUE(After.compare(After.size() - Appended.size(), Appended.size(), Appended) == 0)
		<< "the appended bytes are not at the end of the file";
	const FResources Copied = Only(ReadWithWrestool(Target), true);
	const FResources Expected = ExpectedCopy(ReadWithWrestool(SampleApp));
	EXPECT_TRUE(Copied == Expected) << Differences(Copied, Expected);
	KeepForOtherTools(Target, L"appended-copied-launcher.exe");
}
