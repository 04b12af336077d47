#pragma once

#include "platform/Platform.h"
#include "tests/support/TestFiles.h"

#include <memory>
#include <string>

// The store the value lookup reads, written with the system's own means in
// each of the sources the lookup asks, in its order: the registry's roots and
// views on Windows, the configuration folders on Linux. What it writes goes
// with it.
class FRegistryStore
{
public:
	FRegistryStore();
	~FRegistryStore();

	size_t SourceCount() const;
	// The value as the system's programs store a string: zero-terminated
	// REG_SZ data, or a file ending in a newline. An empty text is stored empty.
	void Set(size_t Source, const std::wstring& Text);
	bool Lookup(std::wstring& OutValue) { return Platform->TryGetValueFromRegistry(SubKey, ValueName, OutValue); }

	const std::wstring SubKey;
	const std::wstring ValueName = L"Path";
	std::shared_ptr<IPlatform> Platform;
	FTempDirectory Directory;
	// Whatever the system's store needs for the object's life.
	std::shared_ptr<void> Scope;
};
