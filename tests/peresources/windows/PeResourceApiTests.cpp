#include "platform/pe/PeResourceEditor.h"
#include "platform/pe/PeResourceReader.h"
#include "tests/support/TestFiles.h"
#include "tests/peresources/PeTestImages.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

namespace
{
	// The system's own lookups want an integer resource or a string.
	LPCWSTR AsResourceName(const FPeResourceId& Id)
	{
		return Id.IsNamed() ? Id.Name.c_str() : MAKEINTRESOURCEW(Id.Id);
	}

	std::wstring Path(const std::string& Name)
	{
		const std::string Narrow = std::string(KVT_TEST_PE_FIXTURE_DIR) + "/" + Name;
		return std::wstring(Narrow.begin(), Narrow.end());
	}
}

// The bytes the reader finds for every type, name and language are the ones
// the system's loader hands out, which checks the mapping from the data's
// address to the file that wrestool's listing does not show.
TEST(peresources_windows, EveryLanguageHoldsTheBytesTheSystemFinds)
{
	for (const char* Name : {"sample64.dll", "sample32.dll", "target64.dll", "named64.dll", "signed64.dll"})
	{
		SCOPED_TRACE(Name);
		const std::string File = ReadFixture(Name);
		FPeImage Image;
		ASSERT_TRUE(ParseExact(File, Image));
		ASSERT_FALSE(Image.Resources.empty());
		const HMODULE Module = LoadLibraryExW(Path(Name).c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE);
		ASSERT_NE(Module, nullptr) << GetLastError();
		for (const FPeResource& Resource : Image.Resources)
		{
			for (const FPeResourceLanguage& Language : Resource.Languages)
			{
				const HRSRC Found = FindResourceExW(Module, AsResourceName(Resource.Type), AsResourceName(Resource.Name), Language.Language);
				ASSERT_NE(Found, nullptr);
				ASSERT_EQ(SizeofResource(Module, Found), Language.Size);
				const void* Data = LockResource(LoadResource(Module, Found));
				ASSERT_NE(Data, nullptr);
				EXPECT_EQ(std::memcmp(Data, File.data() + Language.FileOffset, Language.Size), 0)
					<< "language " << Language.Language << " at " << Language.FileOffset;
			}
		}
		FreeLibrary(Module);
	}
}

// What the editor writes, the system's loader finds: in a new last section
// behind the relocations, with string names looked up in any letter case
// (the loader upper-cases what it is asked for; names are stored upper-case).
TEST(peresources_windows, TheLoaderFindsWhatTheEditorWrote)
{
	const std::string Before = ReadFixture("sections64.dll");
	FPeResourceEditor Editor;
	ASSERT_TRUE(Editor.TryLoad(reinterpret_cast<const uint8_t*>(Before.data()), Before.size()));
	const FPeResourceId Data{10, L""};
	const std::vector<std::pair<std::wstring, uint8_t>> Named = {{L"ZULU", 1}, {L"A_B", 2}, {L"MIKE", 3}, {L"AB", 4}, {L"ABC", 5}, {L"B", 6}};
	for (const auto& [Name, Byte] : Named)
	{
		Editor.SetResource(Data, FPeResourceId{0, Name}, 0x409, std::vector<uint8_t>(3, Byte));
	}
	Editor.SetResource(Data, FPeResourceId{900, L""}, 0x407, {9, 9});
	std::vector<uint8_t> Built;
	ASSERT_TRUE(Editor.TryBuild(Built));

	FTempDirectory Directory;
	WriteFileBytes(Directory.Path() / "edited.dll", std::string(Built.begin(), Built.end()));
	const HMODULE Module = LoadLibraryExW(Directory.Wide(L"edited.dll").c_str(), nullptr,
		LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE);
	ASSERT_NE(Module, nullptr) << GetLastError();
	for (const auto& [Name, Byte] : Named)
	{
		std::wstring Lower = Name;
		for (wchar_t& Character : Lower)
		{
			Character = static_cast<wchar_t>(towlower(Character));
		}
		for (const std::wstring& Asked : {Name, Lower})
		{
			const HRSRC Found = FindResourceW(Module, Asked.c_str(), MAKEINTRESOURCEW(10));
			ASSERT_NE(Found, nullptr) << "name " << std::string(Asked.begin(), Asked.end());
			ASSERT_EQ(SizeofResource(Module, Found), 3u);
			const uint8_t* Bytes = static_cast<const uint8_t*>(LockResource(LoadResource(Module, Found)));
			ASSERT_NE(Bytes, nullptr);
			EXPECT_EQ(Bytes[0], Byte);
		}
	}
	const HRSRC Numbered = FindResourceExW(Module, MAKEINTRESOURCEW(10), MAKEINTRESOURCEW(900), 0x407);
	ASSERT_NE(Numbered, nullptr);
	EXPECT_EQ(SizeofResource(Module, Numbered), 2u);
	// The icons the file had are still found where the new section put them.
	EXPECT_NE(FindResourceW(Module, L"MAINICON", MAKEINTRESOURCEW(14)), nullptr);
	FreeLibrary(Module);
}
