#include "analytics/GenericAnalytics.h"

#include "tests/analytics/FakeHttp.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace std::string_literals;

namespace
{
	constexpr int64_t Millisecond = 1'000'000;
	constexpr int64_t Second = 1'000 * Millisecond;
	constexpr int64_t Hour = 3'600 * Second;

	const char* const ExampleSession = "0f8fad5b-d9cb-469f-a165-70867728950e";

	// The monotonic clock under the test's control.
	class FClockedAnalytics : public FGenericAnalytics
	{
	public:
		using FGenericAnalytics::FGenericAnalytics;
		int64_t Now = 0;

	protected:
		int64_t ReadMonotonicNanoseconds() const override { return Now; }
	};

	class AnalyticsTest : public ::testing::Test
	{
	protected:
		FFakeHttpModule Http;
		FFakePlatform Platform;
		FClockedAnalytics Analytics{&Http, &Platform, L"++KVTSDK+Release-2.0-CL-1000",
			L"ZorvanOnlineServices.BootStrapper", L"prod", "https://telemetry.example.test"};

		void SetUp() override { Analytics.SetSessionId(L"0f8fad5b-d9cb-469f-a165-70867728950e"); }

		std::vector<std::string> SentBodies() const
		{
			std::vector<std::string> Bodies;
			for (const auto& Request : Http.Requests)
			{
				Bodies.push_back(Request->Content);
			}
			return Bodies;
		}
	};

	FAnalyticsAttribute Attribute(const char* Name, EAttributeType Type)
	{
		FAnalyticsAttribute Result;
		Result.Name = Name;
		Result.Type = Type;
		return Result;
	}

	FAnalyticsAttribute StringAttribute(const char* Name, const std::string& Value)
	{
		FAnalyticsAttribute Result = Attribute(Name, EAttributeType::String);
		Result.StringValue = Value;
		return Result;
	}

	FAnalyticsAttribute DoubleAttribute(const char* Name, double Value)
	{
		FAnalyticsAttribute Result = Attribute(Name, EAttributeType::Double);
		Result.DoubleValue = Value;
		return Result;
	}
}

TEST_F(AnalyticsTest, ThreeEventsAreSentInQueueOrderWithTheirAges)
{
	Analytics.Now = 10 * Second;
	Analytics.RecordBootstrapStart();
	Analytics.Now += 2265 * Millisecond;
	Analytics.RecordUserHelperExit(-1);
	Analytics.Now += 45 * Millisecond;
	Analytics.RecordStartupSpeed(2304, 0, 0);

	Analytics.FlushEvents();

	EXPECT_EQ(SentBodies(), (std::vector<std::string>{
		R"({"EventName":"KVTBootstrap.Start","DateOffset":"+00:00:02.310"})",
		R"({"EventName":"KVTBootstrap.UserHelper.Exit","ExitCode":-1,"ExitCodeHexString":"FFFFFFFFh","DateOffset":"+00:00:00.045"})",
		R"({"EventName":"KVTBootstrap.Performance.StartupSpeed","StartupTimeInMs":2304,"RestartCount":0,"FinalExitCode":0,"DateOffset":"+00:00:00.000"})",
	}));
}

TEST_F(AnalyticsTest, ExitCodesKeepTheirSignAndHexForm)
{
	Analytics.RecordUserHelperExit(static_cast<int32_t>(0x80000000u));
	Analytics.RecordUserHelperExit(259);
	Analytics.RecordUserHelperExit(0);
	Analytics.FlushEvents();

	const std::string Prefix = R"({"EventName":"KVTBootstrap.UserHelper.Exit",)";
	const std::string Suffix = R"(,"DateOffset":"+00:00:00.000"})";
	EXPECT_EQ(SentBodies(), (std::vector<std::string>{
		Prefix + R"("ExitCode":-2147483648,"ExitCodeHexString":"80000000h")" + Suffix,
		Prefix + R"("ExitCode":259,"ExitCodeHexString":"00000103h")" + Suffix,
		Prefix + R"("ExitCode":0,"ExitCodeHexString":"00000000h")" + Suffix,
	}));
}

TEST_F(AnalyticsTest, DateOffsetCutsMillisecondsAndKeepsHoursPastADay)
{
	Analytics.RecordBootstrapStart();
	Analytics.Now = 1 * Hour + 2 * 60 * Second + 3 * Second + 456'700'000;
	Analytics.FlushEvents();

	Analytics.Now = 0;
	Analytics.RecordBootstrapStart();
	Analytics.Now = 100 * Hour;
	Analytics.FlushEvents();

	ASSERT_EQ(Http.Requests.size(), 2u);
	EXPECT_NE(Http.Requests[0]->Content.find(R"("DateOffset":"+01:02:03.456"})"), std::string::npos) << Http.Requests[0]->Content;
	EXPECT_NE(Http.Requests[1]->Content.find(R"("DateOffset":"+100:00:00.000"})"), std::string::npos) << Http.Requests[1]->Content;
}

TEST_F(AnalyticsTest, EachAgeIsTakenWhenItsOwnUploadBegins)
{
	Analytics.RecordBootstrapStart();
	Analytics.RecordBootstrapStart();
	// Every upload takes a second on this clock.
	Http.OnProcess = [this]
	{
		Analytics.Now += Second;
		return true;
	};
	Analytics.FlushEvents();

	EXPECT_EQ(SentBodies(), (std::vector<std::string>{
		R"({"EventName":"KVTBootstrap.Start","DateOffset":"+00:00:00.000"})",
		R"({"EventName":"KVTBootstrap.Start","DateOffset":"+00:00:01.000"})",
	}));
}

TEST_F(AnalyticsTest, FlushEmptiesTheQueueEvenWhenEveryUploadFails)
{
	Http.OnProcess = [] { return false; };
	Analytics.FlushEvents();
	EXPECT_TRUE(Http.Requests.empty());

	Analytics.RecordBootstrapStart();
	Analytics.RecordUserHelperExit(1);
	Analytics.RecordStartupSpeed(1, 2, 3);
	Analytics.FlushEvents();
	EXPECT_EQ(Http.Requests.size(), 3u);

	Analytics.FlushEvents();
	EXPECT_EQ(Http.Requests.size(), 3u) << "a failed event must not be sent again";

	Analytics.RecordBootstrapStart();
	Analytics.FlushEvents();
	EXPECT_EQ(Http.Requests.size(), 4u);
}

TEST_F(AnalyticsTest, WithoutSessionIdNothingIsSentAndEachEventSaysWhy)
{
	FLogCapture Capture;
	FClockedAnalytics NoSession(&Http, &Platform, L"v", L"a", L"e", "http://127.0.0.1:9");
	NoSession.RecordBootstrapStart();
	NoSession.RecordUserHelperExit(3);
	NoSession.FlushEvents();

	EXPECT_TRUE(Http.Requests.empty());
	EXPECT_EQ(Http.UrlEncodeCalls, 0);
	size_t Messages = 0;
	for (const auto& Entry : Capture.Entries())
	{
		Messages += Entry.Level == ELogLevel::Verbose &&
			Entry.Message == L"FGenericAnalytics::RecordEvent - Failed, SessionID needs to be set.";
	}
	EXPECT_EQ(Messages, 2u) << Capture.Dump();
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"FGenericAnalytics::RecordEvent",
		L"FGenericAnalytics::RecordEvent - Failed, SessionID needs to be set."));

	// The queue was emptied all the same.
	NoSession.SetSessionId(L"s");
	NoSession.FlushEvents();
	EXPECT_TRUE(Http.Requests.empty());
}

TEST_F(AnalyticsTest, RequestCarriesTheQueryHeadersAndBody)
{
	// The build-time base address is the default.
	FClockedAnalytics Default(&Http, &Platform, L"++KVTSDK+Release-2.0-CL-1000",
		L"ZorvanOnlineServices.BootStrapper", L"prod");
	Default.SetSessionId(L"0f8fad5b-d9cb-469f-a165-70867728950e");
	Default.RecordBootstrapStart();
	Default.FlushEvents();

	ASSERT_EQ(Http.Requests.size(), 1u);
	const FFakeHttpRequest& Request = *Http.Requests[0];
	EXPECT_EQ(Request.URL, std::string(KVT_TELEMETRY_URL) +
		"/telemetry/data?SessionID=0f8fad5b-d9cb-469f-a165-70867728950e&AppID=ZorvanOnlineServices.BootStrapper"
		"&AppVersion=%2B%2BKVTSDK%2BRelease-2.0-CL-1000&AppEnvironment=prod&UploadType=eteventstream");
	EXPECT_EQ(Request.Verb, "POST");
	EXPECT_EQ(Request.Content, R"({"EventName":"KVTBootstrap.Start","DateOffset":"+00:00:00.000"})");
	EXPECT_EQ(Request.Headers, (std::vector<std::pair<std::string, std::string>>{
		{"User-Agent", "ZorvanOnlineServices.BootStrapper++KVTSDK+Release-2.0-CL-1000 FakeOS1.2.3.1.0.32bit"},
		{"Content-Type", "application/json; charset=utf-8"},
	}));
	EXPECT_EQ(Request.Calls, (std::vector<std::string>{"SetHeader User-Agent", "SetHeader Content-Type", "SetURL",
		"SetVerb", "SetContent", "SetTimeLimitMs", "ProcessRequest"}));
	EXPECT_EQ(Request.TimeLimitMs, 10'000) << "a lone upload has the whole budget";
}

TEST(AnalyticsBudget, UploadsOfOneFlushShareOneTimeBudget)
{
	struct FCase
	{
		int64_t BudgetMs;
		int64_t UploadMs;
		int Events;
		std::vector<int64_t> Limits;
		std::wstring Message;  // empty: nothing logged
	};
	const FCase Cases[] = {
		// The fifth event's turn comes just as the budget runs out.
		{FGenericAnalytics::DefaultUploadTimeBudgetMs, 2'500, 5, {10'000, 7'500, 5'000, 2'500},
			L"Telemetry time budget spent: 1 of 5 events not sent."},
		{1'500, 400, 7, {1'500, 1'100, 700, 300}, L"Telemetry time budget spent: 3 of 7 events not sent."},
		{FGenericAnalytics::DefaultUploadTimeBudgetMs, 1'000, 3, {10'000, 9'000, 8'000}, L""},
	};
	for (const FCase& Case : Cases)
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

		std::vector<int64_t> Limits;
		for (size_t Index = 0; Index < Http.Requests.size(); ++Index)
		{
			Limits.push_back(Http.Requests[Index]->TimeLimitMs);
			EXPECT_NE(Http.Requests[Index]->Content.find("\"ExitCode\":" + std::to_string(Index) + ","), std::string::npos)
				<< "sent out of order: " << Http.Requests[Index]->Content;
		}
		EXPECT_EQ(Limits, Case.Limits);
		if (Case.Message.empty())
		{
			EXPECT_TRUE(Capture.Entries().empty()) << Capture.Dump();
		}
		else
		{
			EXPECT_EQ(Capture.Entries().size(), 1u) << Capture.Dump();
			EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"FGenericAnalytics::FlushEvents", Case.Message)) << Capture.Dump();
		}

		// The next flush has a budget of its own, and what was dropped stays dropped.
		Http.Requests.clear();
		Analytics.RecordBootstrapStart();
		Analytics.FlushEvents();
		ASSERT_EQ(Http.Requests.size(), 1u);
		EXPECT_EQ(Http.Requests[0]->TimeLimitMs, Case.BudgetMs);
		EXPECT_NE(Http.Requests[0]->Content.find("KVTBootstrap.Start"), std::string::npos);
	}
}

TEST_F(AnalyticsTest, IdentityTextIsEncodedOneUtf16UnitAtATime)
{
	// U+1F600 is a surrogate pair in UTF-16: each half becomes its own 3 bytes.
	const std::wstring Emoji = sizeof(wchar_t) == 2
		? std::wstring{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)}
		: std::wstring{static_cast<wchar_t>(0x1F600)};
	Platform.PlatformName = L"Os\u00E9";
	Platform.PlatformVersion = L"1" + Emoji;
	FClockedAnalytics Wide(&Http, &Platform, L"v\u4E2D", L"App", L"e", "http://h");
	Wide.SetSessionId(L"s" + Emoji);
	Wide.RecordBootstrapStart();
	Wide.FlushEvents();

	ASSERT_EQ(Http.Requests.size(), 1u);
	EXPECT_EQ(Http.Requests[0]->Headers.at(0).second, "Appv\xE4\xB8\xAD Os\xC3\xA9" "1\xED\xA0\xBD\xED\xB8\x80");
	EXPECT_EQ(Http.Requests[0]->URL, "http://h/telemetry/data?SessionID=s%ED%A0%BD%ED%B8%80&AppID=App"
		"&AppVersion=v%E4%B8%AD&AppEnvironment=e&UploadType=eteventstream");
}

TEST_F(AnalyticsTest, FailedSerialisationOrEncodingSendsNothing)
{
	FLogCapture Capture;
	Analytics.RecordEvent({DoubleAttribute("Ratio", std::nan(""))});
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"FGenericAnalytics::RecordEvent",
		L"FGenericAnalytics::RecordEvent - Failed to create json string."));
	EXPECT_EQ(Http.UrlEncodeCalls, 0);

	Http.FailingUrlEncodeCall = 2;
	Analytics.RecordEvent({StringAttribute("EventName", "x")});
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"FGenericAnalytics::RecordEvent",
		L"FGenericAnalytics::RecordEvent - Failed to encode url path."));
	EXPECT_EQ(Http.UrlEncodeCalls, 2) << "the encodings after a failed one are not attempted";
	EXPECT_TRUE(Http.Requests.empty());
}

TEST(AnalyticsAttributeJson, StringsAreEscapedExactlyAndUtf8PassesThrough)
{
	const std::string Value = "q\"b\\\t\x01" "\xC3\xA9" "\0" "\b\n\f\r" "\x7F/\x1F"s;
	std::string Json;
	ASSERT_TRUE(FAnalyticsAttribute::ToJson({StringAttribute("S", Value)}, Json));
	EXPECT_EQ(Json, R"({"S":"q\"b\\\t\u0001)" "\xC3\xA9" R"(\u0000\b\n\f\r)" "\x7F" R"(/\u001F"})");
}

TEST(AnalyticsAttributeJson, EveryTypeHasItsJsonFormAndNamesRepeat)
{
	FAnalyticsAttribute Big = Attribute("U", EAttributeType::UInt64);
	Big.UInt64Value = std::numeric_limits<uint64_t>::max();
	FAnalyticsAttribute Small = Attribute("I", EAttributeType::Int64);
	Small.Int64Value = std::numeric_limits<int64_t>::min();
	FAnalyticsAttribute Yes = Attribute("B", EAttributeType::Bool);
	Yes.BoolValue = true;
	const FAnalyticsAttribute No = Attribute("B", EAttributeType::Bool);

	std::string Json;
	ASSERT_TRUE(FAnalyticsAttribute::ToJson({DoubleAttribute("D", 1.0), DoubleAttribute("D", 0.5),
		DoubleAttribute("D", 1e21), Big, Small, Yes, No}, Json));
	EXPECT_EQ(Json, R"({"D":1.0,"D":0.5,"D":1e21,"U":18446744073709551615,"I":-9223372036854775808,"B":true,"B":false})");
}

TEST(AnalyticsAttributeJson, UnknownTypeIsLoggedAndLeftOut)
{
	FLogCapture Capture;
	std::string Json;
	ASSERT_TRUE(FAnalyticsAttribute::ToJson({StringAttribute("A", "1"),
		Attribute("Odd", static_cast<EAttributeType>(7)), StringAttribute("B", "2")}, Json));
	EXPECT_EQ(Json, R"({"A":"1","B":"2"})");
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 1u) << Capture.Dump();
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, L"FAnalyticsAttribute::ToJson",
		L"FAnalyticsAttribute::ToJson: Unhandled Attribute type 7"));
}

TEST(AnalyticsAttributeJson, NoJsonForAnEmptyListOrANonFiniteNumber)
{
	std::string Json = "untouched";
	EXPECT_FALSE(FAnalyticsAttribute::ToJson({}, Json));
	EXPECT_FALSE(FAnalyticsAttribute::ToJson({StringAttribute("A", "1"), DoubleAttribute("N", std::nan(""))}, Json));
	EXPECT_FALSE(FAnalyticsAttribute::ToJson({DoubleAttribute("Inf", std::numeric_limits<double>::infinity())}, Json));
	EXPECT_EQ(Json, "untouched");
}
