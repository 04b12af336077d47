#include "analytics/GenericAnalytics.h"
#include "http/CurlHttpModule.h"
#include "http/CurlHttpRequest.h"

#include "tests/support/FakePlatform.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <chrono>

namespace
{
	// Wine's Schannel accepts any certificate, so there HTTPS to the loopback
	// server succeeds and a refused certificate cannot be observed.
	constexpr bool TlsVerifiesLoopback = KVT_TEST_TLS_VERIFIES_LOOPBACK != 0;

	class FFixedClockAnalytics : public FGenericAnalytics
	{
	public:
		using FGenericAnalytics::FGenericAnalytics;

	protected:
		int64_t ReadMonotonicNanoseconds() const override { return 0; }
	};

	class HttpTest : public ::testing::Test
	{
	protected:
		FLoopbackServer Server;

		void SetUp() override { ASSERT_TRUE(Server.Connect()) << Server.Error; }

		std::string HttpUrl(int Port, const std::string& Target) const
		{
			return "http://127.0.0.1:" + std::to_string(Port) + Target;
		}

		std::shared_ptr<IHttpRequest> Post(FCurlHttpModule& Module, const std::string& URL, const std::string& Body)
		{
			std::shared_ptr<IHttpRequest> Request = Module.CreateRequest();
			Request->SetURL(URL);
			Request->SetVerb("POST");
			Request->SetContent(Body);
			return Request;
		}

		// Sends the three events through the real module and checks what arrived.
		void ExpectEventsArrive(const std::string& Scheme, int Port)
		{
			FCurlHttpModule Module;
			FFakePlatform Platform;
			const std::string Session = "0f8fad5b-d9cb-469f-a165-" + UniqueToken().substr(0, 12);
			FFixedClockAnalytics Analytics(&Module, &Platform, L"++KVTSDK+Release-2.0-CL-1000",
				L"ZorvanOnlineServices.BootStrapper", L"prod", Scheme + "://127.0.0.1:" + std::to_string(Port));
			Analytics.SetSessionId(std::wstring(Session.begin(), Session.end()));
			Analytics.RecordBootstrapStart();
			Analytics.RecordUserHelperExit(-1);
			Analytics.RecordStartupSpeed(2304, 0, 0);
			// libcurl prints an answer nobody takes to standard output.
			::testing::internal::CaptureStdout();
			Analytics.FlushEvents();
			EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");

			const std::string Target = "/telemetry/data?SessionID=" + Session +
				"&AppID=ZorvanOnlineServices.BootStrapper&AppVersion=%2B%2BKVTSDK%2BRelease-2.0-CL-1000"
				"&AppEnvironment=prod&UploadType=eteventstream";
			const std::vector<std::string> Bodies = {
				R"({"EventName":"KVTBootstrap.Start","DateOffset":"+00:00:00.000"})",
				R"({"EventName":"KVTBootstrap.UserHelper.Exit","ExitCode":-1,"ExitCodeHexString":"FFFFFFFFh","DateOffset":"+00:00:00.000"})",
				R"({"EventName":"KVTBootstrap.Performance.StartupSpeed","StartupTimeInMs":2304,"RestartCount":0,"FinalExitCode":0,"DateOffset":"+00:00:00.000"})",
			};
			const std::vector<FRecordedRequest> Arrived = Server.RequestsTo(Target);
			ASSERT_EQ(Arrived.size(), Bodies.size());
			for (size_t Index = 0; Index < Arrived.size(); ++Index)
			{
				const FRecordedRequest& Request = Arrived[Index];
				EXPECT_EQ(Request.Server, Scheme);
				EXPECT_EQ(Request.Method, "POST");
				EXPECT_EQ(Request.Body, Bodies[Index]);
				EXPECT_EQ(Request.HeaderValues("Content-Length"),
					std::vector<std::string>{std::to_string(Bodies[Index].size())});
				EXPECT_EQ(Request.HeaderValues("Content-Type"),
					std::vector<std::string>{"application/json; charset=utf-8"});
				EXPECT_EQ(Request.HeaderValues("User-Agent"), std::vector<std::string>{
					"ZorvanOnlineServices.BootStrapper++KVTSDK+Release-2.0-CL-1000 FakeOS1.2.3.1.0.32bit"});
				EXPECT_LT(Request.HeaderIndex("Content-Type"), Request.HeaderIndex("User-Agent"));
			}
		}
	};
}

TEST(HttpModule, UrlEncodeIsLibcurlsPercentEncoding)
{
	FCurlHttpModule Module;
	std::string Output = "stale";
	ASSERT_TRUE(Module.UrlEncode("a b+c~", Output));
	EXPECT_EQ(Output, "a%20b%2Bc~");
	ASSERT_TRUE(Module.UrlEncode("-._\xC3\xA9/?&=", Output));
	EXPECT_EQ(Output, "-._%C3%A9%2F%3F%26%3D");
	ASSERT_TRUE(Module.UrlEncode("", Output));
	EXPECT_EQ(Output, "");
}

TEST(HttpModule, RequestWithoutUrlIsRefusedAndHoldsNothing)
{
	FLogCapture Capture;
	FCurlHttpRequest Request(FCurlHttpModule::DefaultTransferTimeoutMs);
	Request.SetVerb("POST");
	Request.SetContent("x");
	EXPECT_FALSE(Request.SetOpt(CURLOPT_POST, 1L)) << "no handle outside ProcessRequest";
	EXPECT_FALSE(Request.ProcessRequest());
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"FCurlHttpRequest::ProcessRequest",
		L"FCurlHttpRequest::ProcessRequest: No Url Set"));
	EXPECT_FALSE(Request.HoldsTransferState());
}

TEST_F(HttpTest, EachEventArrivesAsOnePost)
{
	ExpectEventsArrive("http", Server.HttpPort);
}

TEST_F(HttpTest, EachEventArrivesAsOnePostOverTls)
{
	if (TlsVerifiesLoopback)
	{
		GTEST_SKIP() << "the TLS back end verifies, and the loopback certificate is self-signed";
	}
	ExpectEventsArrive("https", Server.HttpsPort);
}

TEST_F(HttpTest, HeadersGoOutSortedByNameAndTheFirstValueWins)
{
	FCurlHttpModule Module;
	const std::string Target = "/headers/" + UniqueToken();
	std::shared_ptr<IHttpRequest> Request = Post(Module, HttpUrl(Server.HttpPort, Target), "{}");
	Request->SetHeader("X-Zeta", "z");
	Request->SetHeader("User-Agent", "first");
	Request->SetHeader("User-Agent", "second");
	Request->SetHeader("X-Alpha", "a");
	ASSERT_TRUE(Request->ProcessRequest());

	const std::vector<FRecordedRequest> Arrived = Server.RequestsTo(Target);
	ASSERT_EQ(Arrived.size(), 1u);
	EXPECT_EQ(Arrived[0].HeaderValues("User-Agent"), std::vector<std::string>{"first"});
	EXPECT_LT(Arrived[0].HeaderIndex("User-Agent"), Arrived[0].HeaderIndex("X-Alpha"));
	EXPECT_LT(Arrived[0].HeaderIndex("X-Alpha"), Arrived[0].HeaderIndex("X-Zeta"));
}

TEST_F(HttpTest, LargeBodyArrivesWhole)
{
	std::string Body(1'000'000, '\0');
	for (size_t Index = 0; Index < Body.size(); ++Index)
	{
		Body[Index] = static_cast<char>((Index * 7) % 251);
	}
	FCurlHttpModule Module;
	const std::string Target = "/large/" + UniqueToken();
	FCurlHttpRequest Request(FCurlHttpModule::DefaultTransferTimeoutMs);
	Request.SetURL(HttpUrl(Server.HttpPort, Target));
	Request.SetVerb("POST");
	Request.SetContent(Body);
	ASSERT_TRUE(Request.ProcessRequest());
	EXPECT_EQ(Request.GetReadOffset(), Body.size());
	EXPECT_FALSE(Request.HoldsTransferState());

	const std::vector<FRecordedRequest> Arrived = Server.RequestsTo(Target);
	ASSERT_EQ(Arrived.size(), 1u);
	EXPECT_EQ(Arrived[0].HeaderValues("Content-Length"), std::vector<std::string>{"1000000"});
	EXPECT_TRUE(Arrived[0].Body == Body) << "arrived " << Arrived[0].Body.size() << " bytes";
}

TEST_F(HttpTest, OnlyUpperCasePostIsSent)
{
	FLogCapture Capture;
	FCurlHttpModule Module;
	const std::string Target = "/verbs/" + UniqueToken();
	for (const std::string Verb : {"post", "GET"})
	{
		std::shared_ptr<IHttpRequest> Request = Post(Module, HttpUrl(Server.HttpPort, Target), "{}");
		Request->SetVerb(Verb);
		EXPECT_FALSE(Request->ProcessRequest());
		EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"FCurlHttpRequest::ProcessRequest",
			L"FCurlHttpRequest::ProcessRequest: Unsorported Verb " + std::wstring(Verb.begin(), Verb.end())));
	}
	// The same request with the right verb does arrive: the server was listening.
	ASSERT_TRUE(Post(Module, HttpUrl(Server.HttpPort, Target + "-post"), "{}")->ProcessRequest());
	EXPECT_EQ(Server.RequestsTo(Target + "-post").size(), 1u);
	EXPECT_TRUE(Server.RequestsTo(Target).empty());
}

TEST_F(HttpTest, NobodyListeningEndsTheRequestQuietly)
{
	FLogCapture Capture;
	FCurlHttpModule Module;
	std::shared_ptr<IHttpRequest> Request = Post(Module, HttpUrl(Server.ClosedPort, "/nobody"), "{}");
	Request->SetHeader("Content-Type", "application/json; charset=utf-8");
	EXPECT_TRUE(Request->ProcessRequest());
	EXPECT_TRUE(Capture.Entries().empty()) << Capture.Dump();
}

TEST_F(HttpTest, StalledServerIsAbandonedAtTheTransferBound)
{
	using namespace std::chrono;
	const int64_t Before = Server.LastSeq();
	FLogCapture Capture;
	FCurlHttpModule Module(1'000);
	std::shared_ptr<IHttpRequest> Request = Post(Module, HttpUrl(Server.StallPort, "/stall"), "{}");
	const steady_clock::time_point Start = steady_clock::now();
	EXPECT_TRUE(Request->ProcessRequest());
	const milliseconds Elapsed = duration_cast<milliseconds>(steady_clock::now() - Start);

	// The server would hold the connection for two minutes; libcurl cannot give
	// up before its bound (counted on its own clock, which under Wine ends a
	// millisecond before ours), and the ceiling leaves room for a slow machine.
	EXPECT_GE(Elapsed, milliseconds(990));
	EXPECT_LT(Elapsed, seconds(30));
	EXPECT_TRUE(Capture.Entries().empty()) << Capture.Dump();
	EXPECT_TRUE(Server.WaitForEvent(Before, "stall", "accepted")) << "the stalling server never saw the connection";
}

TEST_F(HttpTest, UploadsOfOneFlushShareOneTimeBudget)
{
	using namespace std::chrono;
	constexpr int Queued = 7;
	const std::wstring Spent = L"Telemetry time budget spent: ";
	const std::wstring OfQueued = L" of 7 events not sent.";
	for (const bool bStalling : {false, true})
	{
		SCOPED_TRACE(bStalling ? "server that never answers" : "server that answers");
		const int64_t Before = Server.LastSeq();
		FLogCapture Capture;
		FCurlHttpModule Module;
		FFakePlatform Platform;
		const std::string Session = UniqueToken();
		FGenericAnalytics Analytics(&Module, &Platform, L"v", L"a", L"e",
			HttpUrl(bStalling ? Server.StallPort : Server.HttpPort, ""), 1'500);
		Analytics.SetSessionId(std::wstring(Session.begin(), Session.end()));
		for (int Index = 0; Index < Queued; ++Index)
		{
			Analytics.RecordUserHelperExit(Index);
		}
		const steady_clock::time_point Start = steady_clock::now();
		Analytics.FlushEvents();
		// A generous ceiling: what a single transfer given no limit may take.
		EXPECT_LT(steady_clock::now() - Start, milliseconds(FCurlHttpModule::DefaultTransferTimeoutMs));

		std::vector<int> NotSent;
		for (const FLogCapture::FEntry& Entry : Capture.Entries())
		{
			if (Entry.Message.starts_with(Spent) && Entry.Message.ends_with(OfQueued))
			{
				NotSent.push_back(std::stoi(Entry.Message.substr(Spent.size())));
				EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, L"FGenericAnalytics::FlushEvents", Entry.Message));
			}
		}
		if (!bStalling)
		{
			EXPECT_TRUE(NotSent.empty()) << Capture.Dump();
			const std::vector<FRecordedRequest> Arrived = Server.RequestsTo("/telemetry/data?SessionID=" + Session +
				"&AppID=a&AppVersion=v&AppEnvironment=e&UploadType=eteventstream");
			ASSERT_EQ(Arrived.size(), static_cast<size_t>(Queued));
			for (int Index = 0; Index < Queued; ++Index)
			{
				EXPECT_NE(Arrived[Index].Body.find("\"ExitCode\":" + std::to_string(Index) + ","), std::string::npos)
					<< Arrived[Index].Body;
			}
			continue;
		}
		ASSERT_EQ(NotSent.size(), 1u) << Capture.Dump();
		ASSERT_GE(NotSent[0], 1);
		ASSERT_LT(NotSent[0], Queued) << "the first upload always has the whole budget";
		// One connection per event attempted, none for those left unsent.
		const size_t Attempted = static_cast<size_t>(Queued - NotSent[0]);
		EXPECT_TRUE(Server.WaitForEvent(Before, "stall", "accepted", Attempted));
		EXPECT_EQ(Server.CountEvents(Before, "stall", "accepted"), Attempted);
	}
}

TEST_F(HttpTest, RedirectIsNotFollowed)
{
	FCurlHttpModule Module;
	const std::string Token = UniqueToken();
	ASSERT_TRUE(Post(Module, HttpUrl(Server.HttpPort, "/redirect/" + Token), "{}")->ProcessRequest());
	EXPECT_EQ(Server.RequestsTo("/redirect/" + Token).size(), 1u);
	EXPECT_TRUE(Server.RequestsTo("/redirected/" + Token).empty()) << "the Location of a 302 was requested";
}

TEST_F(HttpTest, UntrustedCertificateGetsNoBody)
{
	if (!TlsVerifiesLoopback)
	{
		GTEST_SKIP() << "Wine's Schannel does not verify certificates, so an untrusted one is accepted here";
	}
	const int64_t Before = Server.LastSeq();
	FCurlHttpModule Module;
	const std::string Target = "/untrusted/" + UniqueToken();
	const std::string URL = "https://127.0.0.1:" + std::to_string(Server.HttpsPort) + Target;
	EXPECT_TRUE(Post(Module, URL, "{\"secret\":1}")->ProcessRequest());

	EXPECT_TRUE(Server.WaitForEvent(Before, "https", "tls-error")) << "the client never reached the TLS server";
	EXPECT_TRUE(Server.RequestsTo(Target).empty());
}

TEST_F(HttpTest, TrustedCertificateForAnotherHostGetsNoBody)
{
	if (!TlsVerifiesLoopback)
	{
		GTEST_SKIP() << "Wine's Schannel does not verify certificates, so one for another host is accepted here";
	}
	// Both certificates come from the one authority the client trusts: only the
	// host name they carry tells them apart.
	FCurlHttpModule Module(FCurlHttpModule::DefaultTransferTimeoutMs, Server.CertificateAuthorityFile());
	const struct
	{
		std::string Name;
		int Port;
		bool bAccepted;
	} Cases[] = {{"https-named", Server.HttpsNamedPort, true}, {"https-misnamed", Server.HttpsMisnamedPort, false}};
	for (const auto& Case : Cases)
	{
		SCOPED_TRACE(Case.Name);
		const int64_t Before = Server.LastSeq();
		const std::string Target = "/host-name/" + UniqueToken();
		const std::string URL = "https://127.0.0.1:" + std::to_string(Case.Port) + Target;
		EXPECT_TRUE(Post(Module, URL, "{\"secret\":1}")->ProcessRequest());
		if (Case.bAccepted)
		{
			EXPECT_EQ(Server.RequestsTo(Target).size(), 1u);
			continue;
		}
		// libcurl checks the name once the handshake is done, then hangs up.
		EXPECT_TRUE(Server.WaitForEvent(Before, Case.Name, "connected")) << "the client never reached the TLS server";
		EXPECT_TRUE(Server.RequestsTo(Target).empty());
	}
}
