// The registry's roots and views in the order the lookup reads them, written
// with the registry's own calls; and what only the registry's data types show.
#include "platform/windows/WindowsHandles.h"
#include "tests/platform/PlatformTests.h"

#include <random>

namespace
{
	const std::pair<HKEY, REGSAM> Sources[] = {{HKEY_CURRENT_USER, KEY_WOW64_32KEY}, {HKEY_CURRENT_USER, KEY_WOW64_64KEY},
		{HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY}, {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY}};
	const wchar_t* const Parent = L"Software\\KVTTests";

	void SetValue(const FRegistryStore& Store, size_t Source, DWORD Type, const void* Data, size_t Size)
	{
		HKEY Created = nullptr;
		ASSERT_EQ(::RegCreateKeyExW(Sources[Source].first, Store.SubKey.c_str(), 0, nullptr, 0, KEY_WRITE | Sources[Source].second,
					  nullptr, &Created, nullptr), ERROR_SUCCESS);
		const FScopedRegistryKey Key(Created);
		ASSERT_EQ(::RegSetValueExW(Key.Get(), Store.ValueName.c_str(), 0, Type, static_cast<const BYTE*>(Data), static_cast<DWORD>(Size)),
			ERROR_SUCCESS);
	}
}

const size_t FRegistryStore::SourceCount = std::size(Sources);

FRegistryStore::FRegistryStore() : SubKey(FormatString(L"%s\\%08x", Parent, std::random_device()()))
{
}

FRegistryStore::~FRegistryStore()
{
	for (const auto& [Root, View] : Sources)
	{
		HKEY Opened = nullptr;
		if (::RegOpenKeyExW(Root, Parent, 0, KEY_ALL_ACCESS | View, &Opened) == ERROR_SUCCESS)
		{
			const FScopedRegistryKey Owner(Opened);
			::RegDeleteTreeW(Owner.Get(), SubKey.substr(SubKey.rfind(L'\\') + 1).c_str());
		}
	}
}

void FRegistryStore::Set(size_t Source, const std::wstring& Text)
{
	// As installers write it: the text and its terminating zero, two bytes for empty text.
	SetValue(*this, Source, REG_SZ, Text.c_str(), (Text.size() + 1) * sizeof(wchar_t));
}

TEST(WindowsRegistry, OnlyNonEmptyStringDataCountsAndItEndsAtAZeroOrTheBuffersEnd)
{
	FRegistryStore Store;
	Store.Set(3, L"machine");
	std::wstring Value;
	SetValue(Store, 0, REG_EXPAND_SZ, L"%ProgramFiles%\\x.exe", 42);
	Store.Set(1, L"");
	ASSERT_TRUE(Store.Lookup(Value));
	EXPECT_EQ(Value, L"machine");
	Store.Set(0, std::wstring(L"ab\0cd", 5));
	ASSERT_TRUE(Store.Lookup(Value));
	EXPECT_EQ(Value, L"ab");

	// No terminating zero; then five bytes, whose half character becomes one with a zero high byte.
	SetValue(Store, 0, REG_SZ, L"xyz", 6);
	ASSERT_TRUE(Store.Lookup(Value));
	EXPECT_EQ(Value, L"xyz");
	SetValue(Store, 0, REG_SZ, "a\0b\0c", 5);
	ASSERT_TRUE(Store.Lookup(Value));
	EXPECT_EQ(Value, L"abc");
}
