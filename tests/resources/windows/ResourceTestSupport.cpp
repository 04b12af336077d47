#include "tests/resources/windows/ResourceTestSupport.h"

#include "platform/windows/WindowsHandles.h"

#include <imagehlp.h>

namespace
{
	std::wstring NameText(LPCWSTR Name)
	{
		return IS_INTRESOURCE(Name) ? L"#" + std::to_wstring(reinterpret_cast<uintptr_t>(Name)) : std::wstring(Name);
	}

	BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR Name, LONG_PTR Parameter)
	{
		reinterpret_cast<std::vector<std::wstring>*>(Parameter)->push_back(NameText(Name));
		return TRUE;
	}

	BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD Language, LONG_PTR Parameter)
	{
		reinterpret_cast<std::vector<uint16_t>*>(Parameter)->push_back(Language);
		return TRUE;
	}

	std::string ReadFound(HMODULE Module, HRSRC Resource)
	{
		if (Resource == nullptr)
		{
			return std::string();
		}
		HGLOBAL Loaded = ::LoadResource(Module, Resource);
		const void* Data = Loaded != nullptr ? ::LockResource(Loaded) : nullptr;
		return Data != nullptr ? std::string(static_cast<const char*>(Data), ::SizeofResource(Module, Resource)) : std::string();
	}
}

std::map<FResourceKey, std::string> ReadResourcesByLanguage(const std::wstring& Path, const std::vector<uint32_t>& Types)
{
	std::map<FResourceKey, std::string> Result;
	const FScopedModule Module(
		::LoadLibraryExW(Path.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE));
	if (!Module.IsValid())
	{
		return Result;
	}
	for (const uint32_t Type : Types)
	{
		std::vector<std::wstring> Names;
		::EnumResourceNamesW(Module.Get(), MAKEINTRESOURCEW(Type), &CollectName, reinterpret_cast<LONG_PTR>(&Names));
		for (const std::wstring& Name : Names)
		{
			std::vector<uint16_t> Languages;
			::EnumResourceLanguagesW(Module.Get(), MAKEINTRESOURCEW(Type), Name.c_str(), &CollectLanguage,
				reinterpret_cast<LONG_PTR>(&Languages));
			for (const uint16_t Language : Languages)
			{
				Result[FResourceKey(Type, Name, Language)] =
					ReadFound(Module.Get(), ::FindResourceExW(Module.Get(), MAKEINTRESOURCEW(Type), Name.c_str(), Language));
			}
		}
	}
	return Result;
}

std::string ReadDefaultResource(const std::wstring& Path, uint32_t Type, const std::wstring& Name)
{
	const FScopedModule Module(
		::LoadLibraryExW(Path.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE));
	return Module.IsValid() ? ReadFound(Module.Get(), ::FindResourceW(Module.Get(), Name.c_str(), MAKEINTRESOURCEW(Type)))
							: std::string();
}

int CountCertificates(const std::wstring& Path)
{
	const FScopedKernelHandle File(
		::CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
	DWORD Count = 0;
	if (!File.IsValid() || !::ImageEnumerateCertificates(File.Get(), CERT_SECTION_TYPE_ANY, &Count, nullptr, 0))
	{
		return -1;
	}
	return static_cast<int>(Count);
}

bool IsRunningUnderWine()
{
	const HMODULE Ntdll = ::GetModuleHandleW(L"ntdll.dll");
	return Ntdll != nullptr && ::GetProcAddress(Ntdll, "wine_get_version") != nullptr;
}
