#pragma once

#include "platform/SystemErrorLog.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The object model of the PE module: a file as the reader found it (FPeImage,
// offsets into the file's bytes), and the resources as the editor holds them
// while they change (FPeResourceTree, the bytes themselves). The reader fills
// the one, the editor collects the other from it, and the section writer turns
// the tree back into bytes; none of them keeps its own copy of these shapes.

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

// Whether a range lies inside a buffer of Size bytes. 64-bit arithmetic on the
// file's 32-bit values cannot overflow, so one comparison says it.
inline bool IsInsideFile(uint64_t Offset, uint64_t Length, size_t Size)
{
	return Offset <= Size && Length <= Size - Offset;
}

// Maps an RVA range onto the file through the section table. False (without
// logging) when the range is not wholly inside one section's raw data.
bool TryMapRvaToFileOffset(const FPeImage& Image, size_t FileSize, uint32_t Rva, uint32_t Length, uint32_t& OutOffset);

// The index of the language a lookup without a language picks on a machine
// set to US English: neutral, then 0x409, then any English, else the first.
// The resource must have at least one language.
size_t GetDefaultLanguageIndex(const FPeResource& Resource);

// Names are UTF-16 in the file; wchar_t is wider on some systems, where a
// pair of surrogates is one character.
std::wstring ResourceNameFromUtf16(const std::u16string& Text);
std::u16string ResourceNameToUtf16(const std::wstring& Name);

// Directory order: named entries first, ordered as the loader's binary
// search expects (by UTF-16 code unit), then numbers in increasing order.
bool IsBeforeInDirectory(const FPeResourceId& Left, const FPeResourceId& Right);

// ---- The resource tree as the editor holds it --------------------------------

struct FPeDirectoryOrder
{
	bool operator()(const FPeResourceId& Left, const FPeResourceId& Right) const
	{
		return IsBeforeInDirectory(Left, Right);
	}
};

struct FPeLanguageVersion
{
	std::vector<uint8_t> Bytes;
	uint32_t CodePage = 0;
	bool operator==(const FPeLanguageVersion& Other) const = default;
};

// Kept in directory order at every level, so that the section is written in
// the order the loader searches without sorting it again.
using FPeLanguageMap = std::map<uint16_t, FPeLanguageVersion>;
using FPeNameMap = std::map<FPeResourceId, FPeLanguageMap, FPeDirectoryOrder>;
using FPeResourceTree = std::map<FPeResourceId, FPeNameMap, FPeDirectoryOrder>;

// The bytes of every resource of a parsed file. False (without logging) when
// resource data lies outside the bytes, which a parse of the same bytes rules out.
bool TryCollectResourceTree(const uint8_t* Bytes, size_t Size, const FPeImage& Image, FPeResourceTree& OutResources);

// What the module's operations log for an exception, the lines their callers
// have always seen.
inline constexpr FExceptionLines PeExceptionLines{L"Failed due to insufficient memory", L"Failed due to an unexpected exception"};
