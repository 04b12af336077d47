#pragma once

#include "platform/Platform.h"

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <new>
#include <optional>
#include <set>
#include <tuple>

#ifdef _WIN32
inline constexpr bool OnWindows = true;
#else
inline constexpr bool OnWindows = false;
#endif

// A name in an absolute folder of the system the tests run on ("C:\L\Name" or
// "/L/Name"), so that paths over the fake platform resolve as they would there.
inline std::wstring InSampleFolder(const std::wstring& Name)
{
	return (OnWindows ? L"C:\\L\\" : L"/L/") + Name;
}

// A hand-written IPlatform for the unit tests of the sequences above it: files,
// directories, registry and environment live in maps, and any operation can be made
// to fail by its name.
class FFakePlatform : public IPlatform
{
public:
	struct FRunResult
	{
		bool bSuccess = true;
		uint32_t ExitCode = 0; // the child's exit code, or the start error when bSuccess is false
	};
	struct FRun
	{
		std::wstring ExecutablePath;
		std::optional<std::wstring> Arguments;
		std::optional<std::wstring> WorkingDirectory;
		bool bBreakaway = false;
		bool bWait = false;
		std::map<std::wstring, std::wstring> Environment; // as the child would inherit it
	};

	std::vector<FRun> Runs;
	// Operation names and environment variable names that fail, and operations
	// that throw (as running out of memory would).
	std::set<std::wstring> Failing, Throwing;
	std::wstring ExecutablePath;
	std::wstring GroupName; // of the last process group made
	std::map<std::pair<std::wstring, std::wstring>, std::wstring> RegistryValues; // (sub-key, value name) -> text
	std::map<std::wstring, std::wstring> Files;                                    // path -> text content
	std::set<std::wstring> Directories;
	std::set<std::pair<std::wstring, std::wstring>> SameFiles; // pairs that name one file (either order)
	std::deque<FRunResult> RunResults; // consumed in order; a run that exits with 0 when empty
	std::map<std::wstring, std::wstring> Environment;
	std::array<uint32_t, 4> Guid = {0x0123ABCD, 0x4567EF01, 0x89AB2345, 0xCDEF6789};
	bool ConsoleWidthResult = true;
	uint32_t ConsoleWidth = 80;
	std::wstring PlatformName = L"FakeOS";
	std::wstring PlatformVersion = L"1.2.3.1.0.32bit";

	std::wstring GetExecutablePath() override { return ExecutablePath; }
	bool TryGetValueFromRegistry(const std::wstring& SubKeyName, const std::wstring& ValueName, std::wstring& OutValue) override
	{
		const auto Found = RegistryValues.find({SubKeyName, ValueName});
		OutValue = Found != RegistryValues.end() ? Found->second : OutValue;
		return Perform(L"TryGetValueFromRegistry") && Found != RegistryValues.end();
	}
	bool PathExists(const std::wstring& Path) override { return Perform(L"PathExists") && (Files.count(Path) || Directories.count(Path)); }
	bool FileExists(const std::wstring& Path) override { return Perform(L"FileExists") && Files.count(Path); }
	bool TryCopyFile(const std::wstring&, const std::wstring&) override { return Perform(L"TryCopyFile"); }
	bool TryCreatePathDirectories(const std::wstring&, bool) override { return Perform(L"TryCreatePathDirectories"); }
	bool TryRunExecutable(const std::wstring& Path, const std::optional<std::wstring>& Arguments,
		const std::optional<std::wstring>& WorkingDirectory, bool bBreakaway, bool bWait, uint32_t* OutExitCode) override
	{
		Runs.push_back(FRun{Path, Arguments, WorkingDirectory, bBreakaway, bWait, Environment});
		FRunResult Result;
		if (!RunResults.empty())
		{
			Result = RunResults.front();
			RunResults.pop_front();
		}
		// A child that is not waited for has no exit code yet.
		*OutExitCode = (!Result.bSuccess || bWait) ? Result.ExitCode : 0;
		return Perform(L"TryRunExecutable") && Result.bSuccess;
	}
	bool TryReadFile(const std::wstring& Path, std::wstring& OutText) override
	{
		const auto Found = Files.find(Path);
		OutText = Found != Files.end() ? Found->second : std::wstring();
		return Perform(L"TryReadFile") && Found != Files.end();
	}
	bool TryWriteFile(const std::wstring&, const std::vector<uint8_t>&) override { return Perform(L"TryWriteFile(bytes)"); }
	bool TryWriteFile(const std::wstring& Path, const std::wstring& Text, bool bAppend, bool) override
	{
		return Perform(L"TryWriteFile(text)", [&] { Files[Path] = bAppend ? Files[Path] + Text : Text; });
	}
	bool TrySetEnvironmentVariable(const std::wstring& Name, const std::wstring& Value) override
	{
		return Perform(L"TrySetEnvironmentVariable", [&] { Environment[Name] = Value; }, Name);
	}
	void DeleteEnvironmentVariable(const std::wstring& Name) override { Environment.erase(Name); }
	bool TryGetExecutableType(const std::wstring&, EExecutableType&) override { return false; }
	bool TryCopyExecutableResources(const std::wstring&, const std::wstring&) override { return Perform(L"TryCopyExecutableResources"); }
	bool TryCreateGuid(uint32_t& OutA, uint32_t& OutB, uint32_t& OutC, uint32_t& OutD) override
	{
		return Perform(L"TryCreateGuid", [&] { std::tie(OutA, OutB, OutC, OutD) = std::tie(Guid[0], Guid[1], Guid[2], Guid[3]); });
	}
	bool TryCreateProcessGroup(const std::wstring& Name, std::shared_ptr<IProcessGroup>& OutProcessGroup) override
	{
		OutProcessGroup = std::make_shared<IProcessGroup>();
		return Perform(L"TryCreateProcessGroup", [&] { GroupName = Name; });
	}
	bool TryGetConsoleWidth(uint32_t& OutWidth) override
	{
		return Perform(L"TryGetConsoleWidth", [&] { OutWidth = ConsoleWidthResult ? ConsoleWidth : OutWidth; }) && ConsoleWidthResult;
	}
	std::wstring GetPlatformName() override { return PlatformName; }
	std::wstring GetPlatformVersion() override { return PlatformVersion; }
	bool IsSameFile(const std::wstring& Left, const std::wstring& Right) override
	{
		return Perform(L"IsSameFile") && (SameFiles.count({Left, Right}) || SameFiles.count({Right, Left}));
	}

private:
	// False when the test made this operation (or the one thing it names)
	// fail, else the operation takes its effect.
	bool Perform(const wchar_t* Operation, const std::function<void()>& Effect = nullptr, const std::wstring& Name = L"")
	{
		if (Throwing.count(Operation) != 0)
		{
			throw std::bad_alloc();
		}
		const bool bSuccess = Failing.count(Operation) == 0 && Failing.count(Name) == 0;
		if (bSuccess && Effect)
		{
			Effect();
		}
		return bSuccess;
	}
};
