#pragma once

#include "bootstrap/BootstrapperConfig.h"
#include "bootstrap/InitResult.h"
#include "platform/ProcessGroup.h"

#include <cstdint>
#include <memory>
#include <string>

class IAnalytics;
class ICommandLine;
class IPlatform;

// The application object's operations, in their fixed order.
class IBootstrapper
{
public:
	virtual ~IBootstrapper() = default;

	virtual ICommandLine* GetCommandLine() = 0;
	virtual IPlatform* GetPlatform() = 0;
	virtual IAnalytics* GetAnalytics() = 0;
	virtual bool TryGetUserHelperPath(std::wstring& OutPath) = 0;
	virtual std::wstring GetConfigPath(const std::wstring& ExecutablePath) = 0;
	virtual bool TryReadConfig(const std::wstring& ConfigPath, FBootstrapperConfig& OutConfig) = 0;
	virtual bool TryWriteConfig(const std::wstring& ConfigPath, const FBootstrapperConfig& Config) = 0;
	virtual bool TryCopyBootstrapperApp(const std::wstring& OutputPath) = 0;
	virtual bool TrySetupEnvironment(const std::wstring& SessionGuid) = 0;
	virtual std::wstring CreateGuid() = 0;
	virtual bool TryCreateSession(const FBootstrapperConfig& Config, std::shared_ptr<IProcessGroup>& OutProcessGroup,
		std::wstring& OutSessionGuid) = 0;
	virtual bool OnInitCompleted(const FInitResult& Result) = 0;
	virtual int32_t Bootstrap(const std::wstring& ProductName, const std::wstring& VersionTag) = 0;
	virtual int32_t Configure(const std::wstring& ProductName, const std::wstring& VersionTag) = 0;
};
