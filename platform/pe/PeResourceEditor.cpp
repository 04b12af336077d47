#include "platform/pe/PeResourceEditor.h"

#include "app/Log.h"
#include "platform/pe/PeCertificates.h"
#include "platform/pe/PeResourceSectionWriter.h"

namespace
{
	constexpr const wchar_t* LoadCategory = L"PeResourceEditor::TryLoad";
	constexpr const wchar_t* BuildCategory = L"PeResourceEditor::TryBuild";
	constexpr const wchar_t* CertificateCategory = L"PeResourceEditor::TryRemoveCertificate";
}

bool FPeResourceEditor::TryRefreshCheckSum(uint8_t* Bytes, size_t Size)
{
	FPeImage Image;
	if (!TryParsePeImage(Bytes, Size, Image))
	{
		return false;
	}
	WritePeCheckSum(Bytes, Size, Image);
	return true;
}

bool FPeResourceEditor::TryLoad(const uint8_t* Bytes, size_t Size)
{
	return TryLoadParsed(Bytes, Size, nullptr);
}

bool FPeResourceEditor::TryLoad(std::vector<uint8_t>&& Bytes)
{
	return TryLoadParsed(Bytes.data(), Bytes.size(), &Bytes);
}

// Owned, when given, holds the bytes and is moved in; otherwise they are copied.
bool FPeResourceEditor::TryLoadParsed(const uint8_t* Bytes, size_t Size, std::vector<uint8_t>* Owned)
{
	return GuardOperation(LoadCategory, PeExceptionLines, false, [&]
	{
		FPeImage NewImage;
		if (!TryParsePeImage(Bytes, Size, NewImage))
		{
			Log(ELogLevel::Error, LoadCategory, L"Failed to read the PE image");
			return false;
		}
		FPeResourceTree NewResources;
		if (!TryCollectResourceTree(Bytes, Size, NewImage, NewResources))
		{
			Log(ELogLevel::Error, LoadCategory, L"Failed because resource data lies outside the file");
			return false;
		}
		if (Owned != nullptr)
		{
			File = std::move(*Owned);
		}
		else
		{
			File.assign(Bytes, Bytes + Size);
		}
		Image = std::move(NewImage);
		Resources = std::move(NewResources);
		bResourcesChanged = false;
		return true;
	});
}

bool FPeResourceEditor::DeleteResource(const FPeResourceId& Type, const FPeResourceId& Name, uint16_t Language)
{
	const auto TypeEntry = Resources.find(Type);
	if (TypeEntry == Resources.end())
	{
		return false;
	}
	const auto NameEntry = TypeEntry->second.find(Name);
	if (NameEntry == TypeEntry->second.end() || NameEntry->second.erase(Language) == 0)
	{
		return false;
	}
	// An empty directory would be a name or a type that lookups find but
	// cannot open.
	if (NameEntry->second.empty())
	{
		TypeEntry->second.erase(NameEntry);
		if (TypeEntry->second.empty())
		{
			Resources.erase(TypeEntry);
		}
	}
	bResourcesChanged = true;
	return true;
}

void FPeResourceEditor::SetResource(const FPeResourceId& Type, const FPeResourceId& Name, uint16_t Language,
	std::vector<uint8_t> Bytes)
{
	FPeLanguageVersion& Version = Resources[Type][Name][Language];
	Version.Bytes = std::move(Bytes);
	Version.CodePage = 0;
	bResourcesChanged = true;
}

bool FPeResourceEditor::TryRemoveCertificate(size_t Index)
{
	return GuardOperation(CertificateCategory, PeExceptionLines, false,
		[&] { return TryRemoveCertificateEntry(File, Image, Index, CertificateCategory); });
}

// The changed file must parse, keep every certificate entry byte for byte, and
// hold exactly the resources of the edits: the build hands out nothing less.
bool FPeResourceEditor::IsReadBackSound(const std::vector<uint8_t>& Bytes) const
{
	FPeImage ReadBack;
	FPeResourceTree ReadBackResources;
	if (!TryParsePeImage(Bytes.data(), Bytes.size(), ReadBack) ||
		!TryCollectResourceTree(Bytes.data(), Bytes.size(), ReadBack, ReadBackResources))
	{
		return false;
	}
	return AreCertificatesKept(File, Image, Bytes, ReadBack) && ReadBackResources == Resources;
}

bool FPeResourceEditor::TryBuild(std::vector<uint8_t>& OutBytes) const
{
	return GuardOperation(BuildCategory, PeExceptionLines, false, [&]
	{
		if (File.empty())
		{
			Log(ELogLevel::Error, BuildCategory, L"Failed because no file was loaded");
			return false;
		}
		std::vector<uint8_t> Bytes;
		if (bResourcesChanged)
		{
			FPeSectionPlan Plan;
			std::vector<uint8_t> Section;
			if (!TryPlanResourceSection(Image, File, BuildCategory, Plan) ||
				!TryWriteResourceSection(Resources, Plan.Rva, BuildCategory, Section) ||
				!TryLayOutFile(Image, File, Plan, Section, BuildCategory, Bytes))
			{
				return false;
			}
			Log(ELogLevel::Verbose, BuildCategory, Plan.bInPlace ? L"Rewrote the resource section in place: %u bytes"
																 : L"Added a new resource section: %u bytes",
				static_cast<uint32_t>(Section.size()));
		}
		else
		{
			Bytes = File;
		}
		WritePeCheckSum(Bytes.data(), Bytes.size(), Image);
		if (!IsReadBackSound(Bytes))
		{
			Log(ELogLevel::Error, BuildCategory, L"Failed because the changed file does not read back as written");
			return false;
		}
		OutBytes = std::move(Bytes);
		return true;
	});
}
