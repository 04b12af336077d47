#include "analytics/GenericAnalytics.h"
#include "http/CurlHttpModule.h"
#include "http/CurlHttpRequest.h"

#include "tests/support/FakePlatform.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace std::chrono;
using FHeaders = std::vector<std::pair<std::string, std::string>>;

namespace
{
	// Wine's Schannel verifies no certificate: there every one is accepted.
	constexpr bool TlsVerifies = KVT_TEST_TLS_VERIFIES_LOOPBACK != 0;

	struct FFixedClockAnalytics : FGenericAnalytics
	{
		using FGenericAnalytics::FGenericAnalytics;
		int64_t ReadMonotonicNanoseconds() const override { return 0; }
	};

	class HttpTest : public ::testing::Test
	{
	protected:
		FLoopbackServer Server;
		FLogCapture Capture;
		// Trusts the test authority as a user's system trusts the real ones.
		FCurlHttpModule Module{FCurlHttpModule::DefaultTransferTimeoutMs, Server.CertificateAuthorityFile()};

		void SetUp() override { ASSERT_TRUE(Server.Connect()) << Server.Error; }

		bool Post(const std::string& URL, const std::string& Verb = "POST")
		{
			std::shared_ptr<IHttpRequest> Request = Module.CreateRequest();
			Request->SetURL(URL);
			Request->SetVerb(Verb);
			Request->SetContent("{}");
			return Request->ProcessRequest();
		}
	};
}

TEST(HttpModule, UrlEncodeIsLibcurlsPercentEncoding)
{
	FCurlHttpModule Module;
	const std::pair<std::string, std::string> Cases[] = {
		{"a b+c~", "a%20b%2Bc~"}, {"-._\xC3\xA9/?&=", "-._%C3%A9%2F%3F%26%3D"}, {"", ""}};
	for (const auto& [Input, Encoded] : Cases)
	{
		std::string Output = "stale";
		EXPECT_TRUE(Module.UrlEncode(Input, Output));
		EXPECT_EQ(Output, Encoded);
	}
}

TEST(HttpModule, RequestWithoutUrlIsRefusedAndHoldsNothing)
{
	FLogCapture Capture;
	FCurlHttpRequest Request(FCurlHttpModule::DefaultTransferTimeoutMs);
	Request.SetVerb("POST");
	EXPECT_FALSE(Request.SetOpt(CURLOPT_POST, 1L)) << "no handle outside ProcessRequest";
	EXPECT_FALSE(Request.ProcessRequest());
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"FCurlHttpRequest::ProcessRequest",
		L"FCurlHttpRequest::ProcessRequest: No Url Set"));
	EXPECT_FALSE(Request.HoldsTransferState());
}

TEST_F(HttpTest, EachEventArrivesAsOnePostOverHttpAndHttps)
{
	for (const std::string Scheme : {"http", "https"})
	{
		FFakePlatform Platform;
		FFixedClockAnalytics Analytics(&Module, &Platform, L"++KVTSDK+Release-2.0-CL-1000",
			L"ZorvanOnlineServices.BootStrapper", L"prod", Server.Url(Scheme, ""));
		Analytics.SetSessionId(std::wstring(Scheme.begin(), Scheme.end()));
		Analytics.RecordUserHelperExit(-1);
		Analytics.RecordStartupSpeed(2304, 0, 0);
		// libcurl prints an answer nobody takes to standard output.
		::testing::internal::CaptureStdout();
		Analytics.FlushEvents();
		EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");

		const std::vector<FRecordedRequest> Arrived = Server.RequestsTo("/telemetry/data?SessionID=" + Scheme +
			"&AppID=ZorvanOnlineServices.BootStrapper&AppVersion=%2B%2BKVTSDK%2BRelease-2.0-CL-1000"
			"&AppEnvironment=prod&UploadType=eteventstream");
		const std::string Bodies[] = {
			R"({"EventName":"KVTBootstrap.UserHelper.Exit","ExitCode":-1,"ExitCodeHexString":"FFFFFFFFh","DateOffset":"+00:00:00.000"})",
			R"({"EventName":"KVTBootstrap.Performance.StartupSpeed","StartupTimeInMs":2304,"RestartCount":0,"FinalExitCode":0,"DateOffset":"+00:00:00.000"})",
		};
		ASSERT_EQ(Arrived.size(), std::size(Bodies)) << Scheme;
		for (size_t Index = 0; Index < Arrived.size(); ++Index)
		{
			EXPECT_EQ(Arrived[Index].Method, "POST");
			EXPECT_EQ(Arrived[Index].Body, Bodies[Index]);
			EXPECT_EQ(Arrived[Index].Headers, (FHeaders{{"Host", "127.0.0.1:" + std::to_string(Server.Ports[Scheme])},
				{"Accept", "*/*"}, {"Content-Type", "application/json; charset=utf-8"},
				{"User-Agent", "ZorvanOnlineServices.BootStrapper++KVTSDK+Release-2.0-CL-1000 FakeOS1.2.3.1.0.32bit"},
				{"Content-Length", std::to_string(Bodies[Index].size())}}));
		}
	}
	EXPECT_TRUE(Capture.Entries().empty()) << Capture.Dump();
}

TEST_F(HttpTest, LargeBodyArrivesWholeWithHeadersSortedAndTheFirstValueWinning)
{
	std::string Body(1'000'000, '\0');
	for (size_t Index = 0; Index < Body.size(); ++Index)
	{
		Body[Index] = static_cast<char>((Index * 7) % 251);
	}
	FCurlHttpRequest Request(FCurlHttpModule::DefaultTransferTimeoutMs);
	Request.SetURL(Server.Url("http", "/large"));
	Request.SetVerb("POST");
	Request.SetContent(Body);
	Request.SetHeader("X-Zeta", "z");
	Request.SetHeader("User-Agent", "first");
	Request.SetHeader("User-Agent", "second");
	Request.SetHeader("X-Alpha", "a");
	ASSERT_TRUE(Request.ProcessRequest());
	EXPECT_EQ(Request.GetReadOffset(), Body.size());
	EXPECT_FALSE(Request.HoldsTransferState());

	const std::vector<FRecordedRequest> Arrived = Server.RequestsTo("/large");
	ASSERT_EQ(Arrived.size(), 1u);
	EXPECT_EQ(Arrived[0].Headers, (FHeaders{{"Host", "127.0.0.1:" + std::to_string(Server.Ports["http"])},
		{"Accept", "*/*"}, {"User-Agent", "first"}, {"X-Alpha", "a"}, {"X-Zeta", "z"}, {"Content-Length", "1000000"},
		{"Content-Type", "application/x-www-form-urlencoded"}}));
	EXPECT_TRUE(Arrived[0].Body == Body) << "arrived " << Arrived[0].Body.size() << " bytes";
}

TEST_F(HttpTest, OnlyUpperCasePostIsSent)
{
	for (const std::string Verb : {"post", "GET"})
	{
		EXPECT_FALSE(Post(Server.Url("http", "/verbs"), Verb));
		EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"FCurlHttpRequest::ProcessRequest",
			L"FCurlHttpRequest::ProcessRequest: Unsorported Verb " + std::wstring(Verb.begin(), Verb.end())));
	}
	EXPECT_TRUE(Server.RequestsTo("/verbs").empty());
}

TEST_F(HttpTest, RefusedConnectionAndRedirectEndTheRequestQuietly)
{
	EXPECT_TRUE(Post(Server.Url("closed", "/nobody")));
	EXPECT_TRUE(Post(Server.Url("http", "/redirect/x")));
	EXPECT_EQ(Server.RequestsTo("/redirect/x").size(), 1u);
	EXPECT_TRUE(Server.RequestsTo("/redirected/x").empty()) << "the Location of a 302 was requested";
	EXPECT_TRUE(Capture.Entries().empty()) << Capture.Dump();
}

TEST_F(HttpTest, UploadsOfOneFlushToAStalledServerShareOneTimeBudget)
{
	FFakePlatform Platform;
	FGenericAnalytics Analytics(&Module, &Platform, L"v", L"a", L"e", Server.Url("stall", ""), 1'500);
	Analytics.SetSessionId(L"s");
	for (int Index = 0; Index < 7; ++Index)
	{
		Analytics.RecordUserHelperExit(Index);
	}
	const steady_clock::time_point Start = steady_clock::now();
	Analytics.FlushEvents();
	// The server would hold each connection for a minute. libcurl cannot give up
	// on the first before the whole budget (counted on its own clock, which under
	// Wine ends a millisecond before ours); the ceiling is what a single transfer
	// given no limit of its own may take.
	EXPECT_GE(steady_clock::now() - Start, milliseconds(1'490));
	EXPECT_LT(steady_clock::now() - Start, milliseconds(FCurlHttpModule::DefaultTransferTimeoutMs));

	// The first upload has the whole budget, so some but not all are attempted:
	// one connection each, none for those left unsent.
	ASSERT_EQ(Capture.Entries().size(), 1u) << Capture.Dump();
	const std::wstring& Message = Capture.Entries()[0].Message;
	const int NotSent = std::stoi(Message.substr(Message.find(L": ") + 2));
	EXPECT_TRUE(NotSent >= 1 && NotSent < 7) << NotSent;
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"FGenericAnalytics::FlushEvents",
		L"Telemetry time budget spent: " + std::to_wstring(NotSent) + L" of 7 events not sent."));
	EXPECT_EQ(Server.Connections("stall", 7 - NotSent), static_cast<size_t>(7 - NotSent));
}

TEST_F(HttpTest, CertificateNotTrustedOrForAnotherHostGetsNoBody)
{
	if (!TlsVerifies)
	{
		GTEST_SKIP() << "Wine's Schannel does not verify certificates, so every one is accepted here";
	}
	// The first client knows no test authority; the second trusts it but asks
	// for a name the certificate does not carry.
	const std::pair<std::string, std::string> Cases[] = {{"", Server.Url("https", "/refused")},
		{Server.CertificateAuthorityFile(), "https://localhost:" + std::to_string(Server.Ports["https"]) + "/refused"}};
	for (const auto& [Authority, URL] : Cases)
	{
		Module = FCurlHttpModule(FCurlHttpModule::DefaultTransferTimeoutMs, Authority);
		EXPECT_TRUE(Post(URL));
	}
	EXPECT_EQ(Server.Connections("https", 2), 2u) << "the client did not reach the server each time";
	EXPECT_TRUE(Server.RequestsTo("/refused").empty());
}
