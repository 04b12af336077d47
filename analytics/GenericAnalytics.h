#pragma once

#include "analytics/Analytics.h"

#include <cstdint>
#include <string>
#include <vector>

class IHttpModule;
class IPlatform;

struct FQueuedEvent
{
	int64_t Timestamp = 0;
	std::vector<FAnalyticsAttribute> Attributes;
};

class FGenericAnalytics : public IAnalytics
{
public:
	FGenericAnalytics(IHttpModule* InHttpModule, IPlatform* InPlatform, const std::wstring& InAppVersion,
		const std::wstring& InAppID, const std::wstring& InAppEnvironment);

	void SetSessionId(const std::wstring& SessionId) override;
	void RecordEvent(const std::vector<FAnalyticsAttribute>& Attributes) override;
	void FlushEvents() override;
	void RecordBootstrapStart() override;
	void RecordUserHelperExit(int32_t ExitCode) override;
	void RecordStartupSpeed(int32_t StartupTimeInMs, int32_t RestartCount, int32_t FinalExitCode) override;

	void QueueEvent(const std::vector<FAnalyticsAttribute>& Attributes);

private:
	IHttpModule* HttpModule;
	std::string SessionID;
	std::string AppVersion;
	std::string AppID;
	std::string AppEnvironment;
	std::string UserAgent;
	IPlatform* Platform;
	std::vector<FQueuedEvent> Events;
};
