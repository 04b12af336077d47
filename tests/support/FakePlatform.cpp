#include "tests/support/FakePlatform.h"

#include <algorithm>

size_t FFakePlatform::CountCalls(const std::wstring& Operation) const
{
	return static_cast<size_t>(std::count(Calls.begin(), Calls.end(), Operation));
}

std::wstring FFakePlatform::GetExecutablePath()
{
	Calls.push_back(L"GetExecutablePath");
	return ExecutablePath;
}

bool FFakePlatform::TryGetValueFromRegistry(const std::wstring& SubKeyName, const std::wstring& ValueName,
	std::wstring& OutValue)
{
	Calls.push_back(L"TryGetValueFromRegistry");
	const auto Found = RegistryValues.find({SubKeyName, ValueName});
	if (Found == RegistryValues.end())
	{
		return false;
	}
	OutValue = Found->second;
	return true;
}

bool FFakePlatform::PathExists(const std::wstring& Path)
{
	Calls.push_back(L"PathExists");
	return Files.count(Path) != 0 || Directories.count(Path) != 0;
}

bool FFakePlatform::FileExists(const std::wstring& Path)
{
	Calls.push_back(L"FileExists");
	return Files.count(Path) != 0;
}

bool FFakePlatform::TryCopyFile(const std::wstring& SourcePath, const std::wstring& TargetPath)
{
	Calls.push_back(L"TryCopyFile");
	if (!CopyFileResult || Files.count(SourcePath) == 0)
	{
		return false;
	}
	Files[TargetPath] = Files[SourcePath];
	return true;
}

bool FFakePlatform::TryCreatePathDirectories(const std::wstring& Path, bool bLog)
{
	Calls.push_back(L"TryCreatePathDirectories");
	return CreateDirectoriesResult;
}

bool FFakePlatform::TryRunExecutable(const std::wstring& InExecutablePath, const std::optional<std::wstring>& Arguments,
	const std::optional<std::wstring>& WorkingDirectory, bool bBreakaway, bool bWait, uint32_t* OutExitCode)
{
	Calls.push_back(L"TryRunExecutable");
	Runs.push_back(FRun{InExecutablePath, Arguments, WorkingDirectory, bBreakaway, bWait, Environment});
	FRunResult Result = DefaultRunResult;
	if (!RunResults.empty())
	{
		Result = RunResults.front();
		RunResults.pop_front();
	}
	if (OutExitCode != nullptr)
	{
		*OutExitCode = (!Result.bSuccess || bWait) ? Result.ExitCode : 0;
	}
	return Result.bSuccess;
}

bool FFakePlatform::TryReadFile(const std::wstring& Path, std::wstring& OutText)
{
	Calls.push_back(L"TryReadFile");
	OutText.clear();
	const auto Found = Files.find(Path);
	if (!ReadFileResult || Found == Files.end())
	{
		return false;
	}
	OutText = Found->second;
	return true;
}

bool FFakePlatform::TryWriteFile(const std::wstring& Path, const std::vector<uint8_t>& Bytes)
{
	Calls.push_back(L"TryWriteFile(bytes)");
	if (!WriteBytesResult)
	{
		return false;
	}
	WrittenBytes[Path] = Bytes;
	Files[Path] = std::wstring(); // the file now exists
	return true;
}

bool FFakePlatform::TryWriteFile(const std::wstring& Path, const std::wstring& Text, bool bAppend, bool bLog)
{
	Calls.push_back(L"TryWriteFile(text)");
	if (!WriteTextResult)
	{
		return false;
	}
	Files[Path] = bAppend ? Files[Path] + Text : Text;
	return true;
}

bool FFakePlatform::TrySetEnvironmentVariable(const std::wstring& Name, const std::wstring& Value)
{
	Calls.push_back(L"TrySetEnvironmentVariable");
	if (FailingEnvironmentVariables.count(Name) != 0)
	{
		return false;
	}
	Environment[Name] = Value;
	return true;
}

void FFakePlatform::DeleteEnvironmentVariable(const std::wstring& Name)
{
	Calls.push_back(L"DeleteEnvironmentVariable");
	Environment.erase(Name);
}

bool FFakePlatform::TryGetExecutableType(const std::wstring& Path, EExecutableType& OutType)
{
	Calls.push_back(L"TryGetExecutableType");
	if (!ExecutableTypeResult)
	{
		return false;
	}
	OutType = ExecutableType;
	return true;
}

bool FFakePlatform::TryCopyExecutableResources(const std::wstring& SourcePath, const std::wstring& TargetPath)
{
	Calls.push_back(L"TryCopyExecutableResources");
	return CopyResourcesResult;
}

bool FFakePlatform::TryCreateGuid(uint32_t& OutA, uint32_t& OutB, uint32_t& OutC, uint32_t& OutD)
{
	Calls.push_back(L"TryCreateGuid");
	if (!GuidResult)
	{
		return false;
	}
	OutA = Guid[0];
	OutB = Guid[1];
	OutC = Guid[2];
	OutD = Guid[3];
	return true;
}

bool FFakePlatform::TryCreateProcessGroup(const std::wstring& Name, std::shared_ptr<IProcessGroup>& OutProcessGroup)
{
	Calls.push_back(L"TryCreateProcessGroup");
	if (!ProcessGroupResult)
	{
		OutProcessGroup.reset();
		return false;
	}
	OutProcessGroup = std::make_shared<FFakeProcessGroup>(Name);
	return true;
}

bool FFakePlatform::TryGetConsoleWidth(uint32_t& OutWidth)
{
	Calls.push_back(L"TryGetConsoleWidth");
	if (!ConsoleWidthResult)
	{
		return false;
	}
	OutWidth = ConsoleWidth;
	return true;
}

std::wstring FFakePlatform::GetPlatformName()
{
	Calls.push_back(L"GetPlatformName");
	return PlatformName;
}

std::wstring FFakePlatform::GetPlatformVersion()
{
	Calls.push_back(L"GetPlatformVersion");
	return PlatformVersion;
}

bool FFakePlatform::IsSameFile(const std::wstring& Left, const std::wstring& Right)
{
	Calls.push_back(L"IsSameFile");
	return SameFiles.count({Left, Right}) != 0 || SameFiles.count({Right, Left}) != 0;
}
