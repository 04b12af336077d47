#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The four 32-bit components of a GUID, taken from its 16 bytes in the order of
// the usual text form (the first byte gives the first two hexadecimal digits):
// each component is four successive bytes read as one big-endian number, so
// A, B, C and D written as eight hexadecimal digits each give the GUID's digits
// in their usual order.
struct FGuidComponents
{
	uint32_t A = 0;
	uint32_t B = 0;
	uint32_t C = 0;
	uint32_t D = 0;
};

FGuidComponents SplitGuidBytes(const std::array<uint8_t, 16>& Bytes);

// Hands a new GUID's components out and logs them, as both systems' TryCreateGuid do.
bool StoreCreatedGuid(const wchar_t* Category, const FGuidComponents& Components, uint32_t& OutA, uint32_t& OutB,
	uint32_t& OutC, uint32_t& OutD);
