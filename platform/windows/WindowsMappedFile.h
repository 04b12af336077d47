#pragma once

#include "platform/windows/WindowsHandles.h"

#include <cstddef>
#include <cstdint>
#include <string>

// A whole executable mapped into memory, to read or to change in place. The
// members are released in reverse order: view, mapping, file.
struct FMappedFile
{
	FScopedKernelHandle File;
	FScopedKernelHandle Mapping;
	FScopedMappedView View;
	size_t Size = 0;

	uint8_t* Bytes() const { return static_cast<uint8_t*>(View.Get()); }
};

// Maps the file at Path, shared for reading unless it is to be changed. A
// size no executable has is refused under Category; every other failed step
// is logged with the system's error.
bool TryMapExecutableFile(const std::wstring& Path, bool bWritable, const wchar_t* Category, FMappedFile& OutFile);
