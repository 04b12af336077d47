#pragma once

#include <cstdint>
#include <string>

// PE files written byte by byte, for the cases no compiler makes on purpose.

constexpr uint16_t MachineI386 = 0x014C;
constexpr uint16_t MachineAmd64 = 0x8664;
constexpr uint16_t MachineArm64 = 0xAA64;
constexpr uint16_t ExecutableImage = 0x0002;
constexpr uint16_t DllImage = 0x2000;

// A DOS header pointing at NT headers at Offset: the NT signature, the file
// header with Machine and Characteristics, and zeros for the rest of the 264
// bytes. Size 0 ends the file right after them.
std::string MakePeHeaders(uint16_t Machine, uint16_t Characteristics, uint32_t Offset = 0x80, size_t Size = 0);

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
