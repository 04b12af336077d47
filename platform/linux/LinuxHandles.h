#pragma once

#include "platform/ScopedHandle.h"

#include <unistd.h>

// File descriptors. Linux releases a descriptor even when close() reports an
// error, so a close is never retried.
struct FFileDescriptorTraits
{
	using HandleType = int;
	static HandleType Invalid() { return -1; }
	static bool IsValid(HandleType Handle) { return Handle >= 0; }
	static bool Release(HandleType Handle)
	{
		::close(Handle);
		return true;
	}
};

using FScopedFileDescriptor = FScopedHandle<FFileDescriptorTraits>;
