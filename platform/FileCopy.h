#pragma once

#include <filesystem>

// Copies a file, replacing an existing target whatever its times or size.
bool CopyFileReplacing(const std::filesystem::path& Source, const std::filesystem::path& Target);
