#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
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

	class FFakeProcessGroup : public IProcessGroup
	{
	public:
		explicit FFakeProcessGroup(std::wstring InName) : Name(std::move(InName)) {}
		std::wstring Name;
	};

	// ---- record of calls ----
	std::vector<std::wstring> Calls;
	std::vector<FRun> Runs;
	size_t CountCalls(const std::wstring& Operation) const;

	// ---- forced results and fake state ----
	std::wstring ExecutablePath;
	std::map<std::pair<std::wstring, std::wstring>, std::wstring> RegistryValues; // (sub-key, value name) -> text
	std::map<std::wstring, std::wstring> Files;                                    // path -> text content
	std::set<std::wstring> Directories;
	bool CopyFileResult = true;
	bool CreateDirectoriesResult = true;
	bool ReadFileResult = true;  // with true, reading still needs the file in Files
	bool WriteBytesResult = true;
	bool WriteTextResult = true;
	std::map<std::wstring, std::vector<uint8_t>> WrittenBytes;
	std::deque<FRunResult> RunResults; // consumed in order; DefaultRunResult when empty
	FRunResult DefaultRunResult;
	std::map<std::wstring, std::wstring> Environment;
	std::set<std::wstring> FailingEnvironmentVariables;
	bool ExecutableTypeResult = true;
	EExecutableType ExecutableType = EExecutableType::Executable64;
	bool CopyResourcesResult = true;
	bool GuidResult = true;
	uint32_t Guid[4] = {0x0123ABCD, 0x4567EF01, 0x89AB2345, 0xCDEF6789};
	bool ProcessGroupResult = true;
	bool ConsoleWidthResult = true;
	uint32_t ConsoleWidth = 80;
	std::wstring PlatformName = L"FakeOS";
	std::wstring PlatformVersion = L"1.2.3.1.0.32bit";
	std::set<std::pair<std::wstring, std::wstring>> SameFiles; // pairs that name one file (either order)

	// ---- IPlatform ----
	std::wstring GetExecutablePath() override;
	bool TryGetValueFromRegistry(const std::wstring& SubKeyName, const std::wstring& ValueName,
		std::wstring& OutValue) override;
	bool PathExists(const std::wstring& Path) override;
	bool FileExists(const std::wstring& Path) override;
	bool TryCopyFile(const std::wstring& SourcePath, const std::wstring& TargetPath) override;
	bool TryCreatePathDirectories(const std::wstring& Path, bool bLog) override;
	bool TryRunExecutable(const std::wstring& ExecutablePath, const std::optional<std::wstring>& Arguments,
		const std::optional<std::wstring>& WorkingDirectory, bool bBreakaway, bool bWait, uint32_t* OutExitCode) override;
	bool TryReadFile(const std::wstring& Path, std::wstring& OutText) override;
	bool TryWriteFile(const std::wstring& Path, const std::vector<uint8_t>& Bytes) override;
	bool TryWriteFile(const std::wstring& Path, const std::wstring& Text, bool bAppend, bool bLog) override;
	bool TrySetEnvironmentVariable(const std::wstring& Name, const std::wstring& Value) override;
	void DeleteEnvironmentVariable(const std::wstring& Name) override;
	bool TryGetExecutableType(const std::wstring& Path, EExecutableType& OutType) override;
	bool TryCopyExecutableResources(const std::wstring& SourcePath, const std::wstring& TargetPath) override;
	bool TryCreateGuid(uint32_t& OutA, uint32_t& OutB, uint32_t& OutC, uint32_t& OutD) override;
	bool TryCreateProcessGroup(const std::wstring& Name, std::shared_ptr<IProcessGroup>& OutProcessGroup) override;
	bool TryGetConsoleWidth(uint32_t& OutWidth) override;
	std::wstring GetPlatformName() override;
	std::wstring GetPlatformVersion() override;
	bool IsSameFile(const std::wstring& Left, const std::wstring& Right) override;
};
