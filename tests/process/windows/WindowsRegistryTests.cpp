// The registry lookup against the real (Wine) registry, written here with the
// registry's own calls in the views the lookup reads.
#include "platform/windows/WindowsHandles.h"
#include "platform/windows/WindowsPlatform.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace
{
	constexpr const wchar_t* Category = L"FWindowsPlatform::TryGetValueFromRegistry";
	constexpr const wchar_t* ValueName = L"Path";

	class WindowsRegistry : public ::testing::Test
	{
	protected:
		WindowsRegistry()
		{
			std::random_device Random;
			Leaf = FormatString(L"%08x%08x", Random(), Random());
			SubKey = L"Software\\KVTTests\\" + Leaf;
		}

		~WindowsRegistry() override
		{
			for (HKEY Root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
			{
				for (REGSAM View : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
				{
					HKEY Parent = nullptr;
					if (::RegOpenKeyExW(Root, L"Software\\KVTTests", 0, KEY_ALL_ACCESS | View, &Parent) == ERROR_SUCCESS)
					{
						const FScopedRegistryKey Owner(Parent);
						::RegDeleteTreeW(Owner.Get(), Leaf.c_str());
					}
				}
			}
		}

		void SetValue(HKEY Root, REGSAM View, DWORD Type, const void* Data, DWORD Size)
		{
			HKEY Created = nullptr;
			ASSERT_EQ(::RegCreateKeyExW(Root, SubKey.c_str(), 0, nullptr, 0, KEY_WRITE | View, nullptr, &Created, nullptr),
				ERROR_SUCCESS);
			const FScopedRegistryKey Key(Created);
			ASSERT_EQ(::RegSetValueExW(Key.Get(), ValueName, 0, Type, static_cast<const BYTE*>(Data), Size), ERROR_SUCCESS);
		}

		// With its terminating zero, as programs usually store it.
		void SetText(HKEY Root, REGSAM View, const std::wstring& Text)
		{
			SetValue(Root, View, REG_SZ, Text.c_str(), static_cast<DWORD>((Text.size() + 1) * sizeof(wchar_t)));
		}

		bool Lookup(std::wstring& OutValue) { return Platform.TryGetValueFromRegistry(SubKey, ValueName, OutValue); }

		FWindowsPlatform Platform;
		FLogCapture Capture;
		std::wstring Leaf;
		std::wstring SubKey;
	};
}

TEST_F(WindowsRegistry, ValueOnlyInTheMachine64BitViewIsFoundLast)
{
	SetText(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"C:\\Program Files\\KVT\\helper.exe");
	std::wstring Value;
	ASSERT_TRUE(Lookup(Value)) << Capture.Dump();
	EXPECT_EQ(Value, L"C:\\Program Files\\KVT\\helper.exe");
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, Category,
		L"Trying to get value from registry with SubKeyName '" + SubKey + L"' and ValueName 'Path'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, Category, L"Found value: 'C:\\Program Files\\KVT\\helper.exe'"));
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 0u) << Capture.Dump();
}

TEST_F(WindowsRegistry, UserShadowsMachineAndThe32BitViewComesFirst)
{
	SetText(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"machine64");
	SetText(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, L"machine32");
	std::wstring Value;
	ASSERT_TRUE(Lookup(Value));
	EXPECT_EQ(Value, L"machine32");

	SetText(HKEY_CURRENT_USER, KEY_WOW64_64KEY, L"user");
	ASSERT_TRUE(Lookup(Value));
	EXPECT_EQ(Value, L"user");
}

TEST_F(WindowsRegistry, EmptyAndNonStringValuesCountAsAbsent)
{
	SetText(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"machine");
	SetValue(HKEY_CURRENT_USER, KEY_WOW64_64KEY, REG_SZ, L"", 0);
	std::wstring Value;
	ASSERT_TRUE(Lookup(Value));
	EXPECT_EQ(Value, L"machine");

	const std::wstring Expandable = L"%ProgramFiles%\\x.exe";
	SetValue(HKEY_CURRENT_USER, KEY_WOW64_64KEY, REG_EXPAND_SZ, Expandable.c_str(),
		static_cast<DWORD>((Expandable.size() + 1) * sizeof(wchar_t)));
	ASSERT_TRUE(Lookup(Value));
	EXPECT_EQ(Value, L"machine");
}

TEST_F(WindowsRegistry, UnterminatedOddAndEmbeddedZeroValuesEndInsideTheBuffer)
{
	std::wstring Value;
	// No terminating zero.
	SetValue(HKEY_CURRENT_USER, KEY_WOW64_64KEY, REG_SZ, L"xyz", 6);
	ASSERT_TRUE(Lookup(Value));
	EXPECT_EQ(Value, L"xyz");

	// Five bytes: the half character becomes one with a zero high byte.
	const unsigned char Odd[] = {'a', 0, 'b', 0, 'c'};
	SetValue(HKEY_CURRENT_USER, KEY_WOW64_64KEY, REG_SZ, Odd, sizeof(Odd));
	ASSERT_TRUE(Lookup(Value));
	EXPECT_EQ(Value, L"abc");

	const wchar_t Embedded[] = L"ab\0cd";
	SetValue(HKEY_CURRENT_USER, KEY_WOW64_64KEY, REG_SZ, Embedded, sizeof(Embedded));
	ASSERT_TRUE(Lookup(Value));
	EXPECT_EQ(Value, L"ab");
}

TEST_F(WindowsRegistry, NothingFoundIsOneErrorAndKeepsTheOutput)
{
	std::wstring Value = L"unchanged";
	EXPECT_FALSE(Lookup(Value));
	EXPECT_EQ(Value, L"unchanged");
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, Category,
		L"Failed to get value from registry with SubKeyName '" + SubKey + L"' and ValueName 'Path'"));
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 1u);
}
