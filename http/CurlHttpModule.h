#pragma once

#include "http/HttpModule.h"

#include <cstdint>

class FCurlHttpModule : public IHttpModule
{
public:
	// Telemetry is fire-and-forget at the very end of a run: a server that
	// accepts and then never answers must not keep the launcher alive.
	static constexpr int64_t DefaultTransferTimeoutMs = 10'000;

	explicit FCurlHttpModule(int64_t InTransferTimeoutMs = DefaultTransferTimeoutMs);

	std::shared_ptr<IHttpRequest> CreateRequest() override;
	bool UrlEncode(const std::string& Input, std::string& Output) override;

private:
	int64_t TransferTimeoutMs;
};
