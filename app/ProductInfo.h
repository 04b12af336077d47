#pragma once

#include "BuildConfig.h"

inline constexpr const wchar_t* ProductName = L"Zorvan Online Services Bootstrapper";
inline constexpr const wchar_t* VersionTag = KVT_VERSION_TAG;

// Identity that travels with every telemetry upload.
inline constexpr const wchar_t* AnalyticsAppID = L"ZorvanOnlineServices.BootStrapper";
inline constexpr const wchar_t* AnalyticsAppEnvironment = L"prod";
