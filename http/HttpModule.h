#pragma once

#include "http/HttpRequest.h"

#include <memory>
#include <string>

class IHttpModule
{
public:
	virtual ~IHttpModule() = default;

	virtual std::shared_ptr<IHttpRequest> CreateRequest() = 0;
	virtual bool UrlEncode(const std::string& Input, std::string& Output) = 0;
};
