#include "platform/windows/WindowsPlatform.h"

#include "app/Log.h"
#include "platform/PathRules.h"
#include "platform/ResourceCopy.h"
#include "platform/SystemErrorLog.h"
#include "platform/pe/PeResourceEditor.h"
#include "platform/windows/WindowsHandles.h"
#include "platform/windows/WindowsMappedFile.h"

#include <imagehlp.h>

#include <new>

namespace
{
	constexpr const wchar_t* CopyCategory = L"FWindowsPlatform::TryCopyExecutableResources";
	constexpr const wchar_t* GetCategory = L"FWindowsPlatform::TryGetResources";
	constexpr const wchar_t* NamesCategory = L"FWindowsPlatform::EnumResourceNamesCallback";
	constexpr const wchar_t* RemoveCategory = L"FWindowsPlatform::TryRemoveResources";
	constexpr const wchar_t* AddCategory = L"FWindowsPlatform::TryAddResources";
	constexpr const wchar_t* SignaturesCategory = L"FWindowsPlatform::TryRemoveAuthenticodeSignatures";

	// The system hands over a type or a name either as a small integer in the
	// pointer (below 0x10000) or as a pointer to its text.
	void ReadResourceId(LPCWSTR Value, uintptr_t& OutId, std::wstring& OutName)
	{
		if (IS_INTRESOURCE(Value))
		{
			OutId = reinterpret_cast<uintptr_t>(Value);
			OutName.clear();
		}
		else
		{
			OutId = 0;
			OutName = Value;
		}
	}

	LPCWSTR ToResourceId(uintptr_t Id, const std::wstring& Name)
	{
		return Name.empty() ? MAKEINTRESOURCEW(Id) : Name.c_str();
	}

	bool IsSameResourceId(uintptr_t Id, const std::wstring& Name, LPCWSTR Value)
	{
		if (IS_INTRESOURCE(Value))
		{
			return Name.empty() && Id == reinterpret_cast<uintptr_t>(Value);
		}
		return !Name.empty() && Name == Value;
	}

	// What the enumeration callbacks fill in. bFailed when one of them threw:
	// the resources are then not handed out with one left out, as a launcher
	// without the game's icon would still count as configured.
	struct FResourceEnumeration
	{
		std::vector<FResourceRecord> Records;
		bool bFailed = false;
	};

	// The system's resource update keeps the checksum the file had before it,
	// which signing tools then report as invalid; the Linux tool's editor
	// writes the new one, and so does this after each update. In place: the
	// update has just rewritten the file where it lies.
	bool TryRefreshFileCheckSum(const std::wstring& Path, const wchar_t* Category)
	{
		FMappedFile Mapped;
		return TryMapExecutableFile(Path, true, Category, Mapped) &&
			FPeResourceEditor::TryRefreshCheckSum(Mapped.Bytes(), Mapped.Size);
	}

	// One update of the file's resources, committed only when every single
	// change went in: a half-applied update would leave icons without their
	// group or a group pointing at icons that are gone.
	bool TryUpdateResources(const std::wstring& Path, const std::vector<FResourceRecord>& Records, bool bAdd,
		const wchar_t* Category, const FResourceUpdateTexts& Texts)
	{
		return GuardOperation(Category, false, [&]
		{
			Log(ELogLevel::Verbose, Category, Texts.Trying, Path);
			FScopedResourceUpdate Update(::BeginUpdateResourceW(Path.c_str(), FALSE));
			if (!Update.IsValid())
			{
				LogErrorWithLastErrorMessage(Texts.BeginFailure);
				return false;
			}
			for (const FResourceRecord& Record : Records)
			{
				Log(ELogLevel::Verbose, Category, Texts.PerRecord, FWindowsPlatform::DescribeResource(Record));
				for (const uint16_t Language : Record.Languages)
				{
					// Every language gets the same bytes: those of the default language.
					void* Data = bAdd && Record.Data ? const_cast<uint8_t*>(Record.Data->data()) : nullptr;
					const DWORD Size = bAdd && Record.Data ? Record.Size : 0;
					if (!::UpdateResourceW(Update.Get(), ToResourceId(Record.TypeId, Record.TypeName),
							ToResourceId(Record.NameId, Record.Name), Language, Data, Size))
					{
						const DWORD ErrorCode = ::GetLastError();
						LogErrorWithErrorCode(FormatString(Texts.PerLanguageFailure, Language), ErrorCode);
						return false; // the pending update is discarded with its handle
					}
				}
			}
			// EndUpdateResourceW frees the handle whether or not it commits.
			if (!::EndUpdateResourceW(Update.Detach(), FALSE))
			{
				LogErrorWithLastErrorMessage(Texts.EndFailure);
				return false;
			}
			if (!TryRefreshFileCheckSum(Path, Category))
			{
				return false;
			}
			Log(ELogLevel::Verbose, Category, Texts.Success);
			return true;
		});
	}
}

bool FWindowsPlatform::TryLoadResourceData(HMODULE Module, const std::wstring& Type, const std::wstring& Name,
	std::vector<uint8_t>& OutBytes)
{
	return GuardOperation(L"FWindowsPlatform::TryLoadResourceData", false, [&]
	{
		if (Module == nullptr || Type.empty() || Name.empty())
		{
			return false;
		}
		HRSRC Resource = ::FindResourceW(Module, Name.c_str(), Type.c_str());
		if (Resource == nullptr)
		{
			return false;
		}
		const DWORD Size = ::SizeofResource(Module, Resource);
		HGLOBAL Loaded = Size != 0 ? ::LoadResource(Module, Resource) : nullptr;
		const void* Data = Loaded != nullptr ? ::LockResource(Loaded) : nullptr;
		if (Data == nullptr)
		{
			return false;
		}
		const uint8_t* Bytes = static_cast<const uint8_t*>(Data);
		OutBytes.assign(Bytes, Bytes + Size);
		return true;
	});
}

std::wstring FWindowsPlatform::DescribeResource(const FResourceRecord& Record)
{
	return DescribeResourceRecord(Record);
}

// Nothing may be thrown into the system's enumeration, so each callback is
// guarded. A callback that threw (or whose language enumeration did) answers
// FALSE, which ends the enumeration, and marks it failed for TryGetResources.
BOOL CALLBACK FWindowsPlatform::EnumResourceNamesCallback(HMODULE Module, LPCWSTR Type, LPWSTR Name, LONG_PTR Parameter)
{
	FResourceEnumeration& Enumeration = *reinterpret_cast<FResourceEnumeration*>(Parameter);
	const BOOL bContinue = GuardOperation(NamesCategory, FALSE, [&]() -> BOOL
	{
		// An unreadable resource is left out; the others are still wanted.
		FResourceRecord Record;
		ReadResourceId(Type, Record.TypeId, Record.TypeName);
		ReadResourceId(Name, Record.NameId, Record.Name);
		const std::wstring Description = DescribeResource(Record);

		HRSRC Resource = ::FindResourceW(Module, Name, Type);
		if (Resource == nullptr)
		{
			const DWORD ErrorCode = ::GetLastError();
			LogErrorWithErrorCode(FormatString(L"Failed to find resource: %s", Description), ErrorCode);
			return TRUE;
		}
		HGLOBAL Loaded = ::LoadResource(Module, Resource);
		if (Loaded == nullptr)
		{
			const DWORD ErrorCode = ::GetLastError();
			LogErrorWithErrorCode(FormatString(L"Failed to load resource: %s", Description), ErrorCode);
			return TRUE;
		}
		const void* Data = ::LockResource(Loaded);
		if (Data == nullptr)
		{
			Log(ELogLevel::Error, NamesCategory, L"Failed to lock resource: %s", Description);
			return TRUE;
		}
		const DWORD Size = ::SizeofResource(Module, Resource);
		const uint8_t* Bytes = static_cast<const uint8_t*>(Data);
		Record.Data = std::make_shared<const std::vector<uint8_t>>(Bytes, Bytes + Size);
		Record.Size = Size;
		Enumeration.Records.push_back(std::move(Record));

		::EnumResourceLanguagesExW(Module, Type, Name, &EnumResourceLanguagesCallback, Parameter, 0, 0);
		return Enumeration.bFailed ? FALSE : TRUE;
	});
	if (!bContinue)
	{
		Enumeration.bFailed = true;
	}
	return bContinue;
}

BOOL CALLBACK FWindowsPlatform::EnumResourceLanguagesCallback(HMODULE, LPCWSTR Type, LPCWSTR Name, WORD Language,
	LONG_PTR Parameter)
{
	FResourceEnumeration& Enumeration = *reinterpret_cast<FResourceEnumeration*>(Parameter);
	const BOOL bContinue = GuardOperation(L"FWindowsPlatform::EnumResourceLanguagesCallback", FALSE, [&]() -> BOOL
	{
		for (FResourceRecord& Record : Enumeration.Records)
		{
			if (IsSameResourceId(Record.TypeId, Record.TypeName, Type) && IsSameResourceId(Record.NameId, Record.Name, Name))
			{
				Record.Languages.push_back(Language);
			}
		}
		return TRUE;
	});
	if (!bContinue)
	{
		Enumeration.bFailed = true;
	}
	return bContinue;
}

bool FWindowsPlatform::TryGetResources(const std::wstring& Path, const std::vector<uintptr_t>& Types,
	std::vector<FResourceRecord>& OutRecords)
{
	return GuardOperation(GetCategory, false, [&]
	{
		Log(ELogLevel::Verbose, GetCategory, L"Trying to get resources from path: '%s'", Path);
		OutRecords.clear();

		// Nothing of the file runs; freed before returning, as a module still
		// loaded would keep a later resource update of the same file from starting.
		// By its full path: the entries limit the loader's search to the system
		// folder, where a bare name relative to the current folder is not found.
		const std::wstring FullPath = ResolvePathNextTo(std::wstring(), Path);
		const FScopedModule Module(::LoadLibraryExW(FullPath.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE));
		if (!Module.IsValid())
		{
			LogErrorWithLastErrorMessage(L"Failed to load path");
			return false;
		}

		const std::unique_ptr<FResourceEnumeration> Found(new (std::nothrow) FResourceEnumeration());
		if (!Found)
		{
			Log(ELogLevel::Error, GetCategory,
				L"Failed due to insufficient memory, cannot allocate temporary storage to enumerate resources");
			return false;
		}
		for (const uintptr_t Type : Types)
		{
			// A type the file does not have simply adds nothing.
			::EnumResourceNamesW(Module.Get(), MAKEINTRESOURCEW(Type), &EnumResourceNamesCallback,
				reinterpret_cast<LONG_PTR>(Found.get()));
			if (Found->bFailed)
			{
				// The callback has logged what it threw.
				return false;
			}
		}
		HandOutFoundResources(GetCategory, Found->Records, OutRecords);
		return true;
	});
}

bool FWindowsPlatform::TryRemoveResources(const std::wstring& Path, const std::vector<FResourceRecord>& Records)
{
	return TryUpdateResources(Path, Records, false, RemoveCategory, RemoveResourceTexts);
}

bool FWindowsPlatform::TryAddResources(const std::wstring& Path, const std::vector<FResourceRecord>& Records)
{
	return TryUpdateResources(Path, Records, true, AddCategory, AddResourceTexts);
}

bool FWindowsPlatform::TryRemoveAuthenticodeSignatures(const std::wstring& Path)
{
	return GuardOperation(SignaturesCategory, false, [&]
	{
		const FScopedKernelHandle File(::CreateFileW(Path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
			OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
		if (!File.IsValid())
		{
			LogErrorWithLastErrorMessage(L"CreateFile failed");
			return false;
		}
		DWORD Count = 0;
		if (!::ImageEnumerateCertificates(File.Get(), CERT_SECTION_TYPE_ANY, &Count, nullptr, 0))
		{
			LogErrorWithLastErrorMessage(L"ImageEnumerateCertificates failed");
			return false;
		}
		// Removing an entry may renumber the rest, so the first one is removed
		// and the table counted again until it is empty. A removal that leaves
		// as many entries as before would never end.
		while (Count > 0)
		{
			if (!::ImageRemoveCertificate(File.Get(), 0))
			{
				LogErrorWithLastErrorMessage(L"ImageRemoveCertificate failed");
				return false;
			}
			DWORD Remaining = 0;
			if (!::ImageEnumerateCertificates(File.Get(), CERT_SECTION_TYPE_ANY, &Remaining, nullptr, 0))
			{
				LogErrorWithLastErrorMessage(L"ImageEnumerateCertificates failed");
				return false;
			}
			if (Remaining >= Count)
			{
				Log(ELogLevel::Error, SignaturesCategory,
					L"ImageRemoveCertificate removed nothing, certificate entries left: %u", static_cast<uint32_t>(Remaining));
				return false;
			}
			Count = Remaining;
		}
		return true;
	});
}

bool FWindowsPlatform::TryCopyExecutableResources(const std::wstring& SourcePath, const std::wstring& TargetPath)
{
	return RunResourceCopy(FResourceCopySteps{CopyCategory, &TryGetResources, &TryRemoveResources, &TryAddResources,
							   &TryRemoveAuthenticodeSignatures},
		SourcePath, TargetPath);
}
