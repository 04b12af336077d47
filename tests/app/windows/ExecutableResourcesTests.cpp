#include "BuildConfig.h"
#include "platform/windows/WindowsHandles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The shipped launcher must carry its manifest (Windows 10 support declared,
// asInvoker) and a version resource whose product version is the version tag.
TEST(LauncherExecutable, CarriesItsManifestAndVersionResource)
{
	const std::wstring Path = KVT_TEST_LAUNCHER_PATH;
	const FScopedModule Module(::LoadLibraryExW(Path.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE));
	ASSERT_TRUE(Module.IsValid()) << ::GetLastError();
	const HRSRC Resource = ::FindResourceW(Module.Get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
	ASSERT_NE(Resource, nullptr);
	const std::string Manifest(static_cast<const char*>(::LockResource(::LoadResource(Module.Get(), Resource))),
		::SizeofResource(Module.Get(), Resource));
	EXPECT_NE(Manifest.find("level=\"asInvoker\""), std::string::npos) << Manifest;
	// Without the Windows 10 id the system reports an older version and may apply compatibility shims.
	EXPECT_NE(Manifest.find("8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"), std::string::npos) << Manifest;

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
