#pragma once

#include "app/Bootstrapper.h"

#include "BuildConfig.h"

#include <cstdint>
#include <memory>
#include <vector>

class FGenericAnalytics;
class IHttpModule;

// The platform-independent application object. It owns the services in this
// order (destroyed in reverse: the analytics object, which points at the HTTP
// module and the platform services, goes first). The Windows and Linux
// application objects only choose the services and the few operations that
// depend on the operating system.
class FGenericBootstrapper : public IBootstrapper
{
public:
	~FGenericBootstrapper() override;

	ICommandLine* GetCommandLine() override;
	IPlatform* GetPlatform() override;
	IAnalytics* GetAnalytics() override;

	bool TryGetUserHelperPath(std::wstring& OutPath) override;
	std::wstring GetConfigPath(const std::wstring& ExecutablePath) override;
	bool TryReadConfig(const std::wstring& ConfigPath, FBootstrapperConfig& OutConfig) override;
	bool TryWriteConfig(const std::wstring& ConfigPath, const FBootstrapperConfig& Config) override;
	bool TrySetupEnvironment(const std::wstring& SessionGuid) override;
	std::wstring CreateGuid() override;
	bool TryCreateSession(const FBootstrapperConfig& Config, std::shared_ptr<IProcessGroup>& OutProcessGroup,
		std::wstring& OutSessionGuid) override;
	bool OnInitCompleted(const FInitResult& Result) override;
	int32_t Bootstrap(const std::wstring& ProductName, const std::wstring& VersionTag) override;
	int32_t Configure(const std::wstring& ProductName, const std::wstring& VersionTag) override;
	bool TryCopyBootstrapperApp(const std::wstring& OutputPath) override;

	static std::wstring GetSessionGuidVariableName();

protected:
	// Where each system keeps the launcher that the configure tool carries; a
	// tool may carry more than one, chosen by the output path.
	virtual bool TryLoadEmbeddedBootstrapper(const std::wstring& OutputPath, std::vector<uint8_t>& OutBytes) = 0;
	// The monotonic clock in nanoseconds that times the start-up; tests replace it to fix the time it reports.
	virtual int64_t ReadMonotonicNanoseconds() const;

	FGenericBootstrapper(std::shared_ptr<ICommandLine> InCommandLine, std::shared_ptr<IPlatform> InPlatform,
		std::unique_ptr<IHttpModule> InHttpModule, const std::string& TelemetryBaseUrl = KVT_TELEMETRY_URL);

private:
	// The User Helper phase of Bootstrap: its outcome, with the restarts it
	// asked for and the last exit code it gave, for the start-up event.
	FInitResult InitializeService(const FBootstrapperConfig& Config, const std::wstring& ArgumentText,
		int32_t& OutRestartCount, uint32_t& OutFinalExitCode);

	std::shared_ptr<ICommandLine> CommandLine;
	std::shared_ptr<IPlatform> Platform;
	std::unique_ptr<IHttpModule> HttpModule;
	std::shared_ptr<FGenericAnalytics> Analytics;
};
