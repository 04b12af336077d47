#pragma once

#include <cstdint>
#include <filesystem>

// What makes a file itself, whatever name reaches it (another letter case,
// a short name, a hard or symbolic link).
struct FFileIdentity
{
	uint64_t Device = 0;
	uint64_t Index = 0;
	bool operator==(const FFileIdentity&) const = default;
};

bool TryGetFileIdentity(const std::filesystem::path& Path, FFileIdentity& OutIdentity);
