// The registry-like lookup in the XDG configuration folders.
#include "platform/linux/LinuxPlatform.h"
#include "tests/support/LogCapture.h"
#include "tests/support/ScopedVariable.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

namespace
{
	constexpr const wchar_t* Category = L"FLinuxPlatform::TryGetValueFromRegistry";
	constexpr const wchar_t* SubKey = L"SOFTWARE\\Zorvan Games\\KVT\\UserHelper";

	class LinuxRegistry : public ::testing::Test
	{
	protected:
		// <folder>/SOFTWARE/Zorvan Games/KVT/UserHelper/Path
		void WriteValue(const std::filesystem::path& Folder, const std::string& Content)
		{
			const std::filesystem::path Key = Folder / "SOFTWARE" / "Zorvan Games" / "KVT" / "UserHelper";
			std::filesystem::create_directories(Key);
			WriteFileBytes(Key / "Path", Content);
		}

		bool Lookup(std::wstring& OutValue) { return Platform.TryGetValueFromRegistry(SubKey, L"Path", OutValue); }

		FTempDirectory Directory;
		std::filesystem::path User = Directory.Path() / "home-config";
		std::filesystem::path First = Directory.Path() / "xdg-first";
		std::filesystem::path Second = Directory.Path() / "xdg-second";
		FScopedVariable ConfigHome{L"XDG_CONFIG_HOME", ToWide(User)};
		FScopedVariable ConfigDirs{L"XDG_CONFIG_DIRS", ToWide(First) + L":relative/ignored:" + ToWide(Second)};
		FLinuxPlatform Platform;
		FLogCapture Capture;
	};
}

TEST_F(LinuxRegistry, ValueOnlyInTheLastFolderIsFound)
{
	WriteValue(Second, "/opt/kvt/user-helper\n");
	std::wstring Value;
	ASSERT_TRUE(Lookup(Value)) << Capture.Dump();
	EXPECT_EQ(Value, L"/opt/kvt/user-helper");
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, Category,
		L"Trying to get value from registry with SubKeyName 'SOFTWARE\\Zorvan Games\\KVT\\UserHelper' and ValueName 'Path'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, Category, L"Found value: '/opt/kvt/user-helper'"));
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 0u);
}

TEST_F(LinuxRegistry, UserShadowsSystemFoldersWhichGoInOrder)
{
	WriteValue(Second, "second");
	WriteValue(First, "first");
	std::wstring Value;
	ASSERT_TRUE(Lookup(Value));
	EXPECT_EQ(Value, L"first");

	WriteValue(User, "user");
	ASSERT_TRUE(Lookup(Value));
	EXPECT_EQ(Value, L"user");
}

TEST_F(LinuxRegistry, EmptyNonTextAndNonFileValuesCountAsAbsent)
{
	WriteValue(Second, "second");
	std::wstring Value;
	for (const std::string& Absent : {std::string(), std::string("\n"), std::string("\xFF\xFE")})
	{
		WriteValue(User, Absent);
		ASSERT_TRUE(Lookup(Value));
		EXPECT_EQ(Value, L"second");
	}
	std::filesystem::remove(First / "SOFTWARE" / "Zorvan Games" / "KVT" / "UserHelper" / "Path");
	std::filesystem::create_directories(First / "SOFTWARE" / "Zorvan Games" / "KVT" / "UserHelper" / "Path");
	ASSERT_TRUE(Lookup(Value));
	EXPECT_EQ(Value, L"second");
}

TEST_F(LinuxRegistry, OneTrailingNewlineGoesAndAZeroByteEndsTheText)
{
	std::wstring Value;
	WriteValue(User, "two lines\n\n");
	ASSERT_TRUE(Lookup(Value));
	EXPECT_EQ(Value, L"two lines\n");

	WriteValue(User, std::string("ab\0cd", 5));
	ASSERT_TRUE(Lookup(Value));
	EXPECT_EQ(Value, L"ab");

	WriteValue(User, "\xC3\xBC" "ber");
	ASSERT_TRUE(Lookup(Value));
	EXPECT_EQ(Value, L"\u00FCber");
}

TEST_F(LinuxRegistry, WithoutXdgVariablesTheHomeConfigFolderIsUsed)
{
	const FScopedVariable NoConfigHome(L"XDG_CONFIG_HOME", std::nullopt);
	const FScopedVariable Home(L"HOME", ToWide(Directory.Path()));
	WriteValue(Directory.Path() / ".config", "from home");
	std::wstring Value;
	ASSERT_TRUE(Lookup(Value));
	EXPECT_EQ(Value, L"from home");
}

TEST_F(LinuxRegistry, NothingFoundIsOneErrorAndNamesCannotLeaveTheFolder)
{
	// A file that "..\" would reach if names were taken as paths.
	WriteValue(User, "outside");
	std::wstring Value = L"unchanged";
	EXPECT_FALSE(Platform.TryGetValueFromRegistry(L"SOFTWARE\\Zorvan Games\\KVT\\UserHelper\\..", L"UserHelper/Path", Value));
	EXPECT_FALSE(Platform.TryGetValueFromRegistry(L"SOFTWARE\\Zorvan Games\\KVT\\Other\\..\\UserHelper", L"Path", Value));
	EXPECT_FALSE(Platform.TryGetValueFromRegistry(SubKey, L"Missing", Value));
	EXPECT_EQ(Value, L"unchanged");
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, Category,
		L"Failed to get value from registry with SubKeyName 'SOFTWARE\\Zorvan Games\\KVT\\UserHelper' and ValueName 'Missing'"));
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 3u);
}
