#pragma once

#include "http/HttpModule.h"

#include <cstdint>
#include <string>

class FCurlHttpModule : public IHttpModule
{
public:
	// Telemetry is fire-and-forget at the very end of a run: a server that
	// accepts and then never answers must not keep the launcher alive. This
	// bounds a request whose caller gave it no time limit of its own.
	static constexpr int64_t DefaultTransferTimeoutMs = 10'000;

	// A certificate authority file replaces the system's trusted certificates.
	// Only tests pass one, to trust a certificate authority they made; the
	// product trusts the system's store alone.
	explicit FCurlHttpModule(int64_t InTransferTimeoutMs = DefaultTransferTimeoutMs,
		std::string InCertificateAuthorityFile = {});

	std::shared_ptr<IHttpRequest> CreateRequest() override;
	bool UrlEncode(const std::string& Input, std::string& Output) override;

private:
	int64_t TransferTimeoutMs;
	std::string CertificateAuthorityFile;
};
