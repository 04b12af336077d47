#pragma once

// The one way into <windows.h> for every Windows-specific file.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00
#endif
#ifndef UNICODE
#define UNICODE
#endif

#include <windows.h>

// <windows.h> maps these names to their wide forms by macro; they are also the
// names of our own operations, which must not be renamed behind our back.
#undef GetCommandLine
