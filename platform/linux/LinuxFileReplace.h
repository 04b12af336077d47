#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

// Reads a whole regular file. A file larger than MaximumSize is refused with
// EFBIG before anything is read or allocated. Returns 0 or the errno of the
// failed call.
int ReadWholeFile(const std::filesystem::path& Path, std::vector<uint8_t>& OutBytes, uint64_t MaximumSize);
