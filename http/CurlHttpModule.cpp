#include "http/CurlHttpModule.h"

#include "app/Log.h"

// Until the libcurl transport lands, no request can be made.
std::shared_ptr<IHttpRequest> FCurlHttpModule::CreateRequest()
{
	Log(ELogLevel::Error, L"FCurlHttpModule::CreateRequest", L"Not implemented in this build.");
	return nullptr;
}

bool FCurlHttpModule::UrlEncode(const std::string&, std::string&)
{
	Log(ELogLevel::Error, L"FCurlHttpModule::UrlEncode", L"Not implemented in this build.");
	return false;
}
