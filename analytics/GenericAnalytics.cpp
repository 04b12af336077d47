#include "analytics/GenericAnalytics.h"

#include "app/Log.h"

// Until telemetry lands, events are accepted and dropped at the flush.
FGenericAnalytics::FGenericAnalytics(IHttpModule* InHttpModule, IPlatform* InPlatform, const std::wstring&,
	const std::wstring&, const std::wstring&)
	: HttpModule(InHttpModule), Platform(InPlatform)
{
}

void FGenericAnalytics::SetSessionId(const std::wstring&) {}

void FGenericAnalytics::RecordEvent(const std::vector<FAnalyticsAttribute>&)
{
	Log(ELogLevel::Error, L"FGenericAnalytics::RecordEvent", L"Not implemented in this build.");
}

void FGenericAnalytics::FlushEvents() { Events.clear(); }
void FGenericAnalytics::RecordBootstrapStart() {}
void FGenericAnalytics::RecordUserHelperExit(int32_t) {}
void FGenericAnalytics::RecordStartupSpeed(int32_t, int32_t, int32_t) {}
void FGenericAnalytics::QueueEvent(const std::vector<FAnalyticsAttribute>&) {}

bool FAnalyticsAttribute::ToJson(const std::vector<FAnalyticsAttribute>&, std::string&)
{
	return false;
}
