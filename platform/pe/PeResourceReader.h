#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads the resource tree and the certificate table of a PE32 or PE32+ file
// from its bytes, without the system's loader, so that resources can be
// looked at (and later rewritten) on systems that have no resource functions.
// Nothing of the file is trusted: every offset and size is checked against
// the buffer before it is followed, and a file that does not add up is a
// logged failure.

// A resource type or name: a number, or a string when Name is not empty.
struct FPeResourceId
{
	uint32_t Id = 0;
	std::wstring Name;

	bool IsNamed() const { return !Name.empty(); }
	bool operator==(const FPeResourceId& Other) const = default;
};

// Where one language version of a resource lies in the file.
struct FPeResourceLanguage
{
	uint16_t Language = 0;
	uint32_t DataRva = 0;
	uint32_t FileOffset = 0;
	uint32_t Size = 0;
	uint32_t CodePage = 0;
};

// One type and name with every language, in the order of the directory.
struct FPeResource
{
	FPeResourceId Type;
	FPeResourceId Name;
	std::vector<FPeResourceLanguage> Languages;
};

struct FPeSection
{
	std::string Name;
	uint32_t VirtualAddress = 0;
	uint32_t VirtualSize = 0;
	uint32_t RawOffset = 0;
	uint32_t RawSize = 0;
	uint32_t Characteristics = 0;
	uint32_t HeaderOffset = 0; // where the section's entry lies in the section table
};

struct FPeDataDirectory
{
	uint32_t Address = 0;
	uint32_t Size = 0;
	uint32_t HeaderOffset = 0; // where the directory's entry lies in the optional header
};

// One WIN_CERTIFICATE entry of the certificate table; Length includes its
// 8-byte header but not the padding to the next entry.
struct FPeCertificate
{
	uint32_t FileOffset = 0;
	uint32_t Length = 0;
	uint16_t Revision = 0;
	uint16_t Type = 0;
};

struct FPeImage
{
	bool Is64Bit = false;
	uint16_t Machine = 0;
	uint32_t NtHeadersOffset = 0;
	uint32_t OptionalHeaderOffset = 0;
	uint32_t SectionTableOffset = 0;
	uint32_t SymbolTableOffset = 0; // PointerToSymbolTable of the file header
	uint32_t SectionAlignment = 0;
	uint32_t FileAlignment = 0;
	uint32_t SizeOfHeaders = 0;
	uint32_t CheckSum = 0;
	std::vector<FPeSection> Sections;
	// Every data directory the optional header has room for, in index order.
	std::vector<FPeDataDirectory> Directories;
	FPeDataDirectory ResourceDirectory;
	// The certificate table's address is a file offset, unlike every other directory's.
	FPeDataDirectory CertificateDirectory;
	// Every resource of the file, types in directory order.
	std::vector<FPeResource> Resources;
	std::vector<FPeCertificate> Certificates;
};

// The bytes of one language version of a resource.
struct FPeResourceLanguageData
{
	uint16_t Language = 0;
	std::vector<uint8_t> Bytes;
};

struct FPeResourceData
{
	FPeResourceId Type;
	FPeResourceId Name;
	std::vector<FPeResourceLanguageData> Languages;
	// The version a lookup without a language gets (GetDefaultLanguageIndex).
	size_t DefaultLanguageIndex = 0;
};

// Parses headers, section table, resource tree and certificate table. A file
// without resources or certificates parses with empty lists.
bool TryParsePeImage(const uint8_t* Bytes, size_t Size, FPeImage& OutImage);

// Maps an RVA range onto the file through the section table. False (without
// logging) when the range is not wholly inside one section's raw data.
bool TryMapRvaToFileOffset(const FPeImage& Image, size_t FileSize, uint32_t Rva, uint32_t Length, uint32_t& OutOffset);

// The index of the language a lookup without a language picks on a machine
// set to US English: neutral, then 0x409, then any English, else the first.
// The resource must have at least one language.
size_t GetDefaultLanguageIndex(const FPeResource& Resource);

// Copies the resources of the listed types, type by type in the list's order
// and within a type in directory order, with the bytes of every language.
bool TryReadResources(const uint8_t* Bytes, size_t Size, const std::vector<FPeResourceId>& Types,
	std::vector<FPeResourceData>& OutResources);
