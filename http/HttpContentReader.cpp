#include "http/HttpContentReader.h"

#include <algorithm>
#include <cstring>

uint64_t FMemoryContentReader::ReadAt(void* Destination, uint64_t MaxCount, uint64_t Offset)
{
	if (Offset >= Bytes.size())
	{
		return 0;
	}
	const uint64_t Count = std::min<uint64_t>(MaxCount, Bytes.size() - Offset);
	std::memcpy(Destination, Bytes.data() + Offset, static_cast<size_t>(Count));
	return Count;
}
