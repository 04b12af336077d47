#pragma once

#include "platform/pe/ExecutableType.h"
#include "platform/ProcessGroup.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Every contact with the operating system goes through this interface, so that
// all logic above it builds and runs on any system. The order of the virtual
// operations is fixed; implementations keep it.
class IPlatform
{
public:
	virtual ~IPlatform() = default;

	// The operations that return a value or nothing (not a Try operation's
	// bool) have no failure to report, so they catch nothing: what they throw
	// goes on to the Try operation or sequence that called them.

	// Absolute path of the running executable; empty when it cannot be found.
	virtual std::wstring GetExecutablePath() = 0;
	virtual bool TryGetValueFromRegistry(const std::wstring& SubKeyName, const std::wstring& ValueName,
		std::wstring& OutValue) = 0;
	virtual bool PathExists(const std::wstring& Path) = 0;
	virtual bool FileExists(const std::wstring& Path) = 0;
	virtual bool TryCopyFile(const std::wstring& SourcePath, const std::wstring& TargetPath) = 0;
	virtual bool TryCreatePathDirectories(const std::wstring& Path, bool bLog) = 0;
	// OutExitCode may be null; it is set to 0 before the start.
	virtual bool TryRunExecutable(const std::wstring& ExecutablePath, const std::optional<std::wstring>& Arguments,
		const std::optional<std::wstring>& WorkingDirectory, bool bBreakaway, bool bWait, uint32_t* OutExitCode) = 0;
	virtual bool TryReadFile(const std::wstring& Path, std::wstring& OutText) = 0;
	virtual bool TryWriteFile(const std::wstring& Path, const std::vector<uint8_t>& Bytes) = 0;
	virtual bool TryWriteFile(const std::wstring& Path, const std::wstring& Text, bool bAppend, bool bLog) = 0;
	virtual bool TrySetEnvironmentVariable(const std::wstring& Name, const std::wstring& Value) = 0;
	virtual void DeleteEnvironmentVariable(const std::wstring& Name) = 0;
	virtual bool TryGetExecutableType(const std::wstring& Path, EExecutableType& OutType) = 0;
	virtual bool TryCopyExecutableResources(const std::wstring& SourcePath, const std::wstring& TargetPath) = 0;
	virtual bool TryCreateGuid(uint32_t& OutA, uint32_t& OutB, uint32_t& OutC, uint32_t& OutD) = 0;
	virtual bool TryCreateProcessGroup(const std::wstring& Name, std::shared_ptr<IProcessGroup>& OutProcessGroup) = 0;
	virtual bool TryGetConsoleWidth(uint32_t& OutWidth) = 0;
	virtual std::wstring GetPlatformName() = 0;
	virtual std::wstring GetPlatformVersion() = 0;
	// True when both paths name one existing file (links and other spellings included).
	virtual bool IsSameFile(const std::wstring& Left, const std::wstring& Right) = 0;
};
