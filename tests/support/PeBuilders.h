#pragma once

#include "platform/pe/PeFormat.h"
#include "platform/pe/PeResourceReader.h"

#include <cstdint>
#include <string>
#include <vector>

// PE files changed byte by byte, for the cases no compiler makes on purpose.
void PutUInt16(std::string& Bytes, size_t Offset, uint16_t Value);
void PutUInt32(std::string& Bytes, size_t Offset, uint32_t Value);
uint32_t GetUInt32(const std::string& Bytes, size_t Offset);

// A DOS header pointing at NT headers at Offset (signature, Machine, Characteristics,
// zeros up to 264 bytes), cut to Size bytes (0: up to the headers' end).
std::string MakePeHeaders(uint16_t Machine, uint16_t Characteristics, uint32_t Offset = 0x80, size_t Size = 0);

// The reader on a buffer of exactly the file's size, so that a read past the
// end is a read outside the allocation (and the sanitizer build stops on it).
bool ParseExact(const std::string& Bytes, FPeImage& OutImage);

// Appends a whole certificate entry to a signed file's table: signing tools write only one.
bool TryAppendCertificate(std::string& Image, const std::string& Entry);
