#include "BuildConfig.h"
#include "platform/windows/WindowsHandles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The shipped launcher must carry its manifest (Windows 10 support declared,
// asInvoker) and a version resource whose product version is the version tag.
namespace
{
	std::string LoadManifest(HMODULE Module)
	{
		HRSRC Resource = ::FindResourceW(Module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
		if (Resource == nullptr)
		{
			return std::string();
		}
		HGLOBAL Loaded = ::LoadResource(Module, Resource);
		const void* Data = Loaded != nullptr ? ::LockResource(Loaded) : nullptr;
		return Data != nullptr ? std::string(static_cast<const char*>(Data), ::SizeofResource(Module, Resource)) : std::string();
	}
}

TEST(LauncherExecutable, CarriesItsManifestAndVersionResource)
{
	const std::wstring Path = KVT_TEST_LAUNCHER_PATH;
	{
		FScopedModule Module(::LoadLibraryExW(Path.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE));
		ASSERT_TRUE(Module.IsValid()) << ::GetLastError();
		const std::string Manifest = LoadManifest(Module.Get());
		EXPECT_NE(Manifest.find("level=\"asInvoker\""), std::string::npos) << Manifest;
		for (const char* Id : {"e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
				 "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
				 "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
		{
			EXPECT_NE(Manifest.find(Id), std::string::npos) << Id;
		}
	}

	DWORD Ignored = 0;
	const DWORD Size = ::GetFileVersionInfoSizeW(Path.c_str(), &Ignored);
	ASSERT_GT(Size, 0u);
	std::vector<unsigned char> Block(Size);
	ASSERT_TRUE(::GetFileVersionInfoW(Path.c_str(), 0, Size, Block.data()));
	wchar_t* Value = nullptr;
	UINT Length = 0;
	ASSERT_TRUE(::VerQueryValueW(Block.data(), L"\\StringFileInfo\\040904b0\\ProductVersion",
		reinterpret_cast<void**>(&Value), &Length));
	EXPECT_EQ(std::wstring(Value), std::wstring(KVT_VERSION_TAG));
}
