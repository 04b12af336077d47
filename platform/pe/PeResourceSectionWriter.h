#pragma once

#include "platform/pe/PeImage.h"

#include <cstdint>
#include <vector>

// Writes a resource tree as the bytes of a resource section that will lie at
// SectionRva: the directory tables level by level, the name strings, the data
// entries and the data, each block on an 8-byte boundary. False (logged under
// Category) when the tree does not fit one section: more than 0xFFFF entries
// of one directory, a name longer than 0xFFFF code units, or a section that
// would reach past 2 GiB in memory.
bool TryWriteResourceSection(const FPeResourceTree& Resources, uint32_t SectionRva, const wchar_t* Category,
	std::vector<uint8_t>& OutSection);
