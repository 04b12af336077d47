#pragma once

#include <string>

// Text handed to the system (arguments, environment, file names) travels as
// UTF-8. Fails for text without a UTF-8 form and for text with a zero
// character, which the system would silently cut there; the caller then
// reports EILSEQ or EINVAL.
bool TryEncodeSystemText(const std::wstring& Text, std::string& OutBytes, int& OutErrorCode);
