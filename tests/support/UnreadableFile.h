#pragma once

#include "tests/support/TestFiles.h"

#include <memory>
#include <string>

// A regular file that exists but that this process cannot open for reading.
// Holder keeps whatever makes it so; an empty result means the system offers none.
std::wstring MakeUnreadableFile(const FTempDirectory& Directory, std::shared_ptr<void>& Holder);
