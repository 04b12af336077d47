#pragma once

#include "http/HttpContentReader.h"
#include "http/CurlHandles.h"
#include "http/HttpRequest.h"
#include "app/Log.h"
#include "platform/Utf8.h"

#include <curl/curl.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

// One synchronous POST through the libcurl easy interface. The easy handle
// and the header list exist only while ProcessRequest runs.
class FCurlHttpRequest : public IHttpRequest
{
public:
	// An empty certificate authority file leaves the TLS back end's own trust.
	explicit FCurlHttpRequest(int64_t InTransferTimeoutMs, std::string InCertificateAuthorityFile = {});
	FCurlHttpRequest(const FCurlHttpRequest&) = delete;
	FCurlHttpRequest& operator=(const FCurlHttpRequest&) = delete;

	std::string GetVerb() const override;
	void SetVerb(const std::string& InVerb) override;
	void SetURL(const std::string& InURL) override;
	void SetContent(const std::string& InContent) override;
	void SetHeader(const std::string& Name, const std::string& Value) override;
	bool ProcessRequest() override;
	void SetTimeLimitMs(int64_t Milliseconds) override;

	// Sets one option on the open handle; a failure is logged and the caller
	// goes on, since no single option is worth losing the event for.
	template <typename TValue>
	bool SetOpt(CURLoption Option, TValue Value);

	bool HoldsTransferState() const { return EasyHandle.IsValid() || HeaderList.IsValid(); }

private:
	static size_t ReadCallback(char* Destination, size_t ElementSize, size_t ElementCount, void* UserData);
	static size_t DiscardCallback(char* Data, size_t ElementSize, size_t ElementCount, void* UserData);

	// Declared in this order so that a request destroyed with both still open
	// (an unsupported verb returns with the handle open) frees the list first.
	FScopedCurlEasy EasyHandle;
	FScopedCurlHeaderList HeaderList;
	std::string Verb;
	std::string URL;
	std::unique_ptr<IHttpContentReader> Content;
	std::map<std::string, std::string> Headers;
	uint64_t ReadOffset = 0;
	int64_t TransferTimeoutMs;
	std::string CertificateAuthorityFile;
};

template <typename TValue>
bool FCurlHttpRequest::SetOpt(CURLoption Option, TValue Value)
{
	if (!EasyHandle.IsValid())
	{
		return false;
	}
	const CURLcode Code = GetCurlLibrary()->EasySetOpt(EasyHandle.Get(), Option, Value);
	if (Code == CURLE_OK)
	{
		return true;
	}
	Log(ELogLevel::Verbose, L"FCurlHttpRequest::SetOpt",
		L"FCurlHttpRequest::SetOpt: curl_easy_setopt failed! Option: %i ErrCode: %i ErrStr: %s",
		static_cast<int>(Option), static_cast<int>(Code), DecodeUtf8Lossless(GetCurlLibrary()->EasyStrError(Code)));
	return false;
}
