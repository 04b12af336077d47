#pragma once

#include "http/HttpModule.h"

class FCurlHttpModule : public IHttpModule
{
public:
	std::shared_ptr<IHttpRequest> CreateRequest() override;
	bool UrlEncode(const std::string& Input, std::string& Output) override;
};
