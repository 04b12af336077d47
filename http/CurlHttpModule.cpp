#include "http/CurlHttpModule.h"

#include "http/CurlHandles.h"
#include "http/CurlHttpRequest.h"

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
	const FScopedCurlEasy Handle(Curl != nullptr ? Curl->EasyInit() : nullptr);
	if (!Handle.IsValid())
	{
		return false;
	}
	// Freed before the handle it was made with.
	const FScopedCurlText Escaped(Curl->EasyEscape(Handle.Get(), Input.data(), static_cast<int>(Input.size())));
	if (!Escaped.IsValid())
	{
		return false;
	}
	Output = Escaped.Get();
	return true;
}
