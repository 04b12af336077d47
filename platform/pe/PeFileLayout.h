#pragma once

#include "platform/pe/PeImage.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The file around a new resource section: where the section goes, the file
// with it in place (section table, directory entry, image sizes, and what lies
// behind the sections moved as a whole), and the checksum over the result.
// Each Try operation logs its refusal under the caller's Category.

// Where the new resource section goes.
struct FPeSectionPlan
{
	bool bInPlace = false;
	size_t SectionIndex = 0; // the section rewritten in place, or the new one's index
	uint32_t Rva = 0;
	uint32_t RawOffset = 0;
	uint32_t EndOfSections = 0; // where the data appended to the file starts
};

// In place when the resource section is the last one in the file and in
// memory, begins with the resource tree and shares its room with nothing else;
// else as a new last section, when the section table has room for its entry.
bool TryPlanResourceSection(const FPeImage& Image, const std::vector<uint8_t>& File, const wchar_t* Category,
	FPeSectionPlan& OutPlan);

// The file with Section placed as planned and its headers updated; the
// checksum is left to WritePeCheckSum.
bool TryLayOutFile(const FPeImage& Image, const std::vector<uint8_t>& File, const FPeSectionPlan& Plan,
	const std::vector<uint8_t>& Section, const wchar_t* Category, std::vector<uint8_t>& OutBytes);

// The checksum the loader and the signing tools compute over a whole file
// (the checksum field itself counts as zero).
uint32_t ComputePeCheckSum(const uint8_t* Bytes, size_t Size, uint32_t CheckSumOffset);

// Writes the checksum of the bytes as they are now into the header Image
// describes. A checksum of zero means the file's maker left it out, and it
// stays out.
void WritePeCheckSum(uint8_t* Bytes, size_t Size, const FPeImage& Image);
