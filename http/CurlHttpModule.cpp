#include "http/CurlHttpModule.h"

#include "http/CurlHttpRequest.h"

#include "http/CurlLibrary.h"

#include <utility>

FCurlHttpModule::FCurlHttpModule(int64_t InTransferTimeoutMs, std::string InCertificateAuthorityFile)
	: TransferTimeoutMs(InTransferTimeoutMs)
	, CertificateAuthorityFile(std::move(InCertificateAuthorityFile))
{
}

std::shared_ptr<IHttpRequest> FCurlHttpModule::CreateRequest()
{
	return std::make_shared<FCurlHttpRequest>(TransferTimeoutMs, CertificateAuthorityFile);
}

bool FCurlHttpModule::UrlEncode(const std::string& Input, std::string& Output)
{
	// curl_easy_escape wants a handle only for its settings; a private one keeps
	// the module free of state.
	const FCurlLibrary* Curl = GetCurlLibrary();
	CURL* Handle = Curl != nullptr ? Curl->EasyInit() : nullptr;
	if (Handle == nullptr)
	{
		return false;
	}
	char* Escaped = Curl->EasyEscape(Handle, Input.data(), static_cast<int>(Input.size()));
	const bool bEncoded = Escaped != nullptr;
	if (bEncoded)
	{
		Output = Escaped;
		Curl->Free(Escaped);
	}
	Curl->EasyCleanup(Handle);
	return bEncoded;
}
