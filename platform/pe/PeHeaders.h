#pragma once

#include "platform/pe/ExecutableType.h"

#include <cstddef>
#include <cstdint>

// The PE header checks behind TryGetExecutableType, over the bytes of a file
// however the system gave them to us (a mapped view on every system). They
// read nothing outside the range and log every refusal at level Error under
// the caller's category, so both systems tell the user the same.

// The largest file the headers' 32-bit offsets can describe.
inline constexpr uint64_t MaximumExecutableFileSize = 0xFFFFFFFEull;

// Smallest file that can hold a DOS header; the size must also fit the
// 32-bit offsets the headers use.
bool CheckExecutableFileSize(uint64_t FileSize, const wchar_t* Category);

// Classifies an executable from its DOS and NT headers. Only the DOS header
// and the first 264 bytes of the NT headers are read. Logs the result at level
// Verbose on success.
bool TryReadExecutableType(const uint8_t* Bytes, size_t Size, const wchar_t* Category, EExecutableType& OutType);
