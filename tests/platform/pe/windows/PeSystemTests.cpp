#include "platform/pe/PeResourceEditor.h"
#include "platform/windows/WindowsHandles.h"
#include "tests/platform/pe/PeFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>

// What the editor writes, the system's loader finds: in a new last section
// behind the relocations, with string names looked up in any letter case
// (the loader upper-cases what it is asked for; names are stored upper-case).
TEST(PeSystem, TheLoaderFindsWhatTheEditorWrote)
{
	FPeResourceEditor Editor;
	const std::string Before = ReadFixture("sections64.dll");
	ASSERT_TRUE(Editor.TryLoad(reinterpret_cast<const uint8_t*>(Before.data()), Before.size()));
	const std::vector<std::pair<std::wstring, char>> Named = {{L"ZULU", 1}, {L"A_B", 2}, {L"MIKE", 3}, {L"AB", 4}, {L"ABC", 5}, {L"B", 6}};
	for (const auto& [Name, Byte] : Named)
	{
		Editor.SetResource(Data, FPeResourceId{0, Name}, 0x409, std::vector<uint8_t>(3, Byte));
	}
	Editor.SetResource(Data, FPeResourceId{900, L""}, 0x407, {9, 9});
	std::vector<uint8_t> Built;
	ASSERT_TRUE(Editor.TryBuild(Built));

	FTempDirectory Directory;
	WriteFileBytes(Directory.Path() / "edited.dll", Text(Built));
	const FScopedModule Module(::LoadLibraryExW(Directory.Wide(L"edited.dll").c_str(), nullptr,
		LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE));
	ASSERT_TRUE(Module.IsValid()) << ::GetLastError();
	const auto Found = [&Module](HRSRC Resource)
	{
		const void* Bytes = Resource != nullptr ? ::LockResource(::LoadResource(Module.Get(), Resource)) : nullptr;
		return Bytes != nullptr ? std::string(static_cast<const char*>(Bytes), ::SizeofResource(Module.Get(), Resource)) : "(none)";
	};
	for (const auto& [Name, Byte] : Named)
	{
		std::wstring Lower = Name;
		std::transform(Lower.begin(), Lower.end(), Lower.begin(), ::towlower);
		for (const std::wstring& Asked : {Name, Lower})
		{
			EXPECT_EQ(Found(::FindResourceW(Module.Get(), Asked.c_str(), MAKEINTRESOURCEW(10))), std::string(3, Byte))
				<< std::string(Asked.begin(), Asked.end());
		}
	}
	EXPECT_EQ(Found(::FindResourceExW(Module.Get(), MAKEINTRESOURCEW(10), MAKEINTRESOURCEW(900), 0x407)), "\x09\x09");
	// The icons the file had are still found where the new section put them.
	EXPECT_NE(::FindResourceW(Module.Get(), L"MAINICON", MAKEINTRESOURCEW(14)), nullptr);
}
