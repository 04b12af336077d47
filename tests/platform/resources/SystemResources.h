#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>

// What the resource suite needs to know of the system it runs on.
#ifdef _WIN32
#include "platform/windows/WindowsPlatform.h"
using FSystemPlatform = FWindowsPlatform;
inline const std::wstring SystemClass = L"FWindowsPlatform";
#else
#include "platform/linux/LinuxPlatform.h"
using FSystemPlatform = FLinuxPlatform;
inline const std::wstring SystemClass = L"FLinuxPlatform";
#endif

// Every resource of a file, each language by itself, as the system's resource
// functions (wrestool on Linux) read them; type and name "14" or "MAINICON".
using FResourceKey = std::tuple<std::wstring, std::wstring, uint16_t>;
using FResources = std::map<FResourceKey, std::string>;
FResources ReadResources(const std::wstring& Path);

// Wine's resource update ignores deletions (UpdateResourceW without data).
bool UpdatesDeleteResources();
