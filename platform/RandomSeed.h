#pragma once

#include <cstdint>
#include <optional>

// One 32-bit seed from the system's source of randomness, for the session
// GUID's fallback generator; none when that source fails. Each system gives
// it (platform/windows/WindowsRandomSeed.cpp, platform/linux/LinuxRandomSeed.cpp)
// as a free function: it is no service of the platform object, only a seed.
// Logs nothing: the caller's fallback has its own line.
std::optional<uint32_t> ReadRandomSeed();
