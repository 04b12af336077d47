#pragma once

#include <string>

// Linux text (arguments, environment, file names) is bytes, most often UTF-8
// but not always. Program text is wide, and no name may be lost on the way:
// UTF-8 becomes its characters, and every other byte becomes one lone
// surrogate U+DC80 to U+DCFF, which becomes that byte again on the way back.
// An encoded surrogate (ED A0 80 to ED BF BF) counts as three bytes that are
// not UTF-8: read as one character, ED B3 A9 would come back as the byte E9.
// Written to a text file, such a surrogate takes its 3-byte form there, which
// reads back to the same character and so to the same name.

// Never fails: every byte string has a program text.
std::wstring DecodeSystemText(const std::string& Bytes);

// Fails for text without a system form, a value above U+10FFFF or a surrogate
// that stands for no byte (EILSEQ), and for text with a zero character, which
// the system would silently cut there (EINVAL); the caller reports the code.
bool TryEncodeSystemText(const std::wstring& Text, std::string& OutBytes, int& OutErrorCode);
