#pragma once

#include "http/CurlLibrary.h"
#include "platform/ScopedHandle.h"

// libcurl's own objects, released through the library table that made them
// (a handle exists only when the library was there to make it).

struct FCurlEasyTraits
{
	using HandleType = CURL*;
	static HandleType Invalid() { return nullptr; }
	static bool IsValid(HandleType Handle) { return Handle != nullptr; }
	static bool Release(HandleType Handle)
	{
		GetCurlLibrary()->EasyCleanup(Handle);
		return true;
	}
};

struct FCurlHeaderListTraits
{
	using HandleType = curl_slist*;
	static HandleType Invalid() { return nullptr; }
	static bool IsValid(HandleType Handle) { return Handle != nullptr; }
	static bool Release(HandleType Handle)
	{
		GetCurlLibrary()->SlistFreeAll(Handle);
		return true;
	}
};

// Text that libcurl allocated for us (curl_easy_escape's result).
struct FCurlTextTraits
{
	using HandleType = char*;
	static HandleType Invalid() { return nullptr; }
	static bool IsValid(HandleType Handle) { return Handle != nullptr; }
	static bool Release(HandleType Handle)
	{
		GetCurlLibrary()->Free(Handle);
		return true;
	}
};

using FScopedCurlEasy = FScopedHandle<FCurlEasyTraits>;
using FScopedCurlHeaderList = FScopedHandle<FCurlHeaderListTraits>;
using FScopedCurlText = FScopedHandle<FCurlTextTraits>;
