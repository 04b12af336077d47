#include "bootstrap/GenericBootstrapper.h"

#include "app/Log.h"
#include "platform/Platform.h"
#include "platform/SystemErrorLog.h"

#include <vector>

bool FGenericBootstrapper::TryCopyBootstrapperApp(const std::wstring& OutputPath)
{
	// One category on every system, as the log has always named this step: readers
	// and tools match it, so it stays although the code is generic.
	constexpr const wchar_t* Category = L"FWindowsBootstrapper::TryCopyBootstrapperApp";
	const auto Fail = [&]
	{
		Log(ELogLevel::Error, Category, L"Failed to write the Bootstrapper executable into file on disk");
		return false;
	};
	return GuardWithOwnFailure(Fail, [&]
	{
		// The launcher travels inside the running program (the configure tool),
		// so a tool of one build always writes the launcher of the same build
		// (the native tool's Windows launcher comes from the Windows build).
		std::vector<uint8_t> Bytes;
		if (!TryLoadEmbeddedBootstrapper(OutputPath, Bytes))
		{
			Log(ELogLevel::Error, Category, L"Failed to acquire the Bootstrapper executable in embedded resources");
			return false;
		}
		if (!GetPlatform()->TryWriteFile(OutputPath, Bytes))
		{
			return Fail();
		}
		Log(ELogLevel::Verbose, Category, L"Successfully copied Bootstrapper executable into: '%s'", OutputPath);
		return true;
	});
}
