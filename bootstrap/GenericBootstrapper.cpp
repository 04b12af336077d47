#include "bootstrap/GenericBootstrapper.h"

#include "analytics/GenericAnalytics.h"
#include "app/ProductInfo.h"
#include "configure/CommandLine.h"
#include "http/HttpModule.h"
#include "platform/Platform.h"

FGenericBootstrapper::FGenericBootstrapper(std::shared_ptr<ICommandLine> InCommandLine,
	std::shared_ptr<IPlatform> InPlatform, std::unique_ptr<IHttpModule> InHttpModule, const std::string& TelemetryBaseUrl)
	: CommandLine(std::move(InCommandLine))
	, Platform(std::move(InPlatform))
	, HttpModule(std::move(InHttpModule))
	, Analytics(std::make_shared<FGenericAnalytics>(
		  HttpModule.get(), Platform.get(), VersionTag, AnalyticsAppID, AnalyticsAppEnvironment, TelemetryBaseUrl))
{
}

FGenericBootstrapper::~FGenericBootstrapper() = default;

ICommandLine* FGenericBootstrapper::GetCommandLine() { return CommandLine.get(); }
IPlatform* FGenericBootstrapper::GetPlatform() { return Platform.get(); }
IAnalytics* FGenericBootstrapper::GetAnalytics() { return Analytics.get(); }

std::wstring FGenericBootstrapper::GetSessionGuidVariableName()
{
	return L"KVT_SESSION_GUID";
}
