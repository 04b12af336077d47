// libFuzzer target for the PE resource reader and editor. The reader's promise
// is that nothing in the file is trusted: the sanitizers catch reads outside
// the buffer, and the checks below catch a parse that "succeeds" with results
// the caller would then follow outside the file, or read back other bytes.

#include "tests/fuzz/Fuzz.h"

#include "platform/pe/PeResourceEditor.h"
#include "platform/pe/PeResourceReader.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace
{
	bool IsInside(uint64_t Offset, uint64_t Length, size_t Size)
	{
		return Offset <= Size && Length <= Size - Offset;
	}

	void CheckRanges(size_t Size, const FPeImage& Image)
	{
		for (const FPeSection& Section : Image.Sections)
		{
			Check(IsInside(Section.RawOffset, Section.RawSize, Size), "a section's raw data lies outside the file");
		}
		for (const FPeResource& Resource : Image.Resources)
		{
			Check(GetDefaultLanguageIndex(Resource) < Resource.Languages.size(), "the default language is out of range");
			for (const FPeResourceLanguage& Language : Resource.Languages)
			{
				Check(IsInside(Language.FileOffset, Language.Size, Size), "resource data lies outside the file");
			}
		}
		for (const FPeCertificate& Certificate : Image.Certificates)
		{
			Check(IsInside(Certificate.FileOffset, Certificate.Length, Size), "a certificate entry lies outside the file");
		}
	}

	// TryReadResources returns the parse's resources of each listed type in the list's order, with the bytes at the parse's offsets.
	void CheckReadResources(const uint8_t* Data, size_t Size, const FPeImage& Image, const std::vector<FPeResourceId>& Types)
	{
		std::vector<FPeResourceData> Resources;
		Check(TryReadResources(Data, Size, Types, Resources), "reading resources fails where the parse succeeded");
		size_t Next = 0;
		for (const FPeResourceId& Type : Types)
		{
			for (const FPeResource& Resource : Image.Resources)
			{
				if (!(Resource.Type == Type))
				{
					continue;
				}
				Check(Next < Resources.size(), "a resource of a listed type is missing");
				const FPeResourceData& Read = Resources[Next++];
				Check(Read.Type == Resource.Type && Read.Name == Resource.Name, "resources are out of order");
				Check(Read.Languages.size() == Resource.Languages.size(), "a resource lost or gained languages");
				for (size_t Index = 0; Index < Read.Languages.size(); ++Index)
				{
					const FPeResourceLanguage& Where = Resource.Languages[Index];
					const std::vector<uint8_t>& Bytes = Read.Languages[Index].Bytes;
					Check(Bytes.size() == Where.Size && (Bytes.empty() || std::memcmp(Bytes.data(), Data + Where.FileOffset, Bytes.size()) == 0),
						"a resource's bytes are not the file's");
				}
			}
		}
		Check(Next == Resources.size(), "resources of unlisted types were read");
	}

	// The editor loads every file the reader accepts; a changed build refuses or reads back with the change.
	void CheckEditor(const uint8_t* Data, size_t Size, const FPeImage& Image)
	{
		FPeResourceEditor Editor;
		Check(Editor.TryLoad(Data, Size), "the editor refuses a file the reader accepts");
		// Without a checksum to write (one that other structures overlap may be refused), an unchanged file comes back as it was.
		std::vector<uint8_t> Built;
		if (Image.CheckSum == 0)
		{
			Check(Editor.TryBuild(Built) && Built.size() == Size && std::memcmp(Built.data(), Data, Size) == 0,
				"an unchanged file changes");
		}

		const FPeResourceId Type{10, L""};
		const FPeResourceId Name{0, L"FUZZ"};
		const std::vector<uint8_t> Added(13, 0xA5);
		Editor.SetResource(Type, Name, 0x409, Added);
		if (!Image.Resources.empty())
		{
			const FPeResource& First = Image.Resources.front();
			Editor.DeleteResource(First.Type, First.Name, First.Languages.front().Language);
		}
		while (Editor.GetCertificateCount() > 0 && Editor.TryRemoveCertificate(0))
		{
		}
		if (!Editor.TryBuild(Built))
		{
			return;
		}
		FPeImage Rebuilt;
		Check(TryParsePeImage(Built.data(), Built.size(), Rebuilt), "a built file does not parse");
		Check(Rebuilt.Certificates.size() == Editor.GetCertificateCount(), "a built file has other certificates");
		std::vector<FPeResourceData> Found;
		Check(TryReadResources(Built.data(), Built.size(), {Type}, Found), "a built file's resources do not read");
		bool bFound = false;
		for (const FPeResourceData& Resource : Found)
		{
			bFound = bFound || (Resource.Name == Name && Resource.Languages.size() == 1 &&
				Resource.Languages[0].Language == 0x409 && Resource.Languages[0].Bytes == Added);
		}
		Check(bFound, "the added resource is not in the built file");
	}
}

void FuzzPeReader(FFuzzInput Input)
{
	const std::string Bytes = Input.TakeBytes();
	const uint8_t* Data = reinterpret_cast<const uint8_t*>(Bytes.data());
	const size_t Size = Bytes.size();
	// Icons, groups and versions by number, and the type the configure tool keeps its launcher under.
	static const std::vector<FPeResourceId> FixedTypes = {
		FPeResourceId{3, L""}, FPeResourceId{14, L""}, FPeResourceId{16, L""}, FPeResourceId{0, L"BINARY"}};

	FPeImage Image;
	if (!TryParsePeImage(Data, Size, Image))
	{
		// Reading must refuse exactly the files the parse refuses.
		std::vector<FPeResourceData> Resources;
		Check(!TryReadResources(Data, Size, FixedTypes, Resources), "reading resources succeeds where the parse failed");
		return;
	}
	CheckRanges(Size, Image);
	CheckReadResources(Data, Size, Image, FixedTypes);
	// Types the file has, named ones the fixed list misses too; one listed twice comes back twice.
	if (!Image.Resources.empty())
	{
		CheckReadResources(Data, Size, Image, {Image.Resources.back().Type, Image.Resources.front().Type});
	}
	CheckEditor(Data, Size, Image);
}
