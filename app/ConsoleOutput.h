#pragma once

#include <string>

// Writes one line and a line break to the standard output and flushes it.
// Text goes out as UTF-8 on both systems: a wide stream in the "C" locale
// would fail on the first character outside ASCII and stay failed.
void WriteConsoleLine(const std::wstring& Text);
