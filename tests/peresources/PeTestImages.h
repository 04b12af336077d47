#pragma once

#include "platform/pe/PeResourceReader.h"
#include "tests/resources/PeTestFiles.h"

#include <cstdint>
#include <string>
#include <vector>

// The PE files made for these tests by windres and lld-link (make-fixtures.sh);
// their bytes are read and changed with the helpers of PeTestFiles.h.
std::string ReadFixture(const std::string& Name);

// Parses from a buffer of exactly the file's size, so that a read past the
// end is a read outside the allocation (and the sanitizer build stops on it).
bool ParseExact(const std::string& Bytes, FPeImage& OutImage);
bool ReadExact(const std::string& Bytes, const std::vector<FPeResourceId>& Types, std::vector<FPeResourceData>& OutResources);

// One line of wrestool -l: a language version of a resource and where it lies.
struct FListedResource
{
	FPeResourceId Type;
	FPeResourceId Name;
	uint16_t Language = 0;
	uint32_t DataRva = 0; // what wrestool calls the offset
	uint32_t Size = 0;
	bool operator==(const FListedResource& Other) const = default;
};
std::vector<FListedResource> ReadListing(const std::string& Name);
std::wstring Describe(const FListedResource& Resource);
