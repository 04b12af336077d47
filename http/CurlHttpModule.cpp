#include "http/CurlHttpModule.h"

#include "http/CurlHttpRequest.h"

#include <curl/curl.h>

FCurlHttpModule::FCurlHttpModule(int64_t InTransferTimeoutMs) : TransferTimeoutMs(InTransferTimeoutMs) {}

std::shared_ptr<IHttpRequest> FCurlHttpModule::CreateRequest()
{
	return std::make_shared<FCurlHttpRequest>(TransferTimeoutMs);
}

bool FCurlHttpModule::UrlEncode(const std::string& Input, std::string& Output)
{
	// curl_easy_escape wants a handle only for its settings; a private one keeps
	// the module free of state.
	CURL* Handle = curl_easy_init();
	if (Handle == nullptr)
	{
		return false;
	}
	char* Escaped = curl_easy_escape(Handle, Input.data(), static_cast<int>(Input.size()));
	const bool bEncoded = Escaped != nullptr;
	if (bEncoded)
	{
		Output = Escaped;
		curl_free(Escaped);
	}
	curl_easy_cleanup(Handle);
	return bEncoded;
}
