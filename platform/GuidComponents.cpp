#include "platform/GuidComponents.h"

#include "app/Log.h"

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

bool StoreCreatedGuid(const wchar_t* Category, const FGuidComponents& Components, uint32_t& OutA, uint32_t& OutB,
	uint32_t& OutC, uint32_t& OutD)
{
	OutA = Components.A;
	OutB = Components.B;
	OutC = Components.C;
	OutD = Components.D;
	Log(ELogLevel::Verbose, Category, L"Successfully created guid components: 0x%X 0x%X 0x%X 0x%X", OutA, OutB, OutC, OutD);
	return true;
}
