#pragma once

#include "platform/pe/PeFormat.h"

#include <cstdint>
#include <string>

// PE files written byte by byte, for the cases no compiler makes on purpose.

using PeFormat::MachineAmd64;
using PeFormat::MachineI386;
// A machine the executable-type check does not take.
constexpr uint16_t MachineArm64 = 0xAA64;
constexpr uint16_t ExecutableImage = PeFormat::ExecutableImageFlag;
constexpr uint16_t DllImage = 0x2000; // IMAGE_FILE_DLL

// A DOS header pointing at NT headers at Offset: the NT signature, the file
// header with Machine and Characteristics, and zeros for the rest of the 264
// bytes. Size 0 ends the file right after them.
std::string MakePeHeaders(uint16_t Machine, uint16_t Characteristics, uint32_t Offset = 0x80, size_t Size = 0);

// Little-endian values in a file's bytes; a value past the end throws
// std::out_of_range instead of writing outside the string.
void PutUInt16(std::string& Bytes, size_t Offset, uint16_t Value);
void PutUInt32(std::string& Bytes, size_t Offset, uint32_t Value);
uint32_t GetUInt32(const std::string& Bytes, size_t Offset);

// The certificate table's entry in a 64-bit image's data directories.
struct FSecurityDirectory
{
	uint32_t Offset = 0; // a file offset, unlike the other directories
	uint32_t Size = 0;
};
bool TryReadSecurityDirectory(const std::string& Image, FSecurityDirectory& OutDirectory);

// Appends a copy of the image's first certificate entry as a second entry and
// grows the directory to match; osslsigncode itself only ever writes one.
bool TryAppendSecondCertificate(std::string& Image);
