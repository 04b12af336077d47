#pragma once

#include "http/CurlHttpModule.h"
#include "http/HttpModule.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Records what the analytics code asks of a request, in call order; sends nothing.
class FFakeHttpRequest : public IHttpRequest
{
public:
	explicit FFakeHttpRequest(std::function<bool()> InOnProcess) : OnProcess(std::move(InOnProcess)) {}

	std::vector<std::string> Calls;
	std::string Verb;
	std::string URL;
	std::string Content;
	std::vector<std::pair<std::string, std::string>> Headers;
	int64_t TimeLimitMs = 0;

	std::string GetVerb() const override { return Verb; }
	void SetVerb(const std::string& InVerb) override { Calls.push_back("SetVerb"); Verb = InVerb; }
	void SetURL(const std::string& InURL) override { Calls.push_back("SetURL"); URL = InURL; }
	void SetContent(const std::string& InContent) override { Calls.push_back("SetContent"); Content = InContent; }
	void SetHeader(const std::string& Name, const std::string& Value) override
	{
		Calls.push_back("SetHeader " + Name);
		Headers.emplace_back(Name, Value);
	}
	void SetTimeLimitMs(int64_t Milliseconds) override
	{
		Calls.push_back("SetTimeLimitMs");
		TimeLimitMs = Milliseconds;
	}
	bool ProcessRequest() override
	{
		Calls.push_back("ProcessRequest");
		return OnProcess();
	}

private:
	std::function<bool()> OnProcess;
};

// Percent-encoding is libcurl's own (no network involved), so the query text the
// analytics code builds is checked against the real encoder; any call can be
// made to fail.
class FFakeHttpModule : public IHttpModule
{
public:
	std::vector<std::shared_ptr<FFakeHttpRequest>> Requests;
	int UrlEncodeCalls = 0;
	int FailingUrlEncodeCall = 0; // 1-based; 0 never fails
	// Runs as each request is processed; its result is the request's.
	std::function<bool()> OnProcess = [] { return true; };

	std::shared_ptr<IHttpRequest> CreateRequest() override
	{
		Requests.push_back(std::make_shared<FFakeHttpRequest>(OnProcess));
		return Requests.back();
	}

	bool UrlEncode(const std::string& Input, std::string& Output) override
	{
		++UrlEncodeCalls;
		if (UrlEncodeCalls == FailingUrlEncodeCall)
		{
			return false;
		}
		return Encoder.UrlEncode(Input, Output);
	}

private:
	FCurlHttpModule Encoder;
};
