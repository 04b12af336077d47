#include "tests/platform/resources/SystemResources.h"

#include "platform/windows/WindowsHandles.h"

#include <vector>

namespace
{
	std::wstring IdText(LPCWSTR Id)
	{
		return IS_INTRESOURCE(Id) ? std::to_wstring(reinterpret_cast<uintptr_t>(Id)) : std::wstring(Id);
	}

	LPCWSTR AsId(const std::wstring& Text)
	{
		return !Text.empty() && iswdigit(Text[0]) ? MAKEINTRESOURCEW(std::stoul(Text)) : Text.c_str();
	}
}

FResources ReadResources(const std::wstring& Path)
{
	FResources Result;
	const FScopedModule Module(::LoadLibraryExW(Path.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE));
	std::vector<std::wstring> Types;
	// The callbacks collect into the vector they are handed (x64 has one calling convention, so lambdas do).
	::EnumResourceTypesW(Module.Get(), [](HMODULE, LPWSTR Type, LONG_PTR Into)
		{ return reinterpret_cast<std::vector<std::wstring>*>(Into)->push_back(IdText(Type)), TRUE; }, reinterpret_cast<LONG_PTR>(&Types));
	for (const std::wstring& Type : Types)
	{
		std::vector<std::wstring> Names;
		::EnumResourceNamesW(Module.Get(), AsId(Type), [](HMODULE, LPCWSTR, LPWSTR Name, LONG_PTR Into)
			{ return reinterpret_cast<std::vector<std::wstring>*>(Into)->push_back(IdText(Name)), TRUE; }, reinterpret_cast<LONG_PTR>(&Names));
		for (const std::wstring& Name : Names)
		{
			std::vector<uint16_t> Languages;
			::EnumResourceLanguagesW(Module.Get(), AsId(Type), AsId(Name), [](HMODULE, LPCWSTR, LPCWSTR, WORD Language, LONG_PTR Into)
				{ return reinterpret_cast<std::vector<uint16_t>*>(Into)->push_back(Language), TRUE; }, reinterpret_cast<LONG_PTR>(&Languages));
			for (const uint16_t Language : Languages)
			{
				const HRSRC Found = ::FindResourceExW(Module.Get(), AsId(Type), AsId(Name), Language);
				const char* Bytes = static_cast<const char*>(::LockResource(::LoadResource(Module.Get(), Found)));
				Result[{Type, Name, Language}] = Bytes != nullptr ? std::string(Bytes, ::SizeofResource(Module.Get(), Found)) : "(unreadable)";
			}
		}
	}
	return Result;
}

bool UpdatesDeleteResources()
{
	const HMODULE Ntdll = ::GetModuleHandleW(L"ntdll.dll");
	return Ntdll == nullptr || ::GetProcAddress(Ntdll, "wine_get_version") == nullptr;
}
