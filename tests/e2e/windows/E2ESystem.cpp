#include "tests/e2e/E2ESystem.h"

#include "platform/windows/WindowsHandles.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>

namespace
{
	const wchar_t* const UserHelperKey = L"SOFTWARE\\Zorvan Games\\KVT\\UserHelper";
}

std::wstring ExecutableSuffix()
{
	return L".exe";
}

std::wstring RouteLauncherLog(IPlatform& Platform, const std::wstring& Folder)
{
	EXPECT_TRUE(Platform.TrySetEnvironmentVariable(L"LOCALAPPDATA", Folder));
	return Folder + L"\\Zorvan Games\\Zorvan Online Services\\Bootstrapper\\Logs\\KVTBootstrapper.log";
}

FUserHelperRegistration::FUserHelperRegistration(IPlatform&, const std::wstring& ScratchFolder) : Folder(ScratchFolder)
{
	Clear();
}

FUserHelperRegistration::~FUserHelperRegistration()
{
	Clear();
}

void FUserHelperRegistration::Set(const std::wstring& Path)
{
	HKEY RawKey = nullptr;
	ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, UserHelperKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &RawKey, nullptr),
		ERROR_SUCCESS);
	const FScopedRegistryKey Key(RawKey);
	ASSERT_EQ(::RegSetValueExW(Key.Get(), L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(Path.c_str()),
				  static_cast<DWORD>((Path.size() + 1) * sizeof(wchar_t))),
		ERROR_SUCCESS);
}

void FUserHelperRegistration::Clear()
{
	for (const REGSAM View : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
	{
		::RegDeleteKeyExW(HKEY_CURRENT_USER, UserHelperKey, View, 0);
	}
}

std::vector<std::wstring> MakeOtherNamesOf(const std::wstring& Path)
{
	std::vector<std::wstring> Names;
	std::wstring Lower = Path;
	std::transform(Lower.begin(), Lower.end(), Lower.begin(), [](wchar_t Character) { return std::towlower(Character); });
	Names.push_back(Lower);

	// The 8.3 name, where the file system keeps one.
	wchar_t Short[MAX_PATH] = {};
	const DWORD Length = ::GetShortPathNameW(Path.c_str(), Short, MAX_PATH);
	if (Length > 0 && Length < MAX_PATH && Path != Short)
	{
		Names.emplace_back(Short, Length);
	}
	return Names;
}

bool ReportSaysInSessionGroup(const std::vector<std::wstring>& Report)
{
	return std::find(Report.begin(), Report.end(), L"injob=1") != Report.end();
}

bool ReportSaysOutsideSessionGroup(const std::vector<std::wstring>& Report)
{
	return std::find(Report.begin(), Report.end(), L"injob=0") != Report.end();
}

void MakeUnstartableProgram(const std::wstring& Path)
{
	// Text is no program: the start fails with the system's bad-format error.
	WriteFileBytes(ToPath(Path), "this is not a program\r\n");
}
