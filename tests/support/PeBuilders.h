#pragma once

#include "platform/pe/PeFormat.h"
#include "platform/pe/PeResourceReader.h"

#include <cstdint>
#include <string>
#include <vector>

// PE files written or changed byte by byte, for the cases no compiler makes
// on purpose. Values go through the product's little-endian helpers; one
// past the end of the string throws instead of writing outside it.
void PutUInt16(std::string& Bytes, size_t Offset, uint16_t Value);
void PutUInt32(std::string& Bytes, size_t Offset, uint32_t Value);
uint32_t GetUInt32(const std::string& Bytes, size_t Offset);

// A DOS header pointing at NT headers at Offset: the NT signature, the file
// header with Machine and Characteristics, and zeros for the rest of the 264
// bytes. Size 0 ends the file right after them.
std::string MakePeHeaders(uint16_t Machine, uint16_t Characteristics, uint32_t Offset = 0x80, size_t Size = 0);

// The reader on a buffer of exactly the file's size, so that a read past the
// end is a read outside the allocation (and the sanitizer build stops on it).
bool ParseExact(const std::string& Bytes, FPeImage& OutImage);
bool ReadExact(const std::string& Bytes, const std::vector<FPeResourceId>& Types, std::vector<FPeResourceData>& OutResources);

// Appends Entry (a whole certificate entry, header included) behind the
// certificate table that ends a signed file, as a second signature would;
// the signing tools only ever write one.
bool TryAppendCertificate(std::string& Image, const std::string& Entry);
