// The registry's roots and views in the order the lookup reads them, written
// with the registry's own calls; and what only the registry's data types show.
#include "platform/windows/WindowsHandles.h"
#include "tests/platform/PlatformTests.h"

#include <random>

namespace
{
	const std::pair<HKEY, REGSAM> Sources[] = {{HKEY_CURRENT_USER, KEY_WOW64_32KEY}, {HKEY_CURRENT_USER, KEY_WOW64_64KEY},
		{HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY}, {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY}};

	std::wstring UniqueLeaf()
	{
		std::random_device Random;
		return FormatString(L"%08x%08x", Random(), Random());
	}

	void SetValue(const FRegistryStore& Store, size_t Source, DWORD Type, const void* Data, DWORD Size)
	{
		HKEY Created = nullptr;
		ASSERT_EQ(::RegCreateKeyExW(Sources[Source].first, Store.SubKey.c_str(), 0, nullptr, 0, KEY_WRITE | Sources[Source].second,
					  nullptr, &Created, nullptr), ERROR_SUCCESS);
		const FScopedRegistryKey Key(Created);
		ASSERT_EQ(::RegSetValueExW(Key.Get(), Store.ValueName.c_str(), 0, Type, static_cast<const BYTE*>(Data), Size), ERROR_SUCCESS);
	}
}

FRegistryStore::FRegistryStore() : SubKey(L"Software\\KVTTests\\" + UniqueLeaf())
{
}

FRegistryStore::~FRegistryStore()
{
	for (const auto& [Root, View] : Sources)
	{
		HKEY Parent = nullptr;
		if (::RegOpenKeyExW(Root, L"Software\\KVTTests", 0, KEY_ALL_ACCESS | View, &Parent) == ERROR_SUCCESS)
		{
			const FScopedRegistryKey Owner(Parent);
			::RegDeleteTreeW(Owner.Get(), SubKey.substr(SubKey.rfind(L'\\') + 1).c_str());
		}
	}
}

size_t FRegistryStore::SourceCount() const
{
	return std::size(Sources);
}

void FRegistryStore::Set(size_t Source, const std::wstring& Text)
{
	// As installers write it: the text and its terminating zero, two bytes for empty text.
	SetValue(*this, Source, REG_SZ, Text.c_str(), static_cast<DWORD>((Text.size() + 1) * sizeof(wchar_t)));
}

TEST(WindowsRegistry, OnlyStringDataCountsAndItEndsInsideTheBuffer)
{
	FRegistryStore Store;
	Store.Set(3, L"machine");
	std::wstring Value;
	const std::wstring Expandable = L"%ProgramFiles%\\x.exe";
	SetValue(Store, 0, REG_EXPAND_SZ, Expandable.c_str(), static_cast<DWORD>((Expandable.size() + 1) * sizeof(wchar_t)));
	ASSERT_TRUE(Store.Lookup(Value));
	EXPECT_EQ(Value, L"machine");

	// No terminating zero; then five bytes, whose half character becomes one with a zero high byte.
	SetValue(Store, 0, REG_SZ, L"xyz", 6);
	ASSERT_TRUE(Store.Lookup(Value));
	EXPECT_EQ(Value, L"xyz");
	const unsigned char Odd[] = {'a', 0, 'b', 0, 'c'};
	SetValue(Store, 0, REG_SZ, Odd, sizeof(Odd));
	ASSERT_TRUE(Store.Lookup(Value));
	EXPECT_EQ(Value, L"abc");
}
