#include "platform/GuidComponents.h"

namespace
{
	uint32_t ReadBigEndian(const std::array<uint8_t, 16>& Bytes, size_t Offset)
	{
		return (uint32_t(Bytes[Offset]) << 24) | (uint32_t(Bytes[Offset + 1]) << 16) | (uint32_t(Bytes[Offset + 2]) << 8) |
			uint32_t(Bytes[Offset + 3]);
	}
}

FGuidComponents SplitGuidBytes(const std::array<uint8_t, 16>& Bytes)
{
	return FGuidComponents{ReadBigEndian(Bytes, 0), ReadBigEndian(Bytes, 4), ReadBigEndian(Bytes, 8), ReadBigEndian(Bytes, 12)};
}
