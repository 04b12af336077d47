#include "app/linux/LinuxBootstrapper.h"

#include "app/Log.h"
#include "configure/CommandLine.h"
#include "http/CurlHttpModule.h"
#include "platform/SystemErrorLog.h"
#include "platform/linux/LinuxPlatform.h"

#include <string_view>
#include <vector>

FLinuxBootstrapper::FLinuxBootstrapper(const std::wstring& FullCommandLine, const std::string& TelemetryBaseUrl)
	: FGenericBootstrapper(std::make_shared<FCommandLine>(FullCommandLine), std::make_shared<FLinuxPlatform>(),
		  std::make_unique<FCurlHttpModule>(), TelemetryBaseUrl)
{
}

namespace
{
	// Studios prepare Windows launchers here too; the name is all that tells
	// which system the output is meant for, and Windows ignores the letter case.
	bool NamesWindowsProgram(const std::wstring& Path)
	{
		constexpr std::wstring_view Lower = L".exe";
		constexpr std::wstring_view Upper = L".EXE";
		if (Path.size() < Lower.size())
		{
			return false;
		}
		const std::wstring_view Tail = std::wstring_view(Path).substr(Path.size() - Lower.size());
		for (size_t Index = 0; Index < Lower.size(); ++Index)
		{
			if (Tail[Index] != Lower[Index] && Tail[Index] != Upper[Index])
			{
				return false;
			}
		}
		return true;
	}
}

bool FLinuxBootstrapper::TryLoadEmbeddedBootstrapper(const std::wstring& OutputPath, std::vector<uint8_t>& OutBytes)
{
	constexpr const wchar_t* Category = L"FLinuxBootstrapper::TryLoadEmbeddedBootstrapper";
	return GuardOperation(Category, false, [&]
	{
		if (!NamesWindowsProgram(OutputPath))
		{
			return FLinuxPlatform::TryLoadResourceData(L"BINARY", L"BOOTSTRAPPER_EXECUTABLE", OutBytes);
		}
		// A native build configured before the Windows build carries no Windows
		// launcher (KVT_WINDOWS_LAUNCHER); the generic failure that follows
		// would not tell the user why.
		if (!FLinuxPlatform::TryLoadResourceData(L"BINARY", L"BOOTSTRAPPER_EXECUTABLE_WINDOWS", OutBytes))
		{
			Log(ELogLevel::Error, Category,
				L"Cannot write '%s' as a Windows launcher (the output name ends in .exe): this tool was built without the "
				L"Windows launcher.",
				OutputPath);
			return false;
		}
		return true;
	});
}
