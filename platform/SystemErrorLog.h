#pragma once

#include <cstdint>
#include <string>

// The one line a failed system call leaves in the log, on every system:
// "<message>: ErrorCode=0x<hex> (<decimal>), ErrorMessage=<system text>", or
// "<message>: Unknown reason" when there is no code or the system has no text.
std::wstring FormatSystemErrorLine(const std::wstring& Message, uint32_t ErrorCode, const std::wstring& SystemText);

// Logs that line for an error code the caller read right after the failed
// call, with the running system's text for it, in the platform's category for
// such lines. For shared code that gets the code from a per-system primitive.
void LogSystemErrorCode(const std::wstring& Message, uint32_t ErrorCode);

// For the catch at an operation's boundary: logs what was thrown (out of memory
// or anything else) as one Error line of the operation. Call it only inside a
// catch block. Never throws.
void LogCurrentException(const wchar_t* Category) noexcept;
