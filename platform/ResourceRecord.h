#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One resource of an executable file: a type and a name with every language
// the file holds them in, and the bytes of the language the system picks by
// default. Copies share the bytes.
struct FResourceRecord
{
	// Numeric type, or 0 when the type has a name.
	uintptr_t TypeId = 0;
	std::wstring TypeName;
	// Numeric name, or 0 when the name is a string.
	uintptr_t NameId = 0;
	std::wstring Name;
	uint32_t Size = 0;
	std::shared_ptr<const std::vector<uint8_t>> Data;
	std::vector<uint16_t> Languages;
};

// What the configure tool takes from the application: icons, their groups and
// the version information, in the order they are enumerated.
inline constexpr uintptr_t CopiedResourceTypes[] = {3, 14, 16}; // RT_ICON, RT_GROUP_ICON, RT_VERSION

// "Type=<type>, Name=<name>", each a number as "%Xh" or a string as "'%s'".
std::wstring DescribeResourceRecord(const FResourceRecord& Record);
