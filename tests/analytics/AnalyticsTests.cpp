#include "analytics/GenericAnalytics.h"
#include "http/CurlHttpModule.h"

#include "tests/support/FakePlatform.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

using FStrings = std::vector<std::string>;

namespace
{
	constexpr int64_t Millisecond = 1'000'000;
	constexpr int64_t Second = 1'000 * Millisecond;

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
			// Every upload fails: nothing may be retried for that.
			bool ProcessRequest() override
			{
				Module.Log.push_back("ProcessRequest");
				Module.OnProcess();
				return false;
			}
		};

		FStrings Log;
		int UrlEncodeCalls = 0;
		int FailingUrlEncodeCall = 0; // 1-based; 0: none fails
		// Where a test lets its clock run while an upload is under way.
		std::function<void()> OnProcess = [] {};
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
		FClockedAnalytics Analytics{&Http, &Platform, L"v", L"a", L"e", "http://h"};

		void SetUp() override { Analytics.SetSessionId(L"0f8fad5b-d9cb-469f-a165-70867728950e"); }
	};

	const std::string StartEvent = R"({"EventName":"KVTBootstrap.Start","DateOffset":")";
}

TEST_F(AnalyticsTest, EventsGoInQueueOrderAgedAsTheirOwnUploadBeginsWhileTheFlushHasTimeLeft)
{
	Analytics.Now = 10 * Second;
	Analytics.RecordBootstrapStart();
	Analytics.Now += 2265 * Millisecond;
	Analytics.RecordUserHelperExit(-1);
	Analytics.Now += 45'678'900;
	Analytics.RecordStartupSpeed(2304, 0, 0);
	Analytics.RecordUserHelperExit(259);
	// Its turn comes just as the budget runs out.
	Analytics.RecordUserHelperExit(0);
	// Every upload takes 2.5 s on this clock.
	Http.OnProcess = [this] { Analytics.Now += 2'500 * Millisecond; };
	Analytics.FlushEvents();

	// Ages are cut, never rounded, to whole milliseconds.
	EXPECT_EQ(Http.Given("SetContent"), (FStrings{
		StartEvent + R"(+00:00:02.310"})",
		R"({"EventName":"KVTBootstrap.UserHelper.Exit","ExitCode":-1,"ExitCodeHexString":"FFFFFFFFh","DateOffset":"+00:00:02.545"})",
		R"({"EventName":"KVTBootstrap.Performance.StartupSpeed","StartupTimeInMs":2304,"RestartCount":0,"FinalExitCode":0,"DateOffset":"+00:00:05.000"})",
		R"({"EventName":"KVTBootstrap.UserHelper.Exit","ExitCode":259,"ExitCodeHexString":"00000103h","DateOffset":"+00:00:07.500"})",
	}));
	// The budget is counted from the flush, not from when the events were queued.
	EXPECT_EQ(Http.Given("SetTimeLimitMs"), (FStrings{"10000", "7500", "5000", "2500"}));
	EXPECT_EQ(Capture.Entries().size(), 1u) << Capture.Dump();
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"FGenericAnalytics::FlushEvents",
		L"Telemetry time budget spent: 1 of 5 events not sent."));

	// An upload that throws ends the flush, logged, and never reaches the run.
	Http.OnProcess = [] { throw std::bad_alloc(); };
	Analytics.RecordBootstrapStart();
	Analytics.RecordBootstrapStart();
	EXPECT_NO_THROW(Analytics.FlushEvents());
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, L"FGenericAnalytics::FlushEvents", L"Failed: out of memory.")) << Capture.Dump();

	// The next flush has a budget of its own, and nothing failed or dropped comes back.
	Http.OnProcess = [] {};
	Http.Log.clear();
	Analytics.RecordBootstrapStart();
	Analytics.FlushEvents();
	EXPECT_EQ(Http.Given("SetTimeLimitMs"), FStrings{"10000"});
	EXPECT_EQ(Http.Given("SetContent"), FStrings{StartEvent + "+00:00:00.000\"}"});
}

TEST_F(AnalyticsTest, RequestGoesToTheBuiltInAddressWithIdentityTextEncodedOneUtf16UnitAtATime)
{
	// U+1F600 is a surrogate pair in UTF-16: each half becomes its own 3 bytes.
	Platform.PlatformName = L"Os\u00E9";
	Platform.PlatformVersion = L"1\U0001F600";
	FClockedAnalytics Default(&Http, &Platform, L"++KVT+v\u4E2D", L"My App", L"prod");
	Default.SetSessionId(L"0f8fad5b-\U0001F600");
	Default.RecordBootstrapStart();
	// Past 99 hours the age is cut to the 15 characters the service takes.
	Default.Now = 12345 * 3'600 * Second + 999 * Millisecond;
	Default.FlushEvents();

	// What the one request carries, whatever order it was set in.
	EXPECT_EQ(Http.Given("SetHeader"), (FStrings{
		"User-Agent: My App++KVT+v\xE4\xB8\xAD Os\xC3\xA9" "1\xED\xA0\xBD\xED\xB8\x80",
		"Content-Type: application/json; charset=utf-8"}));
	EXPECT_EQ(Http.Given("SetURL"), FStrings{KVT_TELEMETRY_URL "/telemetry/data?SessionID=0f8fad5b-%ED%A0%BD%ED%B8%80&AppID=My%20App"
		"&AppVersion=%2B%2BKVT%2Bv%E4%B8%AD&AppEnvironment=prod&UploadType=eteventstream"});
	EXPECT_EQ(Http.Given("SetVerb"), FStrings{"POST"});
	EXPECT_EQ(Http.Given("SetContent"), FStrings{StartEvent + "+12345:00:00.99\"}"});
	EXPECT_EQ(Http.Given("SetTimeLimitMs"), FStrings{"10000"}); // a lone upload has the whole budget
	EXPECT_EQ(Http.Log.back(), "ProcessRequest");
}

TEST_F(AnalyticsTest, NothingIsSentWithoutSessionIdJsonOrQueryAndTheLogSaysWhich)
{
	FClockedAnalytics NoSession(&Http, &Platform, L"v", L"a", L"e", "http://h");
	NoSession.RecordBootstrapStart();
	NoSession.FlushEvents();
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"FGenericAnalytics::RecordEvent",
		L"FGenericAnalytics::RecordEvent - Failed, SessionID needs to be set."));

	Analytics.RecordEvent({{.Name = "Ratio", .DoubleValue = std::nan(""), .Type = EAttributeType::Double}});
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"FGenericAnalytics::RecordEvent",
		L"FGenericAnalytics::RecordEvent - Failed to create json string."));

	Http.FailingUrlEncodeCall = 2;
	Analytics.RecordEvent({{.Name = "EventName", .StringValue = "x"}});
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"FGenericAnalytics::RecordEvent",
		L"FGenericAnalytics::RecordEvent - Failed to encode url path."));
	EXPECT_EQ(Http.UrlEncodeCalls, 2) << "the encodings after a failed one are not attempted";
	EXPECT_TRUE(Http.Log.empty());
}

TEST(AnalyticsAttributeJson, EveryTypeHasItsJsonFormAndInfinityOrNothingHaveNone)
{
	FLogCapture Capture;
	using EType = EAttributeType;
	std::string Json = "untouched";
	EXPECT_FALSE(FAnalyticsAttribute::ToJson({}, Json));
	EXPECT_FALSE(FAnalyticsAttribute::ToJson({{.Name = "A", .StringValue = "1"},
		{.Name = "Inf", .DoubleValue = std::numeric_limits<double>::infinity(), .Type = EType::Double}}, Json));
	EXPECT_EQ(Json, "untouched");

	// Names repeat as they come; an unknown type is logged and left out.
	EXPECT_TRUE(FAnalyticsAttribute::ToJson({{.Name = "D", .DoubleValue = 1.0, .Type = EType::Double},
		{.Name = "D", .DoubleValue = 1e21, .Type = EType::Double}, {.Name = "Odd", .Type = EType(7)},
		{.Name = "U", .UInt64Value = std::numeric_limits<uint64_t>::max(), .Type = EType::UInt64},
		{.Name = "I", .Int64Value = std::numeric_limits<int64_t>::min(), .Type = EType::Int64},
		{.Name = "B", .BoolValue = true, .Type = EType::Bool}, {.Name = "B", .Type = EType::Bool}}, Json));
	EXPECT_EQ(Json, R"({"D":1.0,"D":1e21,"U":18446744073709551615,"I":-9223372036854775808,"B":true,"B":false})");
	EXPECT_EQ(Capture.Entries().size(), 1u) << Capture.Dump();
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, L"FAnalyticsAttribute::ToJson",
		L"FAnalyticsAttribute::ToJson: Unhandled Attribute type 7"));
}
