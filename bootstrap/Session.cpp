#include "bootstrap/GenericBootstrapper.h"

#include "app/Log.h"
#include "platform/Platform.h"
#include "platform/RandomSeed.h"
#include "platform/SystemErrorLog.h"

#include <chrono>
#include <random>

namespace
{
	// The system's seed; the clock only when even that source fails, so that a
	// session still gets a GUID.
	uint32_t MakeFallbackSeed()
	{
		if (const std::optional<uint32_t> Seed = ReadRandomSeed())
		{
			return *Seed;
		}
		return static_cast<uint32_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
	}
}

// No catch: an empty GUID would name no session. What is thrown goes on to
// the session's creation, which fails.
std::wstring FGenericBootstrapper::CreateGuid()
{
	constexpr const wchar_t* Category = L"FGenericBootstrapper::CreateGuid";
	uint32_t G1 = 0;
	uint32_t G2 = 0;
	uint32_t G3 = 0;
	uint32_t G4 = 0;
	if (!GetPlatform()->TryCreateGuid(G1, G2, G3, G4))
	{
		Log(ELogLevel::Error, Category, L"Platform API failed, generating manually.");
		std::mt19937 Generator(MakeFallbackSeed());
		G1 = static_cast<uint32_t>(Generator());
		G2 = static_cast<uint32_t>(Generator());
		G3 = static_cast<uint32_t>(Generator());
		G4 = static_cast<uint32_t>(Generator());
	}
	return FormatString(L"%08x-%04x-%04x-%04x-%04x%08x", G1, G2 >> 16, G2 & 0xFFFFu, G3 >> 16, G3 & 0xFFFFu, G4);
}

bool FGenericBootstrapper::TrySetupEnvironment(const std::wstring& SessionGuid)
{
	// One category on every system: readers of the log know the step by this name.
	constexpr const wchar_t* Category = L"FWindowsBootstrapper::TrySetupEnvironment";
	return GuardOperation(Category, false, [&]
	{
		IPlatform* const Services = GetPlatform();
		const std::wstring GuidVariable = GetSessionGuidVariableName();
		if (!Services->TrySetEnvironmentVariable(GuidVariable, SessionGuid))
		{
			Log(ELogLevel::Error, Category, L"Failed to set environment variable: '%s=%s'", GuidVariable, SessionGuid);
			return false;
		}
		for (const wchar_t* OverlayVariable : {L"KVT_OVERLAY_ENABLE_VULKAN_WIN32", L"KVT_OVERLAY_ENABLE_VULKAN_WIN64"})
		{
			if (!Services->TrySetEnvironmentVariable(OverlayVariable, L"1"))
			{
				Log(ELogLevel::Error, Category, L"Failed to set environment variable: '%s=%s'", OverlayVariable, L"1");
				return false;
			}
		}
		Log(ELogLevel::Verbose, Category, L"Successfully set up the environment.");
		return true;
	});
}

bool FGenericBootstrapper::TryCreateSession(const FBootstrapperConfig&, std::shared_ptr<IProcessGroup>& OutProcessGroup,
	std::wstring& OutSessionGuid)
{
	constexpr const wchar_t* Category = L"FGenericBootstrapper::TryCreateSession";
	return GuardOperation(Category, false, [&]
	{
		const std::wstring SessionGuid = CreateGuid();
		Log(ELogLevel::Verbose, Category, L"Generated Session GUID: '%s'.", SessionGuid);
		// The caller gets the GUID even when a later step fails.
		OutSessionGuid = SessionGuid;

		if (!TrySetupEnvironment(SessionGuid))
		{
			Log(ELogLevel::Error, Category, L"Failed to set up environment.");
			return false;
		}
		if (!GetPlatform()->TryCreateProcessGroup(SessionGuid, OutProcessGroup))
		{
			Log(ELogLevel::Error, Category, L"Failed to create a new process group.");
			return false;
		}
		Log(ELogLevel::Verbose, Category, L"Successfully created a new session.");
		return true;
	});
}
