#include "http/CurlHttpRequest.h"

#include "http/CurlLibrary.h"

#include <algorithm>
#include <utility>

FCurlHttpRequest::FCurlHttpRequest(int64_t InTransferTimeoutMs, std::string InCertificateAuthorityFile)
	: TransferTimeoutMs(InTransferTimeoutMs)
	, CertificateAuthorityFile(std::move(InCertificateAuthorityFile))
{
}

std::string FCurlHttpRequest::GetVerb() const { return Verb; }
void FCurlHttpRequest::SetVerb(const std::string& InVerb) { Verb = InVerb; }
void FCurlHttpRequest::SetURL(const std::string& InURL) { URL = InURL; }

void FCurlHttpRequest::SetContent(const std::string& InContent)
{
	Content = std::make_unique<FMemoryContentReader>(std::vector<uint8_t>(InContent.begin(), InContent.end()));
}

void FCurlHttpRequest::SetTimeLimitMs(int64_t Milliseconds)
{
	// libcurl reads 0 as no limit at all: the shortest limit it can be given is 1 ms.
	TransferTimeoutMs = std::max<int64_t>(Milliseconds, 1);
}

void FCurlHttpRequest::SetHeader(const std::string& Name, const std::string& Value)
{
	Headers.emplace(Name, Value);
}

bool FCurlHttpRequest::ProcessRequest()
{
	if (URL.empty())
	{
		Log(ELogLevel::Verbose, L"FCurlHttpRequest::ProcessRequest", L"FCurlHttpRequest::ProcessRequest: No Url Set");
		return false;
	}
	const FCurlLibrary* Curl = GetCurlLibrary();
	EasyHandle.Reset(Curl != nullptr ? Curl->EasyInit() : nullptr);
	if (!EasyHandle.IsValid())
	{
		Log(ELogLevel::Verbose, L"FCurlHttpRequest::ProcessRequest",
			L"FCurlHttpRequest::ProcessRequest: curl_easy_init failed!");
		return false;
	}

	// Peer and host verification stay on (libcurl's default); the certificates
	// come from the operating system's store where the TLS back end supports it.
	SetOpt(CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NATIVE_CA));
	if (!CertificateAuthorityFile.empty())
	{
		SetOpt(CURLOPT_CAINFO, CertificateAuthorityFile.c_str());
	}
	SetOpt(CURLOPT_URL, URL.c_str());
	if (Verb != "POST")
	{
		Log(ELogLevel::Verbose, L"FCurlHttpRequest::ProcessRequest",
			L"FCurlHttpRequest::ProcessRequest: Unsorported Verb %s", DecodeUtf8Lossless(Verb));
		return false;
	}
	SetOpt(CURLOPT_POST, 1L);
	// The body is pulled through the read callback, never handed over as a buffer.
	SetOpt(CURLOPT_POSTFIELDS, static_cast<const char*>(nullptr));
	SetOpt(CURLOPT_POSTFIELDSIZE, static_cast<long>(Content ? Content->GetSize() : 0));
	ReadOffset = 0;
	SetOpt(CURLOPT_READDATA, static_cast<void*>(this));
	SetOpt(CURLOPT_READFUNCTION, &FCurlHttpRequest::ReadCallback);

	for (const auto& [Name, Value] : Headers)
	{
		const std::string Line = Name + ": " + Value;
		// The new head holds the old nodes too; a failed append leaves the list as it was.
		if (curl_slist* Appended = Curl->SlistAppend(HeaderList.Get(), Line.c_str()))
		{
			HeaderList.Detach();
			HeaderList.Reset(Appended);
		}
	}
	if (HeaderList.IsValid())
	{
		SetOpt(CURLOPT_HTTPHEADER, HeaderList.Get());
	}
	SetOpt(CURLOPT_CONNECTTIMEOUT, 3L);
	// The connect time-out alone leaves a server that accepts and then stalls
	// free to hold the process forever; bound the whole transfer as well, by
	// the caller's limit (telemetry: what is left of the run's time) if it set one.
	SetOpt(CURLOPT_TIMEOUT_MS, static_cast<long>(TransferTimeoutMs));
	// Nobody reads the answer; without a sink libcurl would print it to stdout.
	SetOpt(CURLOPT_WRITEFUNCTION, &FCurlHttpRequest::DiscardCallback);

	Curl->EasyPerform(EasyHandle.Get());

	HeaderList.Reset();
	EasyHandle.Reset();
	return true;
}

size_t FCurlHttpRequest::ReadCallback(char* Destination, size_t ElementSize, size_t ElementCount, void* UserData)
{
	FCurlHttpRequest* Request = static_cast<FCurlHttpRequest*>(UserData);
	if (!Request->Content)
	{
		return 0;
	}
	const uint64_t Count = Request->Content->ReadAt(Destination, ElementSize * ElementCount, Request->ReadOffset);
	Request->ReadOffset += Count;
	return static_cast<size_t>(Count);
}

size_t FCurlHttpRequest::DiscardCallback(char*, size_t ElementSize, size_t ElementCount, void*)
{
	return ElementSize * ElementCount;
}
