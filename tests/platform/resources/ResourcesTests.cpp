#include "tests/platform/resources/SystemResources.h"
#include "tests/support/LogCapture.h"
#include "tests/support/PeBuilders.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>

// Real files of the Windows build, which the native build edits too: the
// launcher signed for this run and the fixture programs of fixtures/.
namespace
{
	const std::wstring SignedLauncher = KVT_TEST_SIGNED_LAUNCHER;
	const std::wstring SampleApp = KVT_TEST_SAMPLE_APP;
	const std::wstring IconOnlyApp = KVT_TEST_ICON_ONLY_APP;
	const std::wstring TargetApp = KVT_TEST_TARGET_APP;

	const std::wstring GetCategory = SystemClass + L"::TryGetResources";
	const std::wstring RemoveCategory = SystemClass + L"::TryRemoveResources";
	const std::wstring AddCategory = SystemClass + L"::TryAddResources";
	const std::wstring SystemError = L"[Error] [" + SystemClass + L"::LogErrorWithLastErrorMessage] ";

	// The icons, groups and versions a copy takes, or everything else.
	FResources Only(const FResources& Resources, bool bCopied)
	{
		FResources Result;
		std::copy_if(Resources.begin(), Resources.end(), std::inserter(Result, Result.end()), [bCopied](const auto& Entry)
			{ return (std::get<0>(Entry.first) == L"3" || std::get<0>(Entry.first) == L"14" || std::get<0>(Entry.first) == L"16") == bCopied; });
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

	class Resources : public ::testing::Test
	{
	protected:
		FTempDirectory Directory;
		FLogCapture Capture;
		FSystemPlatform Platform;

		void SetUp() override
		{
			if (!std::filesystem::is_regular_file(ToPath(SampleApp)))
			{
				GTEST_SKIP() << "No Windows build output at '" << ToPath(SampleApp).string() << "': build the windows preset first";
			}
		}
	};
}

TEST_F(Resources, CopyGivesASignedLauncherTheApplicationsLooksKeepsTheRestAndLeavesItUnsigned)
{
	std::string Image = ReadFileBytes(ToPath(SignedLauncher));
	FPeImage Signed;
	ASSERT_TRUE(ParseExact(Image, Signed));
	const FPeCertificate First = Signed.Certificates.at(0);
	ASSERT_TRUE(TryAppendCertificate(Image, Image.substr(First.FileOffset, First.Length)));
	const std::wstring Target = Directory.Wide(L"Launcher.exe");
	WriteFileBytes(ToPath(Target), Image);
	const FResources Before = ReadResources(Target);

	ASSERT_TRUE(Platform.TryCopyExecutableResources(SampleApp, Target)) << Capture.Dump();

	// The launcher's only resource of the three types is its version in
	// English, which the application has too: the result is exact on Wine as well.
	const FResources After = ReadResources(Target);
	const FResources Expected = ExpectedCopy(SampleApp);
	EXPECT_EQ(Only(After, true), Expected);
	EXPECT_EQ(Only(After, false), Only(Before, false));
	FPeImage Unsigned;
	ASSERT_TRUE(ParseExact(ReadFileBytes(ToPath(Target)), Unsigned));
	EXPECT_TRUE(Unsigned.Certificates.empty());

	// The signatures go before the resources change, and once more after them.
	const std::wstring Dump = Capture.Dump();
	const std::wstring Removing = L"Removing Authenticode signatures: '" + Target + L"'";
	const size_t Updating = Dump.find(L" Trying to remove resources from path: '" + Target + L"'");
	EXPECT_LT(Dump.find(Removing), Updating) << Dump;
	EXPECT_NE(Dump.find(Removing, Updating), std::wstring::npos) << Dump;
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 0u) << Capture.Dump();
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, GetCategory, L"Found resource: Type=Eh, Name=65h"));

	// Again from an application with an icon only: the groups and the version
	// are asked to go, and no version comes.
	Capture.Clear();
	ASSERT_TRUE(Platform.TryCopyExecutableResources(IconOnlyApp, Target)) << Capture.Dump();
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RemoveCategory, L" Removing resource: Type=Eh, Name='MAINICON'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, RemoveCategory, L" Removing resource: Type=10h, Name=1h"));
	EXPECT_FALSE(Capture.Has(ELogLevel::Verbose, AddCategory, L"Adding resource: Type=10h, Name=1h"));
	// Wine ignores resource deletions, so there the earlier looks stay.
	EXPECT_TRUE(!UpdatesDeleteResources() || Only(ReadResources(Target), true) == ExpectedCopy(IconOnlyApp));

	EXPECT_FALSE(FSystemPlatform::TryRemoveAuthenticodeSignatures(Directory.Wide(L"missing.exe")));
	EXPECT_NE(Capture.Dump().find(SystemError + L"CreateFile failed: "), std::wstring::npos) << Capture.Dump();
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 1u) << Capture.Dump();
}

TEST_F(Resources, AFailedSingleUpdateLeavesTheFileAsItWas)
{
	const std::wstring Target = Directory.Wide(L"Target.exe");
	const std::string Before = ReadFileBytes(ToPath(TargetApp));
	WriteFileBytes(ToPath(Target), Before);

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
	EXPECT_TRUE(ReadFileBytes(ToPath(Target)) == Before) << "the icons before the refused record were added";
}
