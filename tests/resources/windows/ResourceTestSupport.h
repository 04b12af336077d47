#pragma once

#include "platform/windows/WindowsHeaders.h"

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

// Reads resources with the system's own calls, every language by itself
// (FindResourceExW), as a check independent of the product's reader.
using FResourceKey = std::tuple<uint32_t, std::wstring, uint16_t>; // type, name ("#101" or the text), language
std::map<FResourceKey, std::string> ReadResourcesByLanguage(const std::wstring& Path, const std::vector<uint32_t>& Types);

// The bytes FindResourceW picks for a type and name (the default language).
std::string ReadDefaultResource(const std::wstring& Path, uint32_t Type, const std::wstring& Name);

// Certificate table entries as the image-help library counts them; -1 on failure.
int CountCertificates(const std::wstring& Path);

// Wine implements resource updates without deletion; a few assertions depend on it.
bool IsRunningUnderWine();
