#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

// Whole-file reads and writes for the resource editor, which changes a file
// by writing all of it anew. Each returns 0 or the errno of the failed call.

int ReadWholeFile(const std::filesystem::path& Path, std::vector<uint8_t>& OutBytes);

// Writes the bytes to a new file beside Path, flushes it to disk, reads it
// back, and only when it reads back exactly renames it over Path, which then
// keeps its permission bits. On failure Path is untouched and the new file is
// gone.
int ReplaceFileContents(const std::filesystem::path& Path, const std::vector<uint8_t>& Bytes);
