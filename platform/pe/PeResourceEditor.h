#pragma once

#include "platform/pe/PeFileLayout.h"
#include "platform/pe/PeImage.h"
#include "platform/pe/PeResourceReader.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Changes the resources and the certificate table of a PE32 or PE32+ file in
// memory, for systems that have no resource functions of their own. The
// file's bytes go in, the edits are collected, and TryBuild hands out the
// bytes of the changed file; nothing is written anywhere. The work is done by
// the module's parts: the reader (PeResourceReader.h), the section writer
// (PeResourceSectionWriter.h), the file layout and checksum (PeFileLayout.h)
// and the certificate table (PeCertificates.h); this class holds the edits
// and checks each result before handing it out.
//
// What the build keeps: every byte of the headers and sections it does not
// rewrite, and the data appended after the last section (an installer's
// payload, the certificate table) byte for byte. What it rewrites when the
// resources changed: a new resource section, in place when the old one is the
// last section and holds nothing else, else as a new last section; the
// section table, the resource directory entry, SizeOfImage,
// SizeOfInitializedData, the offsets of the certificate table and of a COFF
// symbol table behind the sections, and the checksum when the file had one.
class FPeResourceEditor
{
public:
	// Takes a copy of the file's bytes and reads every resource of it. False
	// (logged) when the bytes are not a PE image this editor can read.
	bool TryLoad(const uint8_t* Bytes, size_t Size);
	// The same, taking the bytes over instead of copying them (a file read
	// for editing is held in memory once).
	bool TryLoad(std::vector<uint8_t>&& Bytes);

	const FPeImage& GetImage() const { return Image; }
	// The file as loaded, with the certificate entries removed so far.
	const std::vector<uint8_t>& GetFileBytes() const { return File; }

	// Removes one language version; false when there was none.
	bool DeleteResource(const FPeResourceId& Type, const FPeResourceId& Name, uint16_t Language);
	// Adds one language version, replacing one of the same type, name and language.
	void SetResource(const FPeResourceId& Type, const FPeResourceId& Name, uint16_t Language, std::vector<uint8_t> Bytes);

	size_t GetCertificateCount() const { return Image.Certificates.size(); }
	// Removes the entry at this index; the entries behind it move up one index,
	// and a table left empty is removed with its directory entry. False
	// (logged) for an index past the end.
	bool TryRemoveCertificate(size_t Index);

	// The bytes of the changed file. The result is read back before it is
	// handed out: it must parse and hold exactly the resources asked for.
	bool TryBuild(std::vector<uint8_t>& OutBytes) const;

	// The checksum the loader and the signing tools compute over a whole file
	// (the checksum field itself counts as zero).
	static uint32_t ComputeCheckSum(const uint8_t* Bytes, size_t Size, uint32_t CheckSumOffset)
	{
		return ComputePeCheckSum(Bytes, Size, CheckSumOffset);
	}
	// Writes the checksum of the bytes as they are now into their header, for
	// a file whose resources the system's own functions changed: they leave
	// the old one. A file without a checksum keeps none. False (logged) when
	// the bytes are not a PE image.
	static bool TryRefreshCheckSum(uint8_t* Bytes, size_t Size);

private:
	bool TryLoadParsed(const uint8_t* Bytes, size_t Size, std::vector<uint8_t>* Owned);
	bool IsReadBackSound(const std::vector<uint8_t>& Bytes) const;

	std::vector<uint8_t> File;
	FPeImage Image;
	FPeResourceTree Resources;
	bool bResourcesChanged = false;
};
