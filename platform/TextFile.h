#pragma once

#include <string>

// A text file's bytes: UTF-8 without a byte-order mark, each LF written as
// CR LF where the system's text files have it. False when the text has no
// UTF-8 form. Every writer of text files (the file operations, the log)
// goes through it.
bool TryEncodeTextFile(const std::wstring& Text, std::string& OutBytes);
