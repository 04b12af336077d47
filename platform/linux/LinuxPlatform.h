#pragma once

#include "platform/GenericPlatform.h"
#include "platform/ResourceRecord.h"

#include <vector>

// The resource steps work over the portable PE resource editor; each change
// of a file is one complete rewrite of it.
class FLinuxPlatform : public FGenericPlatform
{
public:
#include "platform/SystemPlatformMembers.h"

	// The bytes of a resource the running program carries (platform/EmbeddedResources.h).
	// False without logging when the type or the name is empty or there is no such resource.
	static bool TryLoadResourceData(const std::wstring& Type, const std::wstring& Name, std::vector<uint8_t>& OutBytes);
};
