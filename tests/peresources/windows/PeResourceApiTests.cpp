#include "platform/PeResourceReader.h"
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
