#include "analytics/GenericAnalytics.h"

#include "app/Log.h"
#include "http/HttpModule.h"
#include "platform/MonotonicClock.h"
#include "platform/Platform.h"
#include "platform/SystemErrorLog.h"
#include "platform/Utf8.h"

#include <cstdio>

namespace
{
	constexpr const wchar_t* RecordEventCategory = L"FGenericAnalytics::RecordEvent";
	constexpr int64_t NanosecondsPerMillisecond = 1'000'000;

	FAnalyticsAttribute MakeStringAttribute(const char* Name, std::string Value)
	{
		FAnalyticsAttribute Attribute;
		Attribute.Name = Name;
		Attribute.StringValue = std::move(Value);
		Attribute.Type = EAttributeType::String;
		return Attribute;
	}

	FAnalyticsAttribute MakeInt64Attribute(const char* Name, int64_t Value)
	{
		FAnalyticsAttribute Attribute;
		Attribute.Name = Name;
		Attribute.Int64Value = Value;
		Attribute.Type = EAttributeType::Int64;
		return Attribute;
	}

	std::string FormatDateOffset(int64_t Age)
	{
		constexpr int64_t NanosecondsPerHour = 3'600'000'000'000;
		constexpr int64_t NanosecondsPerMinute = 60'000'000'000;
		constexpr int64_t NanosecondsPerSecond = 1'000'000'000;

		const int32_t Hours = static_cast<int32_t>(Age / NanosecondsPerHour);
		int64_t Rest = Age - Hours * NanosecondsPerHour;
		const int64_t Minutes = Rest / NanosecondsPerMinute;
		Rest -= Minutes * NanosecondsPerMinute;
		const int64_t Seconds = Rest / NanosecondsPerSecond;
		// Truncated, never rounded: 3.4567 s reads .456.
		const int64_t Milliseconds = (Rest - Seconds * NanosecondsPerSecond) / NanosecondsPerMillisecond;

		// The service takes at most 15 characters; a longer text is cut there.
		constexpr size_t MaxLength = 15;
		char Buffer[64] = {};
		std::snprintf(Buffer, sizeof(Buffer), "+%02i:%02i:%02i.%03i", static_cast<int>(Hours),
			static_cast<int>(Minutes), static_cast<int>(Seconds), static_cast<int>(Milliseconds));
		return std::string(Buffer).substr(0, MaxLength);
	}
}

FGenericAnalytics::FGenericAnalytics(IHttpModule* InHttpModule, IPlatform* InPlatform,
	const std::wstring& InAppVersion, const std::wstring& InAppID, const std::wstring& InAppEnvironment,
	const std::string& InTelemetryBaseUrl, int64_t InUploadTimeBudgetMs)
	: HttpModule(InHttpModule)
	, AppVersion(EncodeUtf8ByCodeUnit(InAppVersion))
	, AppID(EncodeUtf8ByCodeUnit(InAppID))
	, AppEnvironment(EncodeUtf8ByCodeUnit(InAppEnvironment))
	, Platform(InPlatform)
	, TelemetryBaseUrl(InTelemetryBaseUrl)
	, UploadTimeBudgetMs(InUploadTimeBudgetMs)
{
	// Composed once: the platform texts do not change during a run.
	UserAgent = AppID + AppVersion + " ";
	if (Platform != nullptr)
	{
		UserAgent += EncodeUtf8ByCodeUnit(Platform->GetPlatformName());
		UserAgent += EncodeUtf8ByCodeUnit(Platform->GetPlatformVersion());
	}
}

void FGenericAnalytics::SetSessionId(const std::wstring& SessionId)
{
	SessionID = EncodeUtf8ByCodeUnit(SessionId);
}

void FGenericAnalytics::RecordEvent(const std::vector<FAnalyticsAttribute>& Attributes)
{
	// A single upload has the whole budget to itself.
	PostEvent(Attributes, UploadTimeBudgetMs);
}

void FGenericAnalytics::PostEvent(const std::vector<FAnalyticsAttribute>& Attributes, int64_t TimeLimitMs)
{
	if (SessionID.empty())
	{
		Log(ELogLevel::Verbose, RecordEventCategory, L"FGenericAnalytics::RecordEvent - Failed, SessionID needs to be set.");
		return;
	}

	std::string Json;
	if (!FAnalyticsAttribute::ToJson(Attributes, Json))
	{
		Log(ELogLevel::Verbose, RecordEventCategory, L"FGenericAnalytics::RecordEvent - Failed to create json string.");
		return;
	}

	std::string EncodedSessionID;
	std::string EncodedAppID;
	std::string EncodedAppVersion;
	std::string EncodedAppEnvironment;
	if (HttpModule == nullptr || !HttpModule->UrlEncode(SessionID, EncodedSessionID) ||
		!HttpModule->UrlEncode(AppID, EncodedAppID) || !HttpModule->UrlEncode(AppVersion, EncodedAppVersion) ||
		!HttpModule->UrlEncode(AppEnvironment, EncodedAppEnvironment))
	{
		Log(ELogLevel::Verbose, RecordEventCategory, L"FGenericAnalytics::RecordEvent - Failed to encode url path.");
		return;
	}

	const std::string URL = TelemetryBaseUrl + "/telemetry/data?SessionID=" + EncodedSessionID +
		"&AppID=" + EncodedAppID + "&AppVersion=" + EncodedAppVersion +
		"&AppEnvironment=" + EncodedAppEnvironment + "&UploadType=eteventstream";

	std::shared_ptr<IHttpRequest> Request = HttpModule->CreateRequest();
	if (!Request)
	{
		return;
	}
	Request->SetHeader("User-Agent", UserAgent);
	Request->SetHeader("Content-Type", "application/json; charset=utf-8");
	Request->SetURL(URL);
	Request->SetVerb("POST");
	Request->SetContent(Json);
	Request->SetTimeLimitMs(TimeLimitMs);
	// Fire-and-forget: the request logs its own trouble and nothing is retried.
	Request->ProcessRequest();
}

void FGenericAnalytics::FlushEvents()
{
	constexpr const wchar_t* Category = L"FGenericAnalytics::FlushEvents";
	// Telemetry never costs the run: whatever an upload throws (memory can run
	// out anywhere, or the HTTP module may fail) ends the flush here, logged, and
	// the launcher still returns the game's exit code.
	GuardOperation(Category, false, [&]
	{
		const size_t End = Events.size();
		int64_t BudgetStart = 0;
		size_t NotSent = 0;
		for (size_t Index = 0; Index < End; ++Index)
		{
			// Read anew per event: uploads are synchronous, so each age is taken
			// when that event's own upload begins, and so is the time left for it.
			const int64_t Now = ReadMonotonicNanoseconds();
			if (Index == 0)
			{
				BudgetStart = Now;
			}
			const int64_t TimeLeftMs = UploadTimeBudgetMs - (Now - BudgetStart) / NanosecondsPerMillisecond;
			if (TimeLeftMs <= 0)
			{
				// Time only runs on: no later event would find any left either.
				NotSent = End - Index;
				break;
			}
			const int64_t Age = Now - Events[Index].Timestamp;
			// Moved out so that an upload that queues another event cannot pull the
			// list from under the call.
			std::vector<FAnalyticsAttribute> Attributes = std::move(Events[Index].Attributes);
			Attributes.push_back(MakeStringAttribute("DateOffset", FormatDateOffset(Age)));
			PostEvent(Attributes, TimeLeftMs);
		}
		if (NotSent > 0)
		{
			Log(ELogLevel::Verbose, Category, L"Telemetry time budget spent: %i of %i events not sent.",
				static_cast<int>(NotSent), static_cast<int>(End));
		}
		return true;
	});
	// Nothing survives a flush, whatever became of the uploads: uploads are
	// never retried, so an event left unsent is dropped too.
	Events.clear();
}

void FGenericAnalytics::RecordBootstrapStart()
{
	QueueEvent({MakeStringAttribute("EventName", "KVTBootstrap.Start")});
}

void FGenericAnalytics::RecordUserHelperExit(int32_t ExitCode)
{
	char HexString[16] = {};
	std::snprintf(HexString, sizeof(HexString), "%08Xh", static_cast<unsigned int>(static_cast<uint32_t>(ExitCode)));
	QueueEvent({
		MakeStringAttribute("EventName", "KVTBootstrap.UserHelper.Exit"),
		MakeInt64Attribute("ExitCode", ExitCode),
		MakeStringAttribute("ExitCodeHexString", HexString),
	});
}

void FGenericAnalytics::RecordStartupSpeed(int32_t StartupTimeInMs, int32_t RestartCount, int32_t FinalExitCode)
{
	QueueEvent({
		MakeStringAttribute("EventName", "KVTBootstrap.Performance.StartupSpeed"),
		MakeInt64Attribute("StartupTimeInMs", StartupTimeInMs),
		MakeInt64Attribute("RestartCount", RestartCount),
		MakeInt64Attribute("FinalExitCode", FinalExitCode),
	});
}

void FGenericAnalytics::QueueEvent(const std::vector<FAnalyticsAttribute>& Attributes)
{
	Events.push_back(FQueuedEvent{ReadMonotonicNanoseconds(), Attributes});
}

int64_t FGenericAnalytics::ReadMonotonicNanoseconds() const
{
	return ReadSteadyClockNanoseconds();
}
