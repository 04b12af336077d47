#pragma once

#include "platform/Platform.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

// A hand-written IPlatform for the unit tests of the sequences above it: every
// operation has a forced result, and every call is recorded in order.
// Files and directories live in maps; nothing touches the real system.
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

	struct FFakeProcessGroup : IProcessGroup
	{
		explicit FFakeProcessGroup(std::wstring InName) : Name(std::move(InName)) {}
		std::wstring Name;
	};

	// ---- record of calls ----
	std::vector<std::wstring> Calls;
	std::vector<FRun> Runs;
	size_t CountCalls(const std::wstring& Operation) const
	{
		return static_cast<size_t>(std::count(Calls.begin(), Calls.end(), Operation));
	}

	// ---- forced results and fake state ----
	std::wstring ExecutablePath;
	std::map<std::pair<std::wstring, std::wstring>, std::wstring> RegistryValues; // (sub-key, value name) -> text
	std::map<std::wstring, std::wstring> Files;                                    // path -> text content
	std::set<std::wstring> Directories;
	bool WriteTextResult = true;
	std::deque<FRunResult> RunResults; // consumed in order; a run that exits with 0 when empty
	std::map<std::wstring, std::wstring> Environment;
	std::set<std::wstring> FailingEnvironmentVariables;
	bool GuidResult = true;
	uint32_t Guid[4] = {0x0123ABCD, 0x4567EF01, 0x89AB2345, 0xCDEF6789};
	bool ProcessGroupResult = true;
	bool ConsoleWidthResult = true;
	uint32_t ConsoleWidth = 80;
	std::wstring PlatformName = L"FakeOS";
	std::wstring PlatformVersion = L"1.2.3.1.0.32bit";
	std::set<std::pair<std::wstring, std::wstring>> SameFiles; // pairs that name one file (either order)

	// ---- IPlatform ----
	std::wstring GetExecutablePath() override { return Answer(L"GetExecutablePath", ExecutablePath); }
	bool TryGetValueFromRegistry(const std::wstring& SubKeyName, const std::wstring& ValueName,
		std::wstring& OutValue) override
	{
		const auto Found = RegistryValues.find({SubKeyName, ValueName});
		OutValue = Found != RegistryValues.end() ? Found->second : OutValue;
		return Answer(L"TryGetValueFromRegistry", Found != RegistryValues.end());
	}
	bool PathExists(const std::wstring& Path) override
	{
		return Answer(L"PathExists", Files.count(Path) != 0 || Directories.count(Path) != 0);
	}
	bool FileExists(const std::wstring& Path) override { return Answer(L"FileExists", Files.count(Path) != 0); }
	bool TryCopyFile(const std::wstring&, const std::wstring&) override { return Answer(L"TryCopyFile", true); }
	bool TryCreatePathDirectories(const std::wstring&, bool) override { return Answer(L"TryCreatePathDirectories", true); }
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
		return Answer(L"TryRunExecutable", Result.bSuccess);
	}
	bool TryReadFile(const std::wstring& Path, std::wstring& OutText) override
	{
		const auto Found = Files.find(Path);
		OutText = Found != Files.end() ? Found->second : std::wstring();
		return Answer(L"TryReadFile", Found != Files.end());
	}
	bool TryWriteFile(const std::wstring&, const std::vector<uint8_t>&) override { return Answer(L"TryWriteFile(bytes)", true); }
	bool TryWriteFile(const std::wstring& Path, const std::wstring& Text, bool bAppend, bool) override
	{
		if (WriteTextResult)
		{
			Files[Path] = bAppend ? Files[Path] + Text : Text;
		}
		return Answer(L"TryWriteFile(text)", WriteTextResult);
	}
	bool TrySetEnvironmentVariable(const std::wstring& Name, const std::wstring& Value) override
	{
		const bool bSet = FailingEnvironmentVariables.count(Name) == 0;
		if (bSet)
		{
			Environment[Name] = Value;
		}
		return Answer(L"TrySetEnvironmentVariable", bSet);
	}
	void DeleteEnvironmentVariable(const std::wstring& Name) override
	{
		Calls.push_back(L"DeleteEnvironmentVariable");
		Environment.erase(Name);
	}
	// No test above the platform asks for these yet.
	bool TryGetExecutableType(const std::wstring&, EExecutableType&) override { return Answer(L"TryGetExecutableType", false); }
	bool TryCopyExecutableResources(const std::wstring&, const std::wstring&) override
	{
		return Answer(L"TryCopyExecutableResources", true);
	}
	bool TryCreateGuid(uint32_t& OutA, uint32_t& OutB, uint32_t& OutC, uint32_t& OutD) override
	{
		if (GuidResult)
		{
			std::tie(OutA, OutB, OutC, OutD) = std::tie(Guid[0], Guid[1], Guid[2], Guid[3]);
		}
		return Answer(L"TryCreateGuid", GuidResult);
	}
	bool TryCreateProcessGroup(const std::wstring& Name, std::shared_ptr<IProcessGroup>& OutProcessGroup) override
	{
		OutProcessGroup = ProcessGroupResult ? std::make_shared<FFakeProcessGroup>(Name) : nullptr;
		return Answer(L"TryCreateProcessGroup", ProcessGroupResult);
	}
	bool TryGetConsoleWidth(uint32_t& OutWidth) override
	{
		OutWidth = ConsoleWidthResult ? ConsoleWidth : OutWidth;
		return Answer(L"TryGetConsoleWidth", ConsoleWidthResult);
	}
	std::wstring GetPlatformName() override { return Answer(L"GetPlatformName", PlatformName); }
	std::wstring GetPlatformVersion() override { return Answer(L"GetPlatformVersion", PlatformVersion); }
	bool IsSameFile(const std::wstring& Left, const std::wstring& Right) override
	{
		return Answer(L"IsSameFile", SameFiles.count({Left, Right}) != 0 || SameFiles.count({Right, Left}) != 0);
	}

private:
	// Records the call and passes its result through.
	template <typename T>
	const T& Answer(const wchar_t* Operation, const T& Result)
	{
		Calls.push_back(Operation);
		return Result;
	}
};
