#pragma once

#include "platform/windows/WindowsHeaders.h"
#include "tests/support/TestFiles.h"

// Copies of the fixture KVT_TEST_PLANTED_DLL beside a program, named like
// system DLLs. Wine takes them from there only when told to prefer them, as
// Windows does outside its known-DLL list; a WINEDLLOVERRIDES set by a test
// does not reach the programs it starts, so Wine's registry says it for the
// program's file name, for the object's life.
class FPlantedDlls
{
public:
	FPlantedDlls(const std::filesystem::path& InFolder, const std::wstring& Program, std::initializer_list<std::wstring> InNames)
		: Folder(InFolder), Key(L"Software\\Wine\\AppDefaults\\" + Program), Names(InNames)
	{
		for (const std::wstring& Name : Names)
		{
			std::filesystem::copy_file(ToPath(KVT_TEST_PLANTED_DLL), Folder / (Name + L".dll"));
			EXPECT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, (Key + L"\\DllOverrides").c_str(), Name.c_str(), REG_SZ,
						  L"native,builtin", sizeof(L"native,builtin")), ERROR_SUCCESS);
		}
	}
	~FPlantedDlls() { ::RegDeleteTreeW(HKEY_CURRENT_USER, Key.c_str()); }

	// The names of those a process has loaded.
	std::wstring Loaded() const
	{
		std::wstring Result;
		for (const std::wstring& Name : Names)
		{
			Result += std::filesystem::exists(Folder / (Name + L".dll.loaded")) ? Name + L" " : L"";
		}
		return Result;
	}

private:
	std::filesystem::path Folder;
	std::wstring Key;
	std::vector<std::wstring> Names;
};
