// libFuzzer target for the PE resource reader. The reader's promise is that
// nothing in the file is trusted; the sanitizers catch reads outside the
// buffer, and the checks below catch a parse that "succeeds" with results the
// caller would then follow outside the file or read wrongly.

#include "app/Log.h"
#include "platform/pe/PeFormat.h"
#include "platform/pe/PeResourceEditor.h"
#include "platform/pe/PeResourceReader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace PeFormat;

namespace
{
	// A violated invariant names itself before the trap, so that the crash
	// report says which promise broke and not only where.
	[[noreturn]] void Fail(const char* What)
	{
		std::fprintf(stderr, "PeReaderFuzzer: invariant violated: %s\n", What);
		__builtin_trap();
	}

	void Check(bool Condition, const char* What)
	{
		if (!Condition)
		{
			Fail(What);
		}
	}

	bool IsInside(uint64_t Offset, uint64_t Length, size_t Size)
	{
		return Offset <= Size && Length <= Size - Offset;
	}

	// The reader's own mapping is what is under test, so the expectation is
	// worked out independently: the first section whose virtual extent holds
	// the RVA decides, and the whole range must lie in that section's raw data.
	void CheckRvaMapping(const FPeImage& Image, size_t Size, uint32_t Rva, uint32_t Length)
	{
		uint32_t Offset = 0;
		if (!TryMapRvaToFileOffset(Image, Size, Rva, Length, Offset))
		{
			return;
		}
		Check(IsInside(Offset, Length, Size), "a mapped RVA range lies outside the file");
		for (const FPeSection& Section : Image.Sections)
		{
			const uint64_t Extent = Section.VirtualSize != 0 ? Section.VirtualSize : Section.RawSize;
			if (Rva < Section.VirtualAddress || Rva - static_cast<uint64_t>(Section.VirtualAddress) >= Extent)
			{
				continue;
			}
			const uint64_t Within = Rva - static_cast<uint64_t>(Section.VirtualAddress);
			Check(Offset == Section.RawOffset + Within, "a mapped RVA does not land at its place in its section");
			Check(Within + Length <= Section.RawSize, "a mapped RVA range runs past its section's raw data");
			return;
		}
		Fail("an RVA outside every section was mapped");
	}

	void CheckHeaders(const uint8_t* Data, size_t Size, const FPeImage& Image)
	{
		Check(IsInside(Image.NtHeadersOffset, NtSignatureSize + FileHeaderSize, Size), "the NT headers lie outside the file");
		Check(ReadUInt32(Data, Image.NtHeadersOffset) == NtSignature, "the NT headers do not start with the signature");
		Check(Image.Machine == ReadUInt16(Data, Image.NtHeadersOffset + NtSignatureSize + MachineField), "the machine is not the file's");
		Check(Image.OptionalHeaderOffset == Image.NtHeadersOffset + NtSignatureSize + FileHeaderSize, "the optional header is misplaced");
		Check(IsInside(Image.OptionalHeaderOffset, 2, Size), "the optional header lies outside the file");
		const uint16_t Magic = ReadUInt16(Data, Image.OptionalHeaderOffset);
		Check(Magic == (Image.Is64Bit ? Pe32PlusMagic : Pe32Magic), "the header layout does not match the magic");
		Check(Image.SectionTableOffset >= Image.OptionalHeaderOffset, "the section table lies before the optional header");

		Check(IsInside(Image.SectionTableOffset, static_cast<uint64_t>(Image.Sections.size()) * SectionHeaderSize, Size),
			"the section table lies outside the file");
		for (size_t Index = 0; Index < Image.Sections.size(); ++Index)
		{
			const FPeSection& Section = Image.Sections[Index];
			Check(Section.HeaderOffset == Image.SectionTableOffset + Index * SectionHeaderSize, "a section header is misplaced");
			Check(Section.Name.size() <= SectionNameSize, "a section name is longer than its field");
			Check(std::memcmp(Section.Name.data(), Data + Section.HeaderOffset, Section.Name.size()) == 0,
				"a section name is not the file's");
			Check(Section.VirtualSize == ReadUInt32(Data, Section.HeaderOffset + SectionVirtualSizeField) &&
					Section.VirtualAddress == ReadUInt32(Data, Section.HeaderOffset + SectionVirtualAddressField) &&
					Section.RawSize == ReadUInt32(Data, Section.HeaderOffset + SectionRawSizeField) &&
					Section.RawOffset == ReadUInt32(Data, Section.HeaderOffset + SectionRawOffsetField),
				"a section's fields are not the file's");
			Check(IsInside(Section.RawOffset, Section.RawSize, Size), "a section's raw data lies outside the file");
		}

		// A directory the header does not have keeps HeaderOffset 0, which
		// never lies inside the optional header.
		for (const FPeDataDirectory* Directory : {&Image.ResourceDirectory, &Image.CertificateDirectory})
		{
			if (Directory->HeaderOffset == 0)
			{
				Check(Directory->Address == 0 && Directory->Size == 0, "a missing directory has an address or size");
				continue;
			}
			Check(Directory->HeaderOffset > Image.OptionalHeaderOffset &&
					Directory->HeaderOffset + 8ull <= Image.SectionTableOffset,
				"a data directory entry lies outside the optional header");
			Check(Directory->Address == ReadUInt32(Data, Directory->HeaderOffset) &&
					Directory->Size == ReadUInt32(Data, Directory->HeaderOffset + 4),
				"a data directory is not the file's");
		}
	}

	void CheckResources(size_t Size, const FPeImage& Image)
	{
		for (const FPeResource& Resource : Image.Resources)
		{
			Check(!Resource.Languages.empty(), "a resource without languages is listed");
			Check(GetDefaultLanguageIndex(Resource) < Resource.Languages.size(), "the default language is out of range");
			for (const FPeResourceId* Id : {&Resource.Type, &Resource.Name})
			{
				// Named entries carry their name only; numbered ones cannot have the name flag.
				Check(Id->IsNamed() ? Id->Id == 0 : Id->Id < 0x80000000u, "a resource id mixes number and name");
			}
			for (const FPeResourceLanguage& Language : Resource.Languages)
			{
				Check(IsInside(Language.FileOffset, Language.Size, Size), "resource data lies outside the file");
				uint32_t Offset = 0;
				Check(TryMapRvaToFileOffset(Image, Size, Language.DataRva, Language.Size, Offset) &&
						Offset == Language.FileOffset,
					"resource data's file offset is not where its RVA maps");
				CheckRvaMapping(Image, Size, Language.DataRva, Language.Size);
			}
		}
	}

	void CheckCertificates(const uint8_t* Data, size_t Size, const FPeImage& Image)
	{
		const FPeDataDirectory& Directory = Image.CertificateDirectory;
		if (Image.Certificates.empty())
		{
			// A table with any bytes in it holds an entry or fails the parse.
			Check(Directory.Size == 0, "a non-empty certificate table gave no entries");
			return;
		}
		Check(IsInside(Directory.Address, Directory.Size, Size), "the certificate table lies outside the file");
		uint64_t Expected = Directory.Address;
		for (const FPeCertificate& Certificate : Image.Certificates)
		{
			// Entries follow each other, each at the 8-byte boundary after the last.
			Check(Certificate.FileOffset == Expected, "a certificate entry is not where the previous one ends");
			Check(Certificate.Length >= CertificateHeaderSize, "a certificate entry is shorter than its header");
			Check(static_cast<uint64_t>(Certificate.FileOffset) + Certificate.Length <=
					static_cast<uint64_t>(Directory.Address) + Directory.Size,
				"a certificate entry runs past the certificate table");
			Check(IsInside(Certificate.FileOffset, Certificate.Length, Size), "a certificate entry lies outside the file");
			Check(Certificate.Length == ReadUInt32(Data, Certificate.FileOffset) &&
					Certificate.Revision == ReadUInt16(Data, Certificate.FileOffset + 4) &&
					Certificate.Type == ReadUInt16(Data, Certificate.FileOffset + 6),
				"a certificate entry's header is not the file's");
			Expected = (static_cast<uint64_t>(Certificate.FileOffset) + Certificate.Length + CertificateAlignment - 1) /
				CertificateAlignment * CertificateAlignment;
		}
		Check(Expected >= static_cast<uint64_t>(Directory.Address) + Directory.Size,
			"the certificate list stops before the table's end");
	}

	// What TryReadResources must return for these types: the parse's
	// resources of each type in the list's order, with the bytes at the
	// parse's offsets.
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
				Check(Read.DefaultLanguageIndex == GetDefaultLanguageIndex(Resource), "the default language differs");
				for (size_t Index = 0; Index < Read.Languages.size(); ++Index)
				{
					const FPeResourceLanguage& Where = Resource.Languages[Index];
					const std::vector<uint8_t>& Bytes = Read.Languages[Index].Bytes;
					Check(Read.Languages[Index].Language == Where.Language, "a language's id differs");
					Check(Bytes.size() == Where.Size, "a resource's bytes have the wrong length");
					Check(Bytes.empty() || std::memcmp(Bytes.data(), Data + Where.FileOffset, Bytes.size()) == 0,
						"a resource's bytes are not the file's");
				}
			}
		}
		Check(Next == Resources.size(), "resources of unlisted types were read");
	}
}

// The editor over every file the reader accepts: loading must succeed, an
// unchanged build must too, and a changed build either refuses or hands out a
// file that reads back with the change (the sanitizers watch the writing).
static void CheckEditor(const uint8_t* Data, size_t Size, const FPeImage& Image)
{
	FPeResourceEditor Editor;
	Check(Editor.TryLoad(Data, Size), "the editor refuses a file the reader accepts");
	// Without a checksum to write, an unchanged file is handed back as it came.
	// (A checksum field that other structures overlap may rightly be refused.)
	std::vector<uint8_t> Built;
	if (Image.CheckSum == 0)
	{
		Check(Editor.TryBuild(Built), "an unchanged file does not build");
		Check(Built.size() == Size && std::memcmp(Built.data(), Data, Size) == 0, "an unchanged file changes");
	}

	const FPeResourceId Type{10, L""};
	const FPeResourceId Name{0, L"FUZZ"};
	const std::vector<uint8_t> Added(13, 0xA5);
	Editor.SetResource(Type, Name, 0x409, Added);
	if (!Image.Resources.empty() && !Image.Resources.front().Languages.empty())
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
		if (Resource.Name == Name)
		{
			bFound = Resource.Languages.size() == 1 && Resource.Languages[0].Language == 0x409 &&
				Resource.Languages[0].Bytes == Added;
		}
	}
	Check(bFound, "the added resource is not in the built file");
}

// The product's logger runs as it does in the product, so every message the
// reader and the editor can produce goes through the real formatter. Errors
// are also echoed to the standard output, and a malformed input logs at least
// one: at millions of inputs that would be most of the run, so the output is
// dropped (libFuzzer reports on the standard error).
extern "C" int LLVMFuzzerInitialize(int* Argc, char*** Argv)
{
	if (std::freopen("/dev/null", "w", stdout) == nullptr)
	{
		std::fprintf(stderr, "PeReaderFuzzer: cannot silence the standard output\n");
		std::abort();
	}
	GetLogSink() = [](const std::wstring& TimeStamp, ELogLevel Level, const std::wstring& Message, const std::wstring& Line)
	{
		// Every message has text and a category of its own; an empty message
		// is what the formatter returns when a format and its arguments disagree.
		Check(!Message.empty(), "a log message failed to format");
		Check(Line.find(L"] [] ") == std::wstring::npos, "a log message has no category");
	};
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
	// Icons, version information and string tables by number, and the type
	// the configure tool keeps its launcher under by name.
	static const std::vector<FPeResourceId> FixedTypes = {
		FPeResourceId{3, L""}, FPeResourceId{14, L""}, FPeResourceId{16, L""}, FPeResourceId{0, L"BINARY"}};

	FPeImage Image;
	if (!TryParsePeImage(Data, Size, Image))
	{
		// Reading must refuse exactly the files the parse refuses.
		std::vector<FPeResourceData> Resources;
		Check(!TryReadResources(Data, Size, FixedTypes, Resources), "reading resources succeeds where the parse failed");
		return 0;
	}

	CheckHeaders(Data, Size, Image);
	CheckResources(Size, Image);
	CheckCertificates(Data, Size, Image);
	CheckReadResources(Data, Size, Image, FixedTypes);
	// Types the file really has, so that named types the fixed list misses
	// are read back too; a type listed twice must come back twice.
	if (!Image.Resources.empty())
	{
		CheckReadResources(Data, Size, Image, {Image.Resources.back().Type, Image.Resources.front().Type});
	}

	// Mappings at the edges of every section and at RVAs taken from the input's tail.
	for (const FPeSection& Section : Image.Sections)
	{
		CheckRvaMapping(Image, Size, Section.VirtualAddress, 0);
		CheckRvaMapping(Image, Size, Section.VirtualAddress, Section.RawSize);
		CheckRvaMapping(Image, Size, Section.VirtualAddress + Section.VirtualSize - 1, 1);
	}
	if (Size >= 8)
	{
		CheckRvaMapping(Image, Size, ReadUInt32(Data, Size - 8), ReadUInt32(Data, Size - 4));
		CheckRvaMapping(Image, Size, ReadUInt32(Data, Size - 8), ReadUInt32(Data, Size - 4) & 0xFFF);
	}
	CheckEditor(Data, Size, Image);
	return 0;
}
