#include "tests/support/TestBootstrapper.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace
{
	mode_t ModeOf(const fs::path& Path)
	{
		struct stat Status = {};
		EXPECT_EQ(::stat(Path.c_str(), &Status), 0) << Path;
		return Status.st_mode & 07777;
	}

	// The process's umask for one test, whatever the machine's.
	class FScopedUmask
	{
	public:
		explicit FScopedUmask(mode_t Mask) : Previous(::umask(Mask)) {}
		~FScopedUmask() { ::umask(Previous); }

	private:
		mode_t Previous;
	};
}

// Whole files are written anew and renamed into place, so the permission bits
// and links are what the new file is given, never what a temporary file had.
TEST(FileReplace, PermissionBitsLinksAndNothingLeftBeside)
{
	FTempDirectory Directory;
	const std::shared_ptr<IPlatform> Platform = MakeNativePlatform();
	const FScopedUmask Umask(027);

	// A configuration keeps the bits it had; a new one gets 0666 less the umask.
	WriteFileBytes(Directory.Path() / "kept.ini", "old");
	fs::permissions(Directory.Path() / "kept.ini", static_cast<fs::perms>(0604));
	ASSERT_TRUE(Platform->TryWriteFile(Directory.Wide(L"kept.ini"), L"new\n", false, true));
	EXPECT_EQ(ModeOf(Directory.Path() / "kept.ini"), 0604u);
	ASSERT_TRUE(Platform->TryWriteFile(Directory.Wide(L"new.ini"), L"new\n", false, true));
	EXPECT_EQ(ModeOf(Directory.Path() / "new.ini"), 0640u);

	// A launcher is runnable by all, whatever it replaced and the umask.
	WriteFileBytes(Directory.Path() / "launcher", "old");
	fs::permissions(Directory.Path() / "launcher", static_cast<fs::perms>(0600));
	ASSERT_TRUE(Platform->TryWriteFile(Directory.Wide(L"launcher"), std::vector<uint8_t>{'n', 'e', 'w'}));
	EXPECT_EQ(ModeOf(Directory.Path() / "launcher"), 0755u);
	EXPECT_EQ(ReadFileBytes(Directory.Path() / "launcher"), "new");

	// A link stays a link; the file it names (through a chain of two) gets the bytes.
	fs::create_directory(Directory.Path() / "real");
	WriteFileBytes(Directory.Path() / "real" / "Game.ini", "old");
	fs::create_symlink("real/Game.ini", Directory.Path() / "middle.ini");
	fs::create_symlink(Directory.Path() / "middle.ini", Directory.Path() / "link.ini");
	ASSERT_TRUE(Platform->TryWriteFile(Directory.Wide(L"link.ini"), L"through the link\n", false, true));
	EXPECT_TRUE(fs::is_symlink(Directory.Path() / "link.ini"));
	EXPECT_TRUE(fs::is_symlink(Directory.Path() / "middle.ini"));
	EXPECT_EQ(ReadFileBytes(Directory.Path() / "real" / "Game.ini"), "through the link\n");

	std::vector<std::string> Names;
	for (const fs::directory_entry& Entry : fs::directory_iterator(Directory.Path()))
	{
		Names.push_back(Entry.path().filename().string());
	}
	std::sort(Names.begin(), Names.end());
	EXPECT_EQ(Names, (std::vector<std::string>{"kept.ini", "launcher", "link.ini", "middle.ini", "new.ini", "real"}));
	EXPECT_EQ(std::distance(fs::directory_iterator(Directory.Path() / "real"), fs::directory_iterator()), 1);
}
