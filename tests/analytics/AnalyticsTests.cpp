#include "analytics/GenericAnalytics.h"
#include "http/CurlHttpModule.h"

#include "tests/support/FakePlatform.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <optional>

using namespace std::string_literals;
using FStrings = std::vector<std::string>;

namespace
{
	constexpr int64_t Millisecond = 1'000'000;
	constexpr int64_t Second = 1'000 * Millisecond;
	constexpr int64_t Hour = 3'600 * Second;

	// The one fake HTTP module: every call on its requests is a line of Log, in
	// order, and nothing is sent. Percent-encoding is libcurl's own (no network
	// involved), so the query is built with the real encoder; a call to it can fail.
	struct FFakeHttpModule : IHttpModule
	{
		struct FRequest : IHttpRequest
		{
			FFakeHttpModule& Module;
			std::string Verb;

			explicit FRequest(FFakeHttpModule& InModule) : Module(InModule) {}
			std::string GetVerb() const override { return Verb; }
			void SetVerb(const std::string& InVerb) override { Module.Log.push_back("SetVerb " + (Verb = InVerb)); }
			void SetURL(const std::string& URL) override { Module.Log.push_back("SetURL " + URL); }
			void SetContent(const std::string& Content) override { Module.Log.push_back("SetContent " + Content); }
			void SetHeader(const std::string& Name, const std::string& Value) override
			{
				Module.Log.push_back("SetHeader " + Name + ": " + Value);
			}
			void SetTimeLimitMs(int64_t Ms) override { Module.Log.push_back("SetTimeLimitMs " + std::to_string(Ms)); }
			bool ProcessRequest() override
			{
				Module.Log.push_back("ProcessRequest");
				return Module.OnProcess();
			}
		};

		FStrings Log;
		int UrlEncodeCalls = 0;
		int FailingUrlEncodeCall = 0; // 1-based; 0: none fails
		// Runs as each request is processed; its result is the request's.
		std::function<bool()> OnProcess = [] { return true; };
		FCurlHttpModule Encoder;

		std::shared_ptr<IHttpRequest> CreateRequest() override { return std::make_shared<FRequest>(*this); }
		bool UrlEncode(const std::string& Input, std::string& Output) override
		{
			return ++UrlEncodeCalls != FailingUrlEncodeCall && Encoder.UrlEncode(Input, Output);
		}
		// What the requests were given by that call (SetContent: the bodies), in order.
		FStrings Given(const std::string& Call) const
		{
			FStrings Values;
			for (const std::string& Line : Log)
			{
				if (Line.starts_with(Call + " "))
				{
					Values.push_back(Line.substr(Call.size() + 1));
				}
			}
			return Values;
		}
	};

	// The monotonic clock under the test's control.
	struct FClockedAnalytics : FGenericAnalytics
	{
		using FGenericAnalytics::FGenericAnalytics;
		int64_t Now = 0;
		int64_t ReadMonotonicNanoseconds() const override { return Now; }
	};

	class AnalyticsTest : public ::testing::Test
	{
	protected:
		FLogCapture Capture;
		FFakeHttpModule Http;
		FFakePlatform Platform;
		FClockedAnalytics Analytics{&Http, &Platform, L"++KVTSDK+Release-2.0-CL-1000",
			L"ZorvanOnlineServices.BootStrapper", L"prod", "https://telemetry.example.test"};

		void SetUp() override { Analytics.SetSessionId(L"0f8fad5b-d9cb-469f-a165-70867728950e"); }
	};

	const std::string StartEvent = R"({"EventName":"KVTBootstrap.Start","DateOffset":")";
}

TEST_F(AnalyticsTest, EventsGoInQueueOrderAgedAsTheirOwnUploadBeginsAndAreNeverRetried)
{
	Analytics.Now = 10 * Second;
	Analytics.RecordBootstrapStart();
	Analytics.Now += 2265 * Millisecond;
	Analytics.RecordUserHelperExit(-1);
	Analytics.Now += 45 * Millisecond;
	Analytics.RecordStartupSpeed(2304, 0, 0);
	Analytics.RecordUserHelperExit(259);
	// Every upload takes a second on this clock, and fails.
	Http.OnProcess = [this]
	{
		Analytics.Now += Second;
		return false;
	};
	Analytics.FlushEvents();
	Analytics.FlushEvents();

	EXPECT_EQ(Http.Given("SetContent"), (FStrings{
		StartEvent + R"(+00:00:02.310"})",
		R"({"EventName":"KVTBootstrap.UserHelper.Exit","ExitCode":-1,"ExitCodeHexString":"FFFFFFFFh","DateOffset":"+00:00:01.045"})",
		R"({"EventName":"KVTBootstrap.Performance.StartupSpeed","StartupTimeInMs":2304,"RestartCount":0,"FinalExitCode":0,"DateOffset":"+00:00:02.000"})",
		R"({"EventName":"KVTBootstrap.UserHelper.Exit","ExitCode":259,"ExitCodeHexString":"00000103h","DateOffset":"+00:00:03.000"})",
	}));
	EXPECT_TRUE(Capture.Entries().empty()) << Capture.Dump();
}

TEST_F(AnalyticsTest, DateOffsetCutsMillisecondsKeepsHoursPastADayAndStopsAtFifteenCharacters)
{
	const std::pair<int64_t, std::string> Cases[] = {{Hour + 2 * 60 * Second + 3 * Second + 456'700'000, "+01:02:03.456"},
		{100 * Hour, "+100:00:00.000"}, {12345 * Hour + 999 * Millisecond, "+12345:00:00.99"}};
	for (const auto& [Age, Offset] : Cases)
	{
		Analytics.Now = 0;
		Analytics.RecordBootstrapStart();
		Analytics.Now = Age;
		Analytics.FlushEvents();
		EXPECT_EQ(Http.Given("SetContent").back(), StartEvent + Offset + "\"}");
	}
}

TEST_F(AnalyticsTest, RequestGoesToTheBuiltInAddressWithIdentityTextEncodedOneUtf16UnitAtATime)
{
	// U+1F600 is a surrogate pair in UTF-16: each half becomes its own 3 bytes.
	const std::wstring Emoji = sizeof(wchar_t) == 2
		? std::wstring{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)}
		: std::wstring{static_cast<wchar_t>(0x1F600)};
	Platform.PlatformName = L"Os\u00E9";
	Platform.PlatformVersion = L"1" + Emoji;
	FClockedAnalytics Default(&Http, &Platform, L"++KVT+v\u4E2D", L"App", L"prod");
	Default.SetSessionId(L"0f8fad5b-" + Emoji);
	Default.RecordBootstrapStart();
	Default.FlushEvents();

	EXPECT_EQ(Http.Log, (FStrings{
		"SetHeader User-Agent: App++KVT+v\xE4\xB8\xAD Os\xC3\xA9" "1\xED\xA0\xBD\xED\xB8\x80",
		"SetHeader Content-Type: application/json; charset=utf-8",
		"SetURL " KVT_TELEMETRY_URL "/telemetry/data?SessionID=0f8fad5b-%ED%A0%BD%ED%B8%80&AppID=App"
		"&AppVersion=%2B%2BKVT%2Bv%E4%B8%AD&AppEnvironment=prod&UploadType=eteventstream",
		"SetVerb POST", "SetContent " + StartEvent + "+00:00:00.000\"}",
		"SetTimeLimitMs 10000", // a lone upload has the whole budget
		"ProcessRequest"}));
}

TEST_F(AnalyticsTest, NothingIsSentWithoutSessionIdJsonOrQueryAndEachEventSaysWhy)
{
	FClockedAnalytics NoSession(&Http, &Platform, L"v", L"a", L"e", "http://h");
	NoSession.RecordBootstrapStart();
	NoSession.RecordUserHelperExit(3);
	NoSession.FlushEvents();
	// The queue was emptied all the same.
	NoSession.SetSessionId(L"s");
	NoSession.FlushEvents();
	EXPECT_EQ(Http.UrlEncodeCalls, 0);
	ASSERT_EQ(Capture.Entries().size(), 2u) << Capture.Dump();
	EXPECT_EQ(Capture.Entries()[0].Message, Capture.Entries()[1].Message);
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"FGenericAnalytics::RecordEvent",
		L"FGenericAnalytics::RecordEvent - Failed, SessionID needs to be set."));

	Analytics.RecordEvent({{.Name = "Ratio", .DoubleValue = std::nan(""), .Type = EAttributeType::Double}});
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"FGenericAnalytics::RecordEvent",
		L"FGenericAnalytics::RecordEvent - Failed to create json string."));
	EXPECT_EQ(Http.UrlEncodeCalls, 0);

	Http.FailingUrlEncodeCall = 2;
	Analytics.RecordEvent({{.Name = "EventName", .StringValue = "x"}});
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"FGenericAnalytics::RecordEvent",
		L"FGenericAnalytics::RecordEvent - Failed to encode url path."));
	EXPECT_EQ(Http.UrlEncodeCalls, 2) << "the encodings after a failed one are not attempted";
	EXPECT_TRUE(Http.Log.empty());
}

TEST(AnalyticsBudget, UploadsOfOneFlushShareOneTimeBudget)
{
	const struct
	{
		int64_t BudgetMs;
		int64_t UploadMs;
		int Events;
		FStrings Limits;
		std::wstring Message; // empty: nothing logged
	} Cases[] = {
		// The fifth event's turn comes just as the budget runs out.
		{FGenericAnalytics::DefaultUploadTimeBudgetMs, 2'500, 5, {"10000", "7500", "5000", "2500"},
			L"Telemetry time budget spent: 1 of 5 events not sent."},
		{1'500, 400, 7, {"1500", "1100", "700", "300"}, L"Telemetry time budget spent: 3 of 7 events not sent."},
		{FGenericAnalytics::DefaultUploadTimeBudgetMs, 1'000, 3, {"10000", "9000", "8000"}, L""},
	};
	for (const auto& Case : Cases)
	{
		SCOPED_TRACE(testing::Message() << Case.BudgetMs << " ms for " << Case.Events << " events");
		FLogCapture Capture;
		FFakeHttpModule Http;
		FFakePlatform Platform;
		FClockedAnalytics Analytics(&Http, &Platform, L"v", L"a", L"e", "http://h", Case.BudgetMs);
		Analytics.SetSessionId(L"s");
		// Events are queued long before the flush: only the uploads count.
		for (int Index = 0; Index < Case.Events; ++Index)
		{
			Analytics.RecordUserHelperExit(Index);
		}
		Analytics.Now = 100 * Second;
		Http.OnProcess = [&]
		{
			Analytics.Now += Case.UploadMs * Millisecond;
			return true;
		};
		Analytics.FlushEvents();

		EXPECT_EQ(Http.Given("SetTimeLimitMs"), Case.Limits);
		const FStrings Bodies = Http.Given("SetContent");
		for (size_t Index = 0; Index < Bodies.size(); ++Index)
		{
			EXPECT_NE(Bodies[Index].find("\"ExitCode\":" + std::to_string(Index) + ","), std::string::npos) << Bodies[Index];
		}
		EXPECT_EQ(Capture.Entries().size(), Case.Message.empty() ? 0u : 1u) << Capture.Dump();
		EXPECT_TRUE(Case.Message.empty() || Capture.Has(ELogLevel::Verbose, L"FGenericAnalytics::FlushEvents", Case.Message));

		// The next flush has a budget of its own, and what was dropped stays dropped.
		Http.Log.clear();
		Analytics.RecordBootstrapStart();
		Analytics.FlushEvents();
		EXPECT_EQ(Http.Given("SetTimeLimitMs"), FStrings{std::to_string(Case.BudgetMs)});
		EXPECT_EQ(Http.Given("SetContent"), FStrings{StartEvent + "+00:00:00.000\"}"});
	}
}

TEST(AnalyticsAttributeJson, EveryTypeHasItsJsonFormAndNonFiniteNumbersOrNothingHaveNone)
{
	FLogCapture Capture;
	using EType = EAttributeType;
	const struct
	{
		std::vector<FAnalyticsAttribute> Attributes;
		std::optional<std::string> Json;
	} Cases[] = {
		// Exact escapes; UTF-8 and DEL pass through; an embedded NUL stays.
		{{{.Name = "S", .StringValue = "q\"b\\\t\x01" "\xC3\xA9" "\0" "\b\n\f\r" "\x7F/\x1F"s}},
			R"({"S":"q\"b\\\t\u0001)" "\xC3\xA9" R"(\u0000\b\n\f\r)" "\x7F" R"(/\u001F"})"},
		// Names repeat as they come.
		{{{.Name = "D", .DoubleValue = 1.0, .Type = EType::Double}, {.Name = "D", .DoubleValue = 0.5, .Type = EType::Double},
			{.Name = "D", .DoubleValue = 1e21, .Type = EType::Double},
			{.Name = "U", .UInt64Value = std::numeric_limits<uint64_t>::max(), .Type = EType::UInt64},
			{.Name = "I", .Int64Value = std::numeric_limits<int64_t>::min(), .Type = EType::Int64},
			{.Name = "B", .BoolValue = true, .Type = EType::Bool}, {.Name = "B", .Type = EType::Bool}},
			R"({"D":1.0,"D":0.5,"D":1e21,"U":18446744073709551615,"I":-9223372036854775808,"B":true,"B":false})"},
		{{}, std::nullopt},
		{{{.Name = "A", .StringValue = "1"}, {.Name = "N", .DoubleValue = std::nan(""), .Type = EType::Double}}, std::nullopt},
		{{{.Name = "Inf", .DoubleValue = std::numeric_limits<double>::infinity(), .Type = EType::Double}}, std::nullopt},
		// An unknown type is logged and left out.
		{{{.Name = "A", .StringValue = "1"}, {.Name = "Odd", .Type = EType(7)}, {.Name = "B", .StringValue = "2"}},
			R"({"A":"1","B":"2"})"},
	};
	for (const auto& Case : Cases)
	{
		std::string Json = "untouched";
		EXPECT_EQ(FAnalyticsAttribute::ToJson(Case.Attributes, Json), Case.Json.has_value());
		EXPECT_EQ(Json, Case.Json.value_or("untouched"));
	}
	EXPECT_EQ(Capture.Entries().size(), 1u) << Capture.Dump();
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, L"FAnalyticsAttribute::ToJson",
		L"FAnalyticsAttribute::ToJson: Unhandled Attribute type 7"));
}
