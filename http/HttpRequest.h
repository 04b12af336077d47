#pragma once

#include <cstdint>
#include <string>

// One HTTP request; byte strings throughout.
class IHttpRequest
{
public:
	virtual ~IHttpRequest() = default;

	virtual std::string GetVerb() const = 0;
	virtual void SetVerb(const std::string& Verb) = 0;
	virtual void SetURL(const std::string& URL) = 0;
	virtual void SetContent(const std::string& Content) = 0;
	// The first value set for a name wins.
	virtual void SetHeader(const std::string& Name, const std::string& Value) = 0;
	// False when the request could not be started; true once it was attempted.
	virtual bool ProcessRequest() = 0;
	// The whole transfer, connecting included, ends within this many
	// milliseconds; set before ProcessRequest.
	virtual void SetTimeLimitMs(int64_t Milliseconds) = 0;
};
