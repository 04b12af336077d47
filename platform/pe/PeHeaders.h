#pragma once

#include "platform/pe/ExecutableType.h"
#include "platform/pe/PeFormat.h"

#include <cstddef>
#include <cstdint>

// The PE header checks behind TryGetExecutableType, over the bytes of a file
// however the system gave them to us (a mapped view on every system). They
// read nothing outside the range and log every refusal at level Error under
// the caller's category, so both systems tell the user the same.

// The largest file the headers' 32-bit offsets can describe.
inline constexpr uint64_t MaximumExecutableFileSize = PeFormat::MaximumFileSize;

// Smallest file that can hold a DOS header; the size must also fit the
// 32-bit offsets the headers use.
bool CheckExecutableFileSize(uint64_t FileSize, const wchar_t* Category);

// Classifies an executable from its DOS and NT headers. Only the DOS header
// and the first 264 bytes of the NT headers are read. Logs the result at level
// Verbose on success.
bool TryReadExecutableType(const uint8_t* Bytes, size_t Size, const wchar_t* Category, EExecutableType& OutType);

// The walk from the DOS header to the NT signature that every reader of the
// headers shares; each says how much of the NT headers it goes on to read, and
// tells its own user what went wrong.
struct FNtHeadersBound
{
	// Bytes from the NT signature on that must lie inside the file.
	uint64_t RequiredSize = 0;
	// The largest e_lfanew taken: the format declares it signed, and a reader
	// that says so refuses a negative one as it would one past the end.
	uint32_t MaximumOffset = 0;
};

enum class ENtHeadersWalk
{
	Found,
	NoDosHeader,  // no MZ, or e_lfanew outside the bound
	NoNtSignature,
};

// Bytes holds at least the DOS header (CheckExecutableFileSize). OutOffset is
// where the NT headers start once the DOS header points inside the bound
// (Found or NoNtSignature). Logs nothing.
ENtHeadersWalk WalkToNtHeaders(const uint8_t* Bytes, size_t Size, const FNtHeadersBound& Bound, uint32_t& OutOffset);
