#pragma once

#include "platform/ScopedHandle.h"
#include "platform/windows/WindowsHeaders.h"

// Kernel objects: processes, threads, files, jobs, mappings. Both NULL and
// INVALID_HANDLE_VALUE mean "no handle" (the API uses either, depending on the call).
struct FKernelHandleTraits
{
	using HandleType = HANDLE;
	static HandleType Invalid() { return nullptr; }
	static bool IsValid(HandleType Handle) { return Handle != nullptr && Handle != INVALID_HANDLE_VALUE; }
	static bool Release(HandleType Handle) { return ::CloseHandle(Handle) != FALSE; }
};

struct FRegistryKeyTraits
{
	using HandleType = HKEY;
	static HandleType Invalid() { return nullptr; }
	static bool IsValid(HandleType Handle) { return Handle != nullptr; }
	static bool Release(HandleType Handle) { return ::RegCloseKey(Handle) == ERROR_SUCCESS; }
};

struct FModuleTraits
{
	using HandleType = HMODULE;
	static HandleType Invalid() { return nullptr; }
	static bool IsValid(HandleType Handle) { return Handle != nullptr; }
	static bool Release(HandleType Handle) { return ::FreeLibrary(Handle) != FALSE; }
};

// A pending resource update is discarded unless it was committed and detached.
struct FResourceUpdateTraits
{
	using HandleType = HANDLE;
	static HandleType Invalid() { return nullptr; }
	static bool IsValid(HandleType Handle) { return Handle != nullptr; }
	static bool Release(HandleType Handle) { return ::EndUpdateResourceW(Handle, TRUE) != FALSE; }
};

// Memory the system allocated for us with LocalAlloc (FormatMessageW's buffer).
struct FLocalMemoryTraits
{
	using HandleType = HLOCAL;
	static HandleType Invalid() { return nullptr; }
	static bool IsValid(HandleType Handle) { return Handle != nullptr; }
	static bool Release(HandleType Handle) { return ::LocalFree(Handle) == nullptr; }
};

// A view of a file mapping (MapViewOfFile).
struct FMappedViewTraits
{
	using HandleType = void*;
	static HandleType Invalid() { return nullptr; }
	static bool IsValid(HandleType View) { return View != nullptr; }
	static bool Release(HandleType View) { return ::UnmapViewOfFile(View) != FALSE; }
};

using FScopedKernelHandle = FScopedHandle<FKernelHandleTraits>;
using FScopedRegistryKey = FScopedHandle<FRegistryKeyTraits>;
using FScopedModule = FScopedHandle<FModuleTraits>;
using FScopedResourceUpdate = FScopedHandle<FResourceUpdateTraits>;
using FScopedLocalMemory = FScopedHandle<FLocalMemoryTraits>;
using FScopedMappedView = FScopedHandle<FMappedViewTraits>;
