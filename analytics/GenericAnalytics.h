#pragma once

#include "analytics/Analytics.h"

#include "BuildConfig.h"

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
	// All uploads of one flush share this time, counted from the first one's
	// start: a server that accepts and never answers holds the launcher this
	// long after the game, however many events are queued.
	static constexpr int64_t DefaultUploadTimeBudgetMs = 10'000;

	// The telemetry base address is scheme, host and optional port, no path.
	FGenericAnalytics(IHttpModule* InHttpModule, IPlatform* InPlatform, const std::wstring& InAppVersion,
		const std::wstring& InAppID, const std::wstring& InAppEnvironment,
		const std::string& InTelemetryBaseUrl = KVT_TELEMETRY_URL,
		int64_t InUploadTimeBudgetMs = DefaultUploadTimeBudgetMs);

	void SetSessionId(const std::wstring& SessionId) override;
	void RecordEvent(const std::vector<FAnalyticsAttribute>& Attributes) override;
	void FlushEvents() override;
	void RecordBootstrapStart() override;
	void RecordUserHelperExit(int32_t ExitCode) override;
	void RecordStartupSpeed(int32_t StartupTimeInMs, int32_t RestartCount, int32_t FinalExitCode) override;

	void QueueEvent(const std::vector<FAnalyticsAttribute>& Attributes);

protected:
	// The monotonic clock in nanoseconds; tests replace it to age events at will.
	virtual int64_t ReadMonotonicNanoseconds() const;

private:
	void PostEvent(const std::vector<FAnalyticsAttribute>& Attributes, int64_t TimeLimitMs);

	IHttpModule* HttpModule;
	std::string SessionID;
	std::string AppVersion;
	std::string AppID;
	std::string AppEnvironment;
	std::string UserAgent;
	IPlatform* Platform;
	std::vector<FQueuedEvent> Events;
	std::string TelemetryBaseUrl;
	int64_t UploadTimeBudgetMs;
};
