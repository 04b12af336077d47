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

// A text file's bytes: UTF-8 without a byte-order mark, each LF written as
// CR LF where the system's text files have it. False when the text has no
// UTF-8 form. Every writer of text files (the file operations, the log)
// goes through it.
bool TryEncodeTextFile(const std::wstring& Text, std::string& OutBytes);
