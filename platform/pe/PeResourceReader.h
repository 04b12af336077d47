#pragma once

#include "platform/pe/PeImage.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Reads the headers, the section table and the resource tree of a PE32 or
// PE32+ file from its bytes (and its certificate table, through
// PeCertificates.h), without the system's loader, so that resources can be
// looked at (and later rewritten) on systems that have no resource functions.
// Nothing of the file is trusted: every offset and size is checked against
// the buffer before it is followed, and a file that does not add up is a
// logged failure.

// Parses headers, section table, resource tree and certificate table. A file
// without resources or certificates parses with empty lists.
bool TryParsePeImage(const uint8_t* Bytes, size_t Size, FPeImage& OutImage);

// Copies the resources of the listed types, type by type in the list's order
// and within a type in directory order, with the bytes of every language.
bool TryReadResources(const uint8_t* Bytes, size_t Size, const std::vector<FPeResourceId>& Types,
	std::vector<FPeResourceData>& OutResources);
