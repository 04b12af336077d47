#pragma once

#include <string>

// A name in an absolute folder of the system the tests run on ("C:\L\Name" or
// "/L/Name"), so that the sequences over the fake platform resolve paths as
// the launcher would there.
#ifdef _WIN32
inline constexpr bool OnWindows = true;
#else
inline constexpr bool OnWindows = false;
#endif

inline std::wstring InSampleFolder(const std::wstring& Name)
{
	return (OnWindows ? L"C:\\L\\" : L"/L/") + Name;
}
