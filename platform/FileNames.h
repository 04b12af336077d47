#pragma once

#include <filesystem>
#include <string>

// Conversions between the program's wide-string paths and the file system's
// own names. They never throw: a name that cannot be converted gives false.
bool TryToFileSystemPath(const std::wstring& Path, std::filesystem::path& OutPath);
bool TryFromFileSystemPath(const std::filesystem::path& Path, std::wstring& OutPath);

// Text files carry CR LF line ends on disk where the system expects them.
bool TextFilesUseCrLf();
