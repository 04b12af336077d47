#pragma once

#include "platform/GuidComponents.h"
#include "platform/windows/WindowsHeaders.h"

// A = Data1, B = Data2 and Data3, C and D the eight bytes of Data4: the GUID's
// bytes in the order of its text form.
inline FGuidComponents SplitGuid(const GUID& Guid)
{
	std::array<uint8_t, 16> Bytes{};
	Bytes[0] = static_cast<uint8_t>(Guid.Data1 >> 24);
	Bytes[1] = static_cast<uint8_t>(Guid.Data1 >> 16);
	Bytes[2] = static_cast<uint8_t>(Guid.Data1 >> 8);
	Bytes[3] = static_cast<uint8_t>(Guid.Data1);
	Bytes[4] = static_cast<uint8_t>(Guid.Data2 >> 8);
	Bytes[5] = static_cast<uint8_t>(Guid.Data2);
	Bytes[6] = static_cast<uint8_t>(Guid.Data3 >> 8);
	Bytes[7] = static_cast<uint8_t>(Guid.Data3);
	for (size_t Index = 0; Index < 8; ++Index)
	{
		Bytes[8 + Index] = Guid.Data4[Index];
	}
	return SplitGuidBytes(Bytes);
}
