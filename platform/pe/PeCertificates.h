#pragma once

#include "platform/pe/PeImage.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The certificate table: the one directory whose address is a file offset,
// which lies behind the sections and is not loaded. Reading it is part of
// every parse; removing an entry is the editor's, and so is checking that a
// rebuilt file still carries every entry unchanged.

// Reads the entries the certificate directory points at into Image.Certificates.
// True with no entries when the file has no table; false (logged under Category)
// when the table or an entry does not fit the file.
bool TryReadCertificateTable(const uint8_t* Bytes, size_t Size, const wchar_t* Category, FPeImage& Image);

// Cuts entry Index out of the file with its padding, shrinks the directory (a
// table left empty loses its address too) and moves a symbol table behind it
// up. File and Image change only when the result reads back with one entry
// fewer; false (logged under Category) otherwise.
bool TryRemoveCertificateEntry(std::vector<uint8_t>& File, FPeImage& Image, size_t Index, const wchar_t* Category);

// Whether the new file holds the old file's entries, in order and byte for
// byte, wherever they now lie.
bool AreCertificatesKept(const std::vector<uint8_t>& OldFile, const FPeImage& OldImage, const std::vector<uint8_t>& NewFile,
	const FPeImage& NewImage);
