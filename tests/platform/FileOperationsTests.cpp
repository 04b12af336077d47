// The file services of the real platform of the system the tests run on.
#include "app/Log.h"
#include "platform/Platform.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestBootstrapper.h"
#include "tests/support/TestFiles.h"
#include "tests/support/UnreadableFile.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace
{
	class FileOperations : public ::testing::Test
	{
	protected:
		std::shared_ptr<IPlatform> Platform = MakeNativePlatform();
		FTempDirectory Directory;
		FLogCapture Capture;
	};

	constexpr const wchar_t* DirectoriesCategory = L"FGenericPlatform::TryCreatePathDirectories";
	constexpr const wchar_t* ReadCategory = L"FGenericPlatform::TryReadFile";
	constexpr const wchar_t* WriteCategory = L"FGenericPlatform::TryWriteFile";
}

TEST_F(FileOperations, CreatePathDirectoriesCreatesTheParentsAndSaysWhatItDid)
{
	EXPECT_TRUE(Platform->TryCreatePathDirectories(L"settings.cfg", true));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, DirectoriesCategory,
		L"No action needed as the input path describes the file itself without directory tree: 'settings.cfg'"));
	EXPECT_FALSE(std::filesystem::exists("settings.cfg"));
	EXPECT_TRUE(Platform->TryCreatePathDirectories(Directory.Wide(L"file.txt"), true));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, DirectoriesCategory,
		L"No action needed as directories already exist: '" + Directory.Wide(L"file.txt") + L"'"));

	const std::wstring Nested = Directory.Wide(L"a/b/c/file.txt");
	EXPECT_TRUE(Platform->TryCreatePathDirectories(Nested, true));
	EXPECT_TRUE(std::filesystem::is_directory(Directory.Path() / "a" / "b" / "c"));
	EXPECT_FALSE(std::filesystem::exists(Directory.Path() / "a" / "b" / "c" / "file.txt"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, DirectoriesCategory, L"Successfully created directories: '" + Nested + L"'"));

	// Below a file nothing can be created; the failure is logged only when asked.
	WriteFileBytes(Directory.Path() / "blocker", "x");
	const std::wstring Impossible = Directory.Wide(L"blocker/sub/file.txt");
	Capture.Clear();
	EXPECT_FALSE(Platform->TryCreatePathDirectories(Impossible, false));
	EXPECT_TRUE(Capture.Entries().empty()) << Capture.Dump();
	EXPECT_FALSE(Platform->TryCreatePathDirectories(Impossible, true));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, DirectoriesCategory, L"Failed to create directories for path: '" + Impossible + L"'"));
}

TEST_F(FileOperations, ReadFileDecodesUtf8AndOnlyCrLfLineEnds)
{
	// On every system: a file saved on Windows may be shipped with any build.
	const std::pair<std::string, std::wstring> Cases[] = {
		{"\xEF\xBB\xBF" "a", L"\uFEFFa"},
		{"a\r\nb\r\n", L"a\nb\n"},
		{"a\n", L"a\n"},
		{"a\rb\r", L"a\rb\r"},
	};
	const std::wstring Path = Directory.Wide(L"in.txt");
	for (const auto& [Bytes, Expected] : Cases)
	{
		WriteFileBytes(ToPath(Path), Bytes);
		std::wstring Text;
		EXPECT_TRUE(Platform->TryReadFile(Path, Text));
		EXPECT_EQ(Text, Expected);
	}
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, ReadCategory, L"Successfully read file: '" + Path + L"'"));
}

TEST_F(FileOperations, ReadFileFailsForDirectoriesBadUtf8AndUnreadableFiles)
{
	std::wstring Text = L"junk";
	EXPECT_FALSE(Platform->TryReadFile(Directory.Wide(), Text));
	EXPECT_EQ(Text, L"");
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, ReadCategory,
		L"Failed because path is not an existing file: '" + Directory.Wide() + L"'"));

	const std::wstring Bad = Directory.Wide(L"bad.txt");
	WriteFileBytes(ToPath(Bad), "line one\nli\xC3\x28ne");
	Text = L"junk";
	EXPECT_FALSE(Platform->TryReadFile(Bad, Text));
	EXPECT_EQ(Text, L"");
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, ReadCategory,
		L"Failed because of an invalid UTF-8 sequence at byte offset 11: '" + Bad + L"'"));

	std::shared_ptr<void> Holder;
	const std::wstring Locked = MakeUnreadableFile(Directory, Holder);
	if (Locked.empty())
	{
		GTEST_SKIP() << "this system offers no file that exists and cannot be opened";
	}
	ASSERT_TRUE(Platform->FileExists(Locked));
	Text = L"junk";
	EXPECT_FALSE(Platform->TryReadFile(Locked, Text));
	EXPECT_EQ(Text, L"");
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, ReadCategory, L"Failed to open file for reading: '" + Locked + L"'"));
}

TEST_F(FileOperations, WrittenTextReadsBackUnchangedAndAppends)
{
	const std::wstring Path = Directory.Wide(L"new/folder/out.txt");
	// A lone low surrogate after the emoji keeps its own 3-byte form.
	const std::wstring Text = L"first \u00E9\nsecond \u4E2D\n" + std::wstring(sizeof(wchar_t) == 2 ? L"\xD83D\xDE00" : L"\U0001F600") +
		wchar_t(0xDC01);
	ASSERT_TRUE(Platform->TryWriteFile(Path, Text, false, true));
	const std::string LineEnd = DiskLineEnd();
	EXPECT_EQ(ReadFileBytes(ToPath(Path)),
		"first \xC3\xA9" + LineEnd + "second \xE4\xB8\xAD" + LineEnd + "\xF0\x9F\x98\x80\xED\xB0\x81");
	std::wstring Back;
	ASSERT_TRUE(Platform->TryWriteFile(Path, L"+more\n", true, false));
	ASSERT_TRUE(Platform->TryReadFile(Path, Back));
	EXPECT_EQ(Back, Text + L"+more\n");
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, WriteCategory, L"Successfully wrote file: '" + Path + L"'"));
}

TEST_F(FileOperations, FailedWritesReportTheStreamState)
{
	// Bytes: missing directories are not created.
	const std::wstring BytesPath = Directory.Wide(L"missing/out.bin");
	EXPECT_FALSE(Platform->TryWriteFile(BytesPath, std::vector<uint8_t>{1, 2, 3}));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, WriteCategory, L"Failed with: Bad=1, Fail=1, FileName:'" + BytesPath + L"'"));
	EXPECT_FALSE(std::filesystem::exists(Directory.Path() / "missing"));

	// Text with the log flag false stays silent, also on failure.
	WriteFileBytes(Directory.Path() / "blocker", "x");
	Capture.Clear();
	EXPECT_FALSE(Platform->TryWriteFile(Directory.Wide(L"blocker/out.txt"), L"x", false, false));
	EXPECT_TRUE(Capture.Entries().empty()) << Capture.Dump();

	// Opening a directory as a file fails after the directory check passed.
	std::filesystem::create_directory(Directory.Path() / "a-directory");
	EXPECT_FALSE(Platform->TryWriteFile(Directory.Wide(L"a-directory"), L"x", false, true));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, WriteCategory,
		L"Failed with: Bad=1, Fail=1, FileName:'" + Directory.Wide(L"a-directory") + L"'"));
}

TEST_F(FileOperations, CopyReplacesANewerTarget)
{
	const std::wstring Source = Directory.Wide(L"source.bin");
	const std::wstring Target = Directory.Wide(L"target.bin");
	WriteFileBytes(ToPath(Source), std::string("old\0data", 8));
	WriteFileBytes(ToPath(Target), "newer target");
	std::filesystem::last_write_time(ToPath(Target), std::filesystem::last_write_time(ToPath(Source)) + std::chrono::hours(1));
	EXPECT_TRUE(Platform->TryCopyFile(Source, Target));
	EXPECT_EQ(ReadFileBytes(ToPath(Target)), std::string("old\0data", 8));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"FGenericPlatform::TryCopyFile", L"Successfully copied file"));

	EXPECT_FALSE(Platform->TryCopyFile(Directory.Wide(L"absent.bin"), Target));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, L"FGenericPlatform::TryCopyFile", L"Failed to copy source to target"));
}

TEST_F(FileOperations, ExistenceExecutablePathAndFileIdentity)
{
	const std::wstring File = Directory.Wide(L"Launcher.exe");
	const std::wstring Other = Directory.Wide(L"Game.exe");
	WriteFileBytes(ToPath(File), "launcher");
	WriteFileBytes(ToPath(Other), "launcher");
	EXPECT_TRUE(Platform->PathExists(File) && Platform->FileExists(File));
	EXPECT_TRUE(Platform->PathExists(Directory.Wide()));
	EXPECT_FALSE(Platform->FileExists(Directory.Wide()));
	EXPECT_FALSE(Platform->PathExists(Directory.Wide(L"absent/deeper.txt")));
	EXPECT_FALSE(Platform->FileExists(Directory.Wide(L"absent.txt")));
	EXPECT_TRUE(Capture.Entries().empty()) << Capture.Dump();

	const std::wstring Self = Platform->GetExecutablePath();
	EXPECT_TRUE(ToPath(Self).is_absolute());
	EXPECT_NE(Self.find(L"platform_tests"), std::wstring::npos) << ToPath(Self);
	EXPECT_TRUE(Platform->FileExists(Self));

	// Equal content is not the same file; a hard link is.
	EXPECT_TRUE(Platform->IsSameFile(File, File));
	EXPECT_FALSE(Platform->IsSameFile(File, Other));
	EXPECT_FALSE(Platform->IsSameFile(File, Directory.Wide(L"absent.exe")));
	std::filesystem::create_hard_link(ToPath(File), Directory.Path() / "hard.exe");
	EXPECT_TRUE(Platform->IsSameFile(Directory.Wide(L"hard.exe"), File));
	std::error_code Error;
	std::filesystem::create_symlink(ToPath(File), Directory.Path() / "symbolic.exe", Error);
	if (!Error)
	{
		EXPECT_TRUE(Platform->IsSameFile(Directory.Wide(L"symbolic.exe"), File));
	}
	// Where names ignore letter case, another spelling is the same file.
	if (Platform->FileExists(Directory.Wide(L"LAUNCHER.EXE")))
	{
		EXPECT_TRUE(Platform->IsSameFile(Directory.Wide(L"LAUNCHER.EXE"), File));
	}
}

TEST_F(FileOperations, NamesWithoutAFileSystemFormFailCleanly)
{
	if constexpr (sizeof(wchar_t) == 2)
	{
		GTEST_SKIP() << "every UTF-16 name converts on Windows";
	}
	const std::wstring Bad = Directory.Wide(L"x") + wchar_t(0x110000);
	std::wstring Text = L"junk";
	EXPECT_FALSE(Platform->PathExists(Bad));
	EXPECT_FALSE(Platform->TryReadFile(Bad, Text));
	EXPECT_EQ(Text, L"");
	EXPECT_FALSE(Platform->TryWriteFile(Bad, L"x", false, true));
	EXPECT_FALSE(Platform->TryWriteFile(Bad, std::vector<uint8_t>{1}));
	EXPECT_FALSE(Platform->TryCopyFile(Bad, Bad));
}
