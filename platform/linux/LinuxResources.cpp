#include "platform/linux/LinuxPlatform.h"

#include "app/Log.h"
#include "platform/EmbeddedResources.h"
#include "platform/FileNames.h"
#include "platform/FileReplace.h"
#include "platform/ResourceCopy.h"
#include "platform/SystemErrorLog.h"
#include "platform/linux/LinuxFileReplace.h"
#include "platform/pe/PeHeaders.h"
#include "platform/pe/PeResourceEditor.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace
{
	constexpr const wchar_t* CopyCategory = L"FLinuxPlatform::TryCopyExecutableResources";
	constexpr const wchar_t* GetCategory = L"FLinuxPlatform::TryGetResources";
	constexpr const wchar_t* RemoveCategory = L"FLinuxPlatform::TryRemoveResources";
	constexpr const wchar_t* AddCategory = L"FLinuxPlatform::TryAddResources";
	constexpr const wchar_t* SignaturesCategory = L"FLinuxPlatform::TryRemoveAuthenticodeSignatures";

	constexpr uint8_t ElfMagic[] = {0x7F, 'E', 'L', 'F'};

	// What the resource functions of Windows would take for a type or a name:
	// a number below 0x10000, "#" and such a number in decimal, or a string.
	bool TryToPeResourceId(uintptr_t Id, const std::wstring& Name, FPeResourceId& OutId)
	{
		if (Name.empty())
		{
			OutId = FPeResourceId{static_cast<uint32_t>(Id), {}};
			return Id <= 0xFFFF;
		}
		if (Name[0] != L'#')
		{
			OutId = FPeResourceId{0, Name};
			return true;
		}
		uint32_t Number = 0;
		for (size_t Index = 1; Index < Name.size(); ++Index)
		{
			if (Name[Index] < L'0' || Name[Index] > L'9' || Number > 0xFFFF)
			{
				return false;
			}
			Number = Number * 10 + static_cast<uint32_t>(Name[Index] - L'0');
		}
		OutId = FPeResourceId{Number, {}};
		return Name.size() > 1 && Number <= 0xFFFF;
	}

	// Reads the file and its resources as the loader would see them; on
	// failure OutError holds what to report with the caller's message.
	bool TryLoadEditor(const std::wstring& Path, FPeResourceEditor& OutEditor, const wchar_t* Category, int& OutError)
	{
		std::filesystem::path FsPath;
		if (!TryToFileSystemPath(Path, FsPath))
		{
			OutError = EINVAL;
			return false;
		}
		// A file the reader would refuse for its size is refused before it is
		// read: a multi-GiB file must not end in the out-of-memory killer.
		std::error_code SizeError;
		const uintmax_t Size = std::filesystem::file_size(FsPath, SizeError);
		if (!SizeError && Size > MaximumExecutableFileSize)
		{
			CheckExecutableFileSize(Size, Category);
			OutError = EFBIG;
			return false;
		}
		std::vector<uint8_t> Bytes;
		OutError = ReadWholeFile(FsPath, Bytes, MaximumExecutableFileSize);
		if (OutError != 0)
		{
			return false;
		}
		if (Bytes.size() >= sizeof(ElfMagic) && std::memcmp(Bytes.data(), ElfMagic, sizeof(ElfMagic)) == 0)
		{
			Log(ELogLevel::Error, Category,
				L"Failed because '%s' is a Linux executable, which carries no icon or version resources", Path);
			OutError = ENOEXEC;
			return false;
		}
		if (!OutEditor.TryLoad(std::move(Bytes)))
		{
			OutError = ENOEXEC;
			return false;
		}
		return true;
	}

	// Builds the changed file and puts it in the place of the old one.
	int CommitEditor(const std::wstring& Path, const FPeResourceEditor& Editor)
	{
		std::vector<uint8_t> Bytes;
		std::filesystem::path FsPath;
		if (!Editor.TryBuild(Bytes))
		{
			return ENOEXEC;
		}
		if (!TryToFileSystemPath(Path, FsPath))
		{
			return EINVAL;
		}
		FFileReplaceFailure Failure;
		return TryReplaceFile(FsPath, Bytes.data(), Bytes.size(), EReplacedFileMode::Keep, Failure)
			? 0
			: static_cast<int>(Failure.ErrorCode);
	}

	// One update of the file's resources, written only when every single
	// change went in: a half-applied update would leave icons without their
	// group or a group pointing at icons that are gone.
	bool TryUpdateResources(const std::wstring& Path, const std::vector<FResourceRecord>& Records, bool bAdd,
		const wchar_t* Category, const FResourceUpdateTexts& Texts)
	{
		return GuardOperation(Category, false, [&]
		{
			Log(ELogLevel::Verbose, Category, Texts.Trying, Path);
			FPeResourceEditor Editor;
			int Error = 0;
			if (!TryLoadEditor(Path, Editor, Category, Error))
			{
				LogErrorWithErrorCode(Texts.BeginFailure, static_cast<uint32_t>(Error));
				return false;
			}
			for (const FResourceRecord& Record : Records)
			{
				Log(ELogLevel::Verbose, Category, Texts.PerRecord, DescribeResourceRecord(Record));
				FPeResourceId Type;
				FPeResourceId Name;
				const bool bValid = TryToPeResourceId(Record.TypeId, Record.TypeName, Type) &&
					TryToPeResourceId(Record.NameId, Record.Name, Name) && (!bAdd || Record.Data);
				for (const uint16_t Language : Record.Languages)
				{
					if (!bValid)
					{
						LogErrorWithErrorCode(FormatString(Texts.PerLanguageFailure, Language), EINVAL);
						return false;
					}
					// Every language gets the same bytes: those of the default language.
					// Removing a version the file does not have leaves nothing to do.
					if (bAdd)
					{
						Editor.SetResource(Type, Name, Language, std::vector<uint8_t>(Record.Data->begin(),
							Record.Data->begin() + std::min<size_t>(Record.Size, Record.Data->size())));
					}
					else
					{
						Editor.DeleteResource(Type, Name, Language);
					}
				}
			}
			const int CommitError = CommitEditor(Path, Editor);
			if (CommitError != 0)
			{
				LogErrorWithErrorCode(Texts.EndFailure, static_cast<uint32_t>(CommitError));
				return false;
			}
			Log(ELogLevel::Verbose, Category, Texts.Success);
			return true;
		});
	}
}

bool FLinuxPlatform::TryLoadResourceData(const std::wstring& Type, const std::wstring& Name, std::vector<uint8_t>& OutBytes)
{
	return GuardOperation(L"FLinuxPlatform::TryLoadResourceData", false, [&]
	{
		const uint8_t* Data = nullptr;
		size_t Size = 0;
		if (Type.empty() || Name.empty() || !FEmbeddedResource::TryFind(Type, Name, Data, Size) || Size == 0)
		{
			return false;
		}
		OutBytes.assign(Data, Data + Size);
		return true;
	});
}

std::wstring FLinuxPlatform::DescribeResource(const FResourceRecord& Record)
{
	return DescribeResourceRecord(Record);
}

bool FLinuxPlatform::TryGetResources(const std::wstring& Path, const std::vector<uintptr_t>& Types,
	std::vector<FResourceRecord>& OutRecords)
{
	return GuardOperation(GetCategory, false, [&]
	{
		Log(ELogLevel::Verbose, GetCategory, L"Trying to get resources from path: '%s'", Path);
		OutRecords.clear();

		FPeResourceEditor Editor;
		int Error = 0;
		if (!TryLoadEditor(Path, Editor, GetCategory, Error))
		{
			LogErrorWithErrorCode(L"Failed to load path", static_cast<uint32_t>(Error));
			return false;
		}
		// Types in the order asked, names within a type in directory order, as
		// the system enumerates them; the parse above already accepted the file.
		std::vector<FPeResourceId> PeTypes;
		for (const uintptr_t Type : Types)
		{
			PeTypes.push_back(FPeResourceId{static_cast<uint32_t>(Type), {}});
		}
		std::vector<FPeResourceData> Resources;
		if (!TryReadResources(Editor.GetFileBytes().data(), Editor.GetFileBytes().size(), PeTypes, Resources))
		{
			LogErrorWithErrorCode(L"Failed to load path", ENOEXEC);
			return false;
		}
		std::vector<FResourceRecord> Found;
		for (FPeResourceData& Resource : Resources)
		{
			FResourceRecord Record;
			Record.TypeId = Resource.Type.Id;
			Record.NameId = Resource.Name.IsNamed() ? 0 : Resource.Name.Id;
			Record.Name = Resource.Name.Name;
			std::vector<uint8_t>& Default = Resource.Languages[Resource.DefaultLanguageIndex].Bytes;
			Record.Size = static_cast<uint32_t>(Default.size());
			Record.Data = std::make_shared<const std::vector<uint8_t>>(std::move(Default));
			for (const FPeResourceLanguageData& Language : Resource.Languages)
			{
				Record.Languages.push_back(Language.Language);
			}
			Found.push_back(std::move(Record));
		}
		HandOutFoundResources(GetCategory, Found, OutRecords);
		return true;
	});
}

bool FLinuxPlatform::TryRemoveResources(const std::wstring& Path, const std::vector<FResourceRecord>& Records)
{
	return TryUpdateResources(Path, Records, false, RemoveCategory, RemoveResourceTexts);
}

bool FLinuxPlatform::TryAddResources(const std::wstring& Path, const std::vector<FResourceRecord>& Records)
{
	return TryUpdateResources(Path, Records, true, AddCategory, AddResourceTexts);
}

bool FLinuxPlatform::TryRemoveAuthenticodeSignatures(const std::wstring& Path)
{
	return GuardOperation(SignaturesCategory, false, [&]
	{
		// The messages name the Windows functions whose work this does, so
		// that a log reads the same whichever system configured the file.
		std::filesystem::path FsPath;
		if (!TryToFileSystemPath(Path, FsPath))
		{
			LogErrorWithErrorCode(L"CreateFile failed", EINVAL);
			return false;
		}
		if (::access(FsPath.c_str(), R_OK | W_OK) != 0)
		{
			LogErrorWithLastErrorMessage(L"CreateFile failed");
			return false;
		}
		FPeResourceEditor Editor;
		int Error = 0;
		if (!TryLoadEditor(Path, Editor, SignaturesCategory, Error))
		{
			LogErrorWithErrorCode(Error == ENOEXEC ? L"ImageEnumerateCertificates failed" : L"CreateFile failed",
				static_cast<uint32_t>(Error));
			return false;
		}
		if (Editor.GetCertificateCount() == 0)
		{
			return true;
		}
		// Removing an entry moves the rest up one index, so the first one goes
		// until none are left; the file is written once.
		while (Editor.GetCertificateCount() > 0)
		{
			if (!Editor.TryRemoveCertificate(0))
			{
				LogErrorWithErrorCode(L"ImageRemoveCertificate failed", EINVAL);
				return false;
			}
		}
		const int CommitError = CommitEditor(Path, Editor);
		if (CommitError != 0)
		{
			LogErrorWithErrorCode(L"ImageRemoveCertificate failed", static_cast<uint32_t>(CommitError));
			return false;
		}
		return true;
	});
}

bool FLinuxPlatform::TryCopyExecutableResources(const std::wstring& SourcePath, const std::wstring& TargetPath)
{
	return RunResourceCopy(FResourceCopySteps{CopyCategory, &TryGetResources, &TryRemoveResources, &TryAddResources,
							   &TryRemoveAuthenticodeSignatures},
		SourcePath, TargetPath);
}
