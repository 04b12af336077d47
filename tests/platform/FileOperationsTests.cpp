// The file services of the real platform.
#include "tests/platform/PlatformTests.h"

#include <filesystem>

#if KVT_TEST_ON_WINDOWS
#include "platform/windows/WindowsHandles.h"
#endif

using FileOperations = FNativePlatformTest;
constexpr const wchar_t* ReadCategory = L"FGenericPlatform::TryReadFile";
constexpr const wchar_t* WriteCategory = L"FGenericPlatform::TryWriteFile";

TEST_F(FileOperations, CreatePathDirectoriesCreatesOnlyTheParentsAndSaysWhatItDid)
{
	WriteFileBytes(Directory.Path() / "blocker", "x");
	const std::wstring Existing = Directory.Wide(L"file.txt"), Nested = Directory.Wide(L"a/b/c/file.txt");
	const std::wstring Blocked = Directory.Wide(L"blocker/sub/file.txt");
	const std::tuple<std::wstring, bool, ELogLevel, std::wstring> Cases[] = {
		{L"settings.cfg", true, ELogLevel::Verbose,
			L"No action needed as the input path describes the file itself without directory tree: 'settings.cfg'"},
		{Existing, true, ELogLevel::Verbose, L"No action needed as directories already exist: '" + Existing + L"'"},
		{Nested, true, ELogLevel::Verbose, L"Successfully created directories: '" + Nested + L"'"},
		// Below a file nothing can be created.
		{Blocked, false, ELogLevel::Error, L"Failed to create directories for path: '" + Blocked + L"'"},
	};
	for (const auto& [Path, bCreated, Level, Message] : Cases)
	{
		EXPECT_EQ(Platform->TryCreatePathDirectories(Path, true), bCreated) << ToPath(Path);
		EXPECT_TRUE(Capture.Has(Level, L"FGenericPlatform::TryCreatePathDirectories", Message)) << Capture.Dump();
	}
	EXPECT_FALSE(std::filesystem::exists("settings.cfg"));
	EXPECT_TRUE(std::filesystem::is_directory(Directory.Path() / "a" / "b" / "c"));
	EXPECT_FALSE(std::filesystem::exists(Directory.Path() / "a" / "b" / "c" / "file.txt"));
	// The failure is logged only when asked.
	Capture.Clear();
	EXPECT_FALSE(Platform->TryCreatePathDirectories(Blocked, false));
	EXPECT_TRUE(Capture.Entries().empty()) << Capture.Dump();
}

TEST_F(FileOperations, ReadFileDecodesUtf8AndOnlyCrLfLineEndsOrFailsLeavingNoText)
{
	// On every system: a file saved on Windows may be shipped with any build.
	// The byte order mark stays.
	const std::wstring Path = Directory.Wide(L"in.txt");
	WriteFileBytes(ToPath(Path), "\xEF\xBB\xBF" "a\r\nb\nc\rd\r\n\r");
	std::wstring Text;
	EXPECT_TRUE(Platform->TryReadFile(Path, Text));
	EXPECT_EQ(Text, L"\uFEFFa\nb\nc\rd\n\r");
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, ReadCategory, L"Successfully read file: '" + Path + L"'"));

	WriteFileBytes(Directory.Path() / "bad.txt", "line one\nli\xC3\x28ne");
	// A file that exists and cannot be opened: one held without sharing on
	// Windows; on Linux a write-only kernel setting, which keeps even root out.
	const std::wstring Locked = bWindows ? Directory.Wide(L"locked.txt") : L"/proc/sys/vm/drop_caches";
#if KVT_TEST_ON_WINDOWS
	WriteFileBytes(ToPath(Locked), "locked");
	const FScopedKernelHandle Holder(::CreateFileW(Locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
#endif
	const std::pair<std::wstring, std::wstring> Failures[] = {
		{Directory.Wide(), L"Failed because path is not an existing file: '"},
		{Directory.Wide(L"bad.txt"), L"Failed because of an invalid UTF-8 sequence at byte offset 11: '"},
		{Locked, L"Failed to open file for reading: '"},
	};
	for (const auto& [Failing, Message] : Failures)
	{
		Text = L"junk";
		EXPECT_FALSE(Platform->TryReadFile(Failing, Text));
		EXPECT_EQ(Text, L"");
		EXPECT_TRUE(Capture.Has(ELogLevel::Error, ReadCategory, Message + Failing + L"'")) << Capture.Dump();
	}
}

TEST_F(FileOperations, WrittenTextGetsTheSystemsLineEndsAndAppendsAndFailedWritesReportTheStreamState)
{
	const std::wstring Path = Directory.Wide(L"new/folder/out.txt");
	// U+1F600 is a pair of units on Windows, one on Linux; lone surrogates, before
	// another character or after a pair, keep a 3-byte form of their own.
	const std::wstring Text = std::wstring(L"first \u00E9\n") + wchar_t(0xD800) + L"x\n\U0001F600" + wchar_t(0xDC01);
	ASSERT_TRUE(Platform->TryWriteFile(Path, Text, false, true));
	EXPECT_EQ(ReadFileBytes(ToPath(Path)),
		"first \xC3\xA9" + DiskLineEnd() + "\xED\xA0\x80x" + DiskLineEnd() + "\xF0\x9F\x98\x80\xED\xB0\x81");
	std::wstring Back;
	ASSERT_TRUE(Platform->TryWriteFile(Path, L"+more\n", true, false));
	ASSERT_TRUE(Platform->TryReadFile(Path, Back));
	EXPECT_EQ(Back, Text + L"+more\n");
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, WriteCategory, L"Successfully wrote file: '" + Path + L"'"));

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
	EXPECT_FALSE(Platform->TryWriteFile(Directory.Wide(), L"x", false, true));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, WriteCategory, L"Failed with: Bad=1, Fail=1, FileName:'" + Directory.Wide() + L"'"));
}

TEST_F(FileOperations, ExistenceFileIdentityAndCopiesOverANewerTarget)
{
	const std::wstring File = Directory.Wide(L"Launcher.exe"), Other = Directory.Wide(L"Game.exe");
	WriteFileBytes(ToPath(File), "launcher");
	WriteFileBytes(ToPath(Other), "launcher");
	EXPECT_TRUE(Platform->PathExists(File) && Platform->FileExists(File));
	EXPECT_TRUE(Platform->PathExists(Directory.Wide()) && !Platform->FileExists(Directory.Wide()));
	EXPECT_FALSE(Platform->PathExists(Directory.Wide(L"absent/deeper.txt")) || Platform->FileExists(Directory.Wide(L"absent.txt")));
	// A zero cuts a name where the system reads it. Windows checks and starts a program by
	// the text before it alike; a Linux start refuses such a name, and so does the check.
	const std::wstring Cut(L"\0x", 2);
	EXPECT_FALSE(!bWindows && (Platform->FileExists(File + Cut) || Platform->PathExists(Directory.Wide() + Cut)));
	EXPECT_TRUE(Capture.Entries().empty()) << Capture.Dump();

	// Equal content is not the same file; a hard link is.
	EXPECT_TRUE(Platform->IsSameFile(File, File));
	EXPECT_FALSE(Platform->IsSameFile(File, Other));
	EXPECT_FALSE(Platform->IsSameFile(File, Directory.Wide(L"absent.exe")));
	std::filesystem::create_hard_link(ToPath(File), Directory.Path() / "hard.exe");
	EXPECT_TRUE(Platform->IsSameFile(Directory.Wide(L"hard.exe"), File));

	const std::wstring Source = Directory.Wide(L"source.bin"), Target = Directory.Wide(L"target.bin");
	WriteFileBytes(ToPath(Source), std::string("old\0data", 8));
	WriteFileBytes(ToPath(Target), "newer target");
	std::filesystem::last_write_time(ToPath(Target), std::filesystem::last_write_time(ToPath(Source)) + std::chrono::hours(1));
	EXPECT_TRUE(Platform->TryCopyFile(Source, Target));
	EXPECT_EQ(ReadFileBytes(ToPath(Target)), std::string("old\0data", 8));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"FGenericPlatform::TryCopyFile", L"Successfully copied file"));

	EXPECT_FALSE(Platform->TryCopyFile(Directory.Wide(L"absent.bin"), Target));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, L"FGenericPlatform::TryCopyFile", L"Failed to copy source to target"));
}
