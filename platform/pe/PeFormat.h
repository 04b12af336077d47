#pragma once

#include <cstddef>
#include <cstdint>

// The numbers the PE/COFF format fixes, and its byte order, kept in this one
// place: the executable-type check, the resource reader and editor, and the
// tests and the fuzz target that build or check files byte by byte all read
// the format through here, so that they cannot drift apart. A "...Field" is
// an offset from the start of the structure its group names.
namespace PeFormat
{
	// ---- DOS header ----------------------------------------------------------
	inline constexpr uint16_t DosSignature = 0x5A4D;          // "MZ"
	inline constexpr uint32_t NewHeaderOffsetField = 0x3C;    // e_lfanew
	inline constexpr uint64_t DosHeaderSize = 64;
	// The largest file the headers' 32-bit offsets can describe.
	inline constexpr uint64_t MaximumFileSize = 0xFFFFFFFEull;

	// ---- NT headers: the signature, the file header, the optional header ----
	inline constexpr uint32_t NtSignature = 0x00004550;       // "PE\0\0"
	// The file header follows the signature.
	inline constexpr uint32_t NtSignatureSize = 4;
	// The 64-bit NT headers up to the end of their data directories.
	inline constexpr uint64_t NtHeadersSize = 264;

	// ---- File header -----------------------------------------------------------
	inline constexpr uint32_t FileHeaderSize = 20;
	inline constexpr uint32_t MachineField = 0;
	inline constexpr uint32_t NumberOfSectionsField = 2;
	inline constexpr uint32_t SymbolTablePointerField = 8;    // PointerToSymbolTable
	inline constexpr uint32_t SizeOfOptionalHeaderField = 16;
	inline constexpr uint32_t CharacteristicsField = 18;
	inline constexpr uint16_t MachineI386 = 0x014C;
	inline constexpr uint16_t MachineAmd64 = 0x8664;
	inline constexpr uint16_t ExecutableImageFlag = 0x0002;   // IMAGE_FILE_EXECUTABLE_IMAGE

	// ---- Optional header (after the file header) -----------------------------
	// The magic is its first field; the fields up to CheckSum lie at the same
	// place in both layouts, only what follows differs.
	inline constexpr uint16_t Pe32Magic = 0x010B;
	inline constexpr uint16_t Pe32PlusMagic = 0x020B;
	inline constexpr uint32_t SizeOfInitializedDataField = 8;
	inline constexpr uint32_t SectionAlignmentField = 32;
	inline constexpr uint32_t FileAlignmentField = 36;
	inline constexpr uint32_t SizeOfImageField = 56;
	inline constexpr uint32_t SizeOfHeadersField = 60;
	inline constexpr uint32_t CheckSumField = 64;
	inline constexpr uint32_t CheckSumSize = 4;
	// NumberOfRvaAndSizes; the data directories follow it.
	inline constexpr uint32_t Pe32DirectoryCountField = 92;
	inline constexpr uint32_t Pe32PlusDirectoryCountField = 108;
	inline constexpr uint32_t DirectoryCountSize = 4;
	// A data directory entry: the address, then the size.
	inline constexpr uint32_t DataDirectoryEntrySize = 8;
	inline constexpr uint32_t DataDirectoryAddressField = 0;
	inline constexpr uint32_t DataDirectorySizeField = 4;
	inline constexpr uint32_t ResourceDirectoryIndex = 2;
	// Its address is a file offset, unlike every other directory's.
	inline constexpr uint32_t CertificateDirectoryIndex = 4;
	// The format's own limit; a larger one would only pad the file with zeros.
	inline constexpr uint64_t MaximumFileAlignment = 0x10000;

	// ---- Section table ---------------------------------------------------------
	inline constexpr uint32_t SectionHeaderSize = 40;
	inline constexpr uint32_t MaximumSectionCount = 0xFFFF;
	inline constexpr uint32_t SectionNameSize = 8;
	inline constexpr uint32_t SectionVirtualSizeField = 8;
	inline constexpr uint32_t SectionVirtualAddressField = 12;
	inline constexpr uint32_t SectionRawSizeField = 16;       // SizeOfRawData
	inline constexpr uint32_t SectionRawOffsetField = 20;     // PointerToRawData
	inline constexpr uint32_t SectionCharacteristicsField = 36;
	inline constexpr uint32_t SectionInitializedDataFlag = 0x00000040; // IMAGE_SCN_CNT_INITIALIZED_DATA
	inline constexpr uint32_t SectionReadableFlag = 0x40000000;        // IMAGE_SCN_MEM_READ

	// ---- Resource tree -----------------------------------------------------------
	// A directory table: a header, then its named entries, then its numbered ones.
	inline constexpr uint32_t ResourceDirectorySize = 16;
	inline constexpr uint32_t NamedEntryCountField = 12;
	inline constexpr uint32_t IdEntryCountField = 14;
	// An entry: a name or number, then its data entry or subdirectory.
	inline constexpr uint32_t ResourceEntrySize = 8;
	inline constexpr uint32_t ResourceEntryNameField = 0;
	inline constexpr uint32_t ResourceEntryDataField = 4;
	// A data entry: the data's RVA, its size and its code page.
	inline constexpr uint32_t ResourceDataEntrySize = 16;
	inline constexpr uint32_t ResourceDataRvaField = 0;
	inline constexpr uint32_t ResourceDataSizeField = 4;
	inline constexpr uint32_t ResourceDataCodePageField = 8;
	// A name: its length in UTF-16 code units, then the units, unterminated.
	inline constexpr uint32_t ResourceNameTextField = 2;
	inline constexpr uint32_t ResourceNameUnitSize = 2;
	// Set in an entry's first field for a name string, in its second for a subdirectory.
	inline constexpr uint32_t HighBit = 0x80000000u;

	// ---- Certificate table -------------------------------------------------------
	// WIN_CERTIFICATE: dwLength (the entry without its padding), wRevision,
	// wCertificateType; each entry starts on an 8-byte boundary.
	inline constexpr uint32_t CertificateHeaderSize = 8;
	inline constexpr uint32_t CertificateLengthField = 0;
	inline constexpr uint32_t CertificateRevisionField = 4;
	inline constexpr uint32_t CertificateTypeField = 6;
	inline constexpr uint32_t CertificateAlignment = 8;

	// ---- Byte order ----------------------------------------------------------------
	// Little-endian whatever the host: the file format fixes the byte order.
	// Bytes may be any one-byte type (a file's uint8_t, a test's std::string);
	// the caller has checked that the value lies inside them.
	template <typename TByte>
	uint16_t ReadUInt16(const TByte* Bytes, uint64_t Offset = 0)
	{
		static_assert(sizeof(TByte) == 1);
		return static_cast<uint16_t>(static_cast<uint8_t>(Bytes[Offset]) | (static_cast<uint8_t>(Bytes[Offset + 1]) << 8));
	}

	template <typename TByte>
	uint32_t ReadUInt32(const TByte* Bytes, uint64_t Offset = 0)
	{
		return static_cast<uint32_t>(ReadUInt16(Bytes, Offset)) | (static_cast<uint32_t>(ReadUInt16(Bytes, Offset + 2)) << 16);
	}

	template <typename TByte>
	void WriteUInt16(TByte* Bytes, uint64_t Offset, uint16_t Value)
	{
		static_assert(sizeof(TByte) == 1);
		Bytes[Offset] = static_cast<TByte>(Value & 0xFF);
		Bytes[Offset + 1] = static_cast<TByte>(Value >> 8);
	}

	template <typename TByte>
	void WriteUInt32(TByte* Bytes, uint64_t Offset, uint32_t Value)
	{
		WriteUInt16(Bytes, Offset, static_cast<uint16_t>(Value & 0xFFFF));
		WriteUInt16(Bytes, Offset + 2, static_cast<uint16_t>(Value >> 16));
	}
}
