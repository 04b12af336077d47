#include "analytics/GenericAnalytics.h"
#include "http/CurlHttpModule.h"
#include "http/CurlHttpRequest.h"

#include "tests/support/FakePlatform.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <tuple>

using namespace std::chrono;

namespace
{
	class HttpTest : public ::testing::Test
	{
	protected:
		FLoopbackServer Server;
		FLogCapture Capture;

		void SetUp() override { ASSERT_TRUE(Server.Connect()) << Server.Error; }
	};
}

// Refused before anything is sent: the address is one nobody listens on.
TEST_F(HttpTest, OnlyAnUpperCasePostWithAUrlIsProcessed)
{
	FCurlHttpRequest Request(FCurlHttpModule::DefaultTransferTimeoutMs);
	Request.SetVerb("POST");
	EXPECT_FALSE(Request.ProcessRequest());
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"FCurlHttpRequest::ProcessRequest",
		L"FCurlHttpRequest::ProcessRequest: No Url Set"));

	Request.SetURL("http://127.0.0.1:9/");
	Request.SetVerb("post");
	EXPECT_FALSE(Request.ProcessRequest());
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"FCurlHttpRequest::ProcessRequest",
		L"FCurlHttpRequest::ProcessRequest: Unsorported Verb post"));
}

// Every case is attempted and ends quietly; where the request is to arrive it
// arrives once and whole, its headers sorted and the first value of each kept.
TEST_F(HttpTest, ARequestArrivesOnlyWhereItMayAndThenWhole)
{
	std::string Body(200'000, '\0');
	std::ranges::generate(Body, [Index = 0]() mutable { return static_cast<char>(Index++ * 7 % 251); });
	const std::string Trusted = KVT_TEST_LOOPBACK_DIR "/ca.pem";
	const std::tuple<std::string, std::string, size_t> Cases[] = {
		{Trusted, Server.Url("http", "/plain"), 1},
		{Trusted, Server.Url("https", "/tls"), 1},
		{"", Server.Url("http", "/redirect/x"), 1}, // the 302 is not followed
		{"", Server.Url("closed", "/refused"), 0},
#ifndef _WIN32 // Wine's Schannel verifies no certificate: there every one is accepted.
		{"", Server.Url("https", "/untrusted"), 0},
		// Trusted, but the certificate names 127.0.0.1 alone.
		{Trusted, "https://localhost:" + std::to_string(Server.Ports["https"]) + "/localhost", 0},
#endif
	};
	for (const auto& [Authority, URL, Arrivals] : Cases)
	{
		SCOPED_TRACE(URL);
		FCurlHttpRequest Request(FCurlHttpModule::DefaultTransferTimeoutMs, Authority);
		Request.SetURL(URL);
		Request.SetVerb("POST");
		Request.SetContent(Body);
		Request.SetHeader("User-Agent", "first");
		Request.SetHeader("User-Agent", "second");
		Request.SetHeader("Content-Type", "application/json; charset=utf-8");
		// libcurl prints an answer nobody takes to standard output.
		::testing::internal::CaptureStdout();
		EXPECT_TRUE(Request.ProcessRequest());
		EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
		EXPECT_FALSE(Request.HoldsTransferState());

		const size_t HostAt = URL.find("://") + 3;
		const std::string Host = URL.substr(HostAt, URL.find('/', HostAt) - HostAt);
		const std::vector<FRecordedRequest> Arrived = Server.RequestsTo(URL.substr(HostAt + Host.size()));
		ASSERT_EQ(Arrived.size(), Arrivals);
		for (const FRecordedRequest& Arrival : Arrived)
		{
			EXPECT_EQ(Arrival.Method, "POST");
			EXPECT_EQ(Arrival.Headers, (std::vector<std::pair<std::string, std::string>>{{"Host", Host}, {"Accept", "*/*"},
				{"Content-Type", "application/json; charset=utf-8"}, {"User-Agent", "first"}, {"Content-Length", "200000"}}));
			EXPECT_TRUE(Arrival.Body == Body) << "arrived " << Arrival.Body.size() << " bytes";
		}
	}
	EXPECT_TRUE(Server.RequestsTo("/redirected/x").empty());
	const size_t TlsCases = std::ranges::count_if(Cases, [](const auto& Case) { return std::get<1>(Case).starts_with("https"); });
	EXPECT_EQ(Server.Connections("https", TlsCases), TlsCases) << "the client did not reach the server each time";
	EXPECT_TRUE(Capture.Entries().empty()) << Capture.Dump();
}

TEST_F(HttpTest, UploadsOfOneFlushToAStalledServerShareOneTimeBudget)
{
	FCurlHttpModule Module;
	FFakePlatform Platform;
	FGenericAnalytics Analytics(&Module, &Platform, L"v", L"a", L"e", Server.Url("stall", ""), 1'500);
	Analytics.SetSessionId(L"s");
	for (int Index = 0; Index < 7; ++Index)
	{
		Analytics.RecordUserHelperExit(Index);
	}
	const steady_clock::time_point Start = steady_clock::now();
	Analytics.FlushEvents();
	// The server would hold each connection for a minute. The first upload has
	// the whole budget, which libcurl counts on its own clock (under Wine it ends
	// a millisecond before ours), and the rest are reported unsent. The ceiling is
	// what a single transfer given no limit of its own may take.
	EXPECT_GE(steady_clock::now() - Start, milliseconds(1'490));
	EXPECT_LT(steady_clock::now() - Start, milliseconds(FCurlHttpModule::DefaultTransferTimeoutMs));
	EXPECT_EQ(Capture.Entries().size(), 1u) << Capture.Dump();
}
