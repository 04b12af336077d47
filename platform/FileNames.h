#pragma once

#include <filesystem>
#include <string>

// Conversions between the program's wide-string paths and the file system's
// own names. A name that cannot be converted gives false, and callers take
// that as a verdict on the name (no such file, compare the texts instead);
// so running out of memory is not turned into false but goes on to the
// operation that asked.
bool TryToFileSystemPath(const std::wstring& Path, std::filesystem::path& OutPath);
bool TryFromFileSystemPath(const std::filesystem::path& Path, std::wstring& OutPath);

// Text files carry CR LF line ends on disk where the system expects them.
bool TextFilesUseCrLf();
