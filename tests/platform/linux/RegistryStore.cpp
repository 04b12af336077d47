// The configuration folders in the order the lookup reads them: the user's
// ($XDG_CONFIG_HOME), then those of $XDG_CONFIG_DIRS, whose relative entries do
// not count.
#include "tests/platform/PlatformTests.h"

namespace
{
	const char* const Folders[] = {"home-config", "xdg-first", "xdg-second"};

	std::filesystem::path ValueFile(const std::filesystem::path& Folder)
	{
		const std::filesystem::path Key = Folder / "SOFTWARE" / "Zorvan Games" / "KVT" / "UserHelper";
		std::filesystem::create_directories(Key);
		return Key / "Path";
	}
}

const size_t FRegistryStore::SourceCount = std::size(Folders);

FRegistryStore::FRegistryStore() : SubKey(L"SOFTWARE\\Zorvan Games\\KVT\\UserHelper")
{
	const std::filesystem::path& Root = Directory.Path();
	Scope = std::make_shared<std::pair<FScopedVariable, FScopedVariable>>(std::piecewise_construct,
		std::forward_as_tuple(L"XDG_CONFIG_HOME", ToWide(Root / Folders[0])),
		std::forward_as_tuple(L"XDG_CONFIG_DIRS", ToWide(Root / Folders[1]) + L":relative/ignored:" + ToWide(Root / Folders[2])));
}

FRegistryStore::~FRegistryStore() = default;

void FRegistryStore::Set(size_t Source, const std::wstring& Text)
{
	WriteFileBytes(ValueFile(Directory.Path() / Folders[Source]), EncodeUtf8Lossless(Text) + "\n");
}

TEST(LinuxRegistry, NamesCannotLeaveTheFoldersNonFilesAreAbsentAndHomeConfigStandsInForXdgConfigHome)
{
	FRegistryStore Store;
	FLogCapture Capture;
	std::wstring Value = L"unchanged";
	// A file that "..\" would reach if names were taken as paths.
	Store.Set(0, L"outside");
	EXPECT_FALSE(Store.Platform->TryGetValueFromRegistry(L"SOFTWARE\\Zorvan Games\\KVT\\UserHelper\\..", L"UserHelper/Path", Value));
	EXPECT_FALSE(Store.Platform->TryGetValueFromRegistry(L"SOFTWARE\\Zorvan Games\\KVT\\Other\\..\\UserHelper", L"Path", Value));
	EXPECT_EQ(Value, L"unchanged");
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 2u);

	const std::filesystem::path User = ValueFile(Store.Directory.Path() / Folders[0]);
	std::filesystem::remove(User);
	std::filesystem::create_directory(User);
	Store.Set(2, L"last");
	ASSERT_TRUE(Store.Lookup(Value));
	EXPECT_EQ(Value, L"last");

	const FScopedVariable NoConfigHome(L"XDG_CONFIG_HOME", std::nullopt);
	const FScopedVariable Home(L"HOME", Store.Directory.Wide());
	WriteFileBytes(ValueFile(Store.Directory.Path() / ".config"), "from home");
	ASSERT_TRUE(Store.Lookup(Value));
	EXPECT_EQ(Value, L"from home");
}
