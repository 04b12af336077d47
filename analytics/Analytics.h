#pragma once

#include "analytics/AnalyticsAttribute.h"

#include <cstdint>
#include <string>
#include <vector>

class IAnalytics
{
public:
	virtual ~IAnalytics() = default;

	virtual void SetSessionId(const std::wstring& SessionId) = 0;
	virtual void RecordEvent(const std::vector<FAnalyticsAttribute>& Attributes) = 0;
	virtual void FlushEvents() = 0;
	virtual void RecordBootstrapStart() = 0;
	virtual void RecordUserHelperExit(int32_t ExitCode) = 0;
	virtual void RecordStartupSpeed(int32_t StartupTimeInMs, int32_t RestartCount, int32_t FinalExitCode) = 0;
};
