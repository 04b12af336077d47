#include "app/windows/WindowsEntryEnvironment.h"

#include "app/windows/WindowsBootstrapper.h"
#include "platform/SystemErrorLog.h"
#include "platform/windows/WindowsHeaders.h"

#include <vector>

bool TryExpandLogFilePath(const wchar_t* Template, std::wstring& OutPath)
{
	return GuardOperation(L"TryExpandLogFilePath", false, [&]
	{
		// The first call measures; the environment may change in between, so
		// the second call's answer decides.
		DWORD Needed = ::ExpandEnvironmentStringsW(Template, nullptr, 0);
		for (int Attempt = 0; Attempt < 4 && Needed != 0; ++Attempt)
		{
			std::vector<wchar_t> Buffer(Needed, L'\0');
			const DWORD Written = ::ExpandEnvironmentStringsW(Template, Buffer.data(), Needed);
			if (Written == 0)
			{
				return false;
			}
			if (Written <= Needed)
			{
				OutPath.assign(Buffer.data(), Written - 1);
				return true;
			}
			Needed = Written;
		}
		return false;
	});
}

void RestrictDllSearchToSystemFolder()
{
	using FSetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);
	const HMODULE Kernel = ::GetModuleHandleW(L"kernel32.dll");
	const FARPROC Address = Kernel != nullptr ? ::GetProcAddress(Kernel, "SetDefaultDllDirectories") : nullptr;
	if (Address != nullptr)
	{
		reinterpret_cast<FSetDefaultDllDirectories>(reinterpret_cast<void (*)()>(Address))(LOAD_LIBRARY_SEARCH_SYSTEM32);
	}
}

FEntryEnvironment MakeWindowsEntryEnvironment(const std::string& TelemetryBaseUrl)
{
	FEntryEnvironment Environment;
	Environment.WriteDebugOutput = [](const std::wstring& Text) { ::OutputDebugStringW(Text.c_str()); };
	Environment.TryGetLogFilePath = [](std::wstring& OutPath) { return TryExpandLogFilePath(LogFilePathTemplate, OutPath); };
	Environment.CreateApplication = [TelemetryBaseUrl]() -> std::unique_ptr<IBootstrapper>
	{ return std::make_unique<FWindowsBootstrapper>(TelemetryBaseUrl); };
	return Environment;
}
