#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

// A request as the loopback servers (loopback_server.py, a CTest fixture) received it.
struct FRecordedRequest
{
	std::string Method;
	std::vector<std::pair<std::string, std::string>> Headers; // in arrival order
	std::string Body;
};

// What the servers saw since Connect: the records of earlier tests are left out.
class FLoopbackServer
{
public:
	// False (with the reason in Error) when the fixture's servers are not there.
	bool Connect();

	std::string Error;
	std::map<std::string, int> Ports; // http, https, stall, closed

	// Target on that server, with the scheme it speaks.
	std::string Url(const std::string& ServerName, const std::string& Target) const;
	// The requests whose target begins with Target ("/" for all).
	std::vector<FRecordedRequest> RequestsTo(const std::string& Target) const;
	// Connections the https and stall servers accepted. One is recorded while its
	// client may already be on its way: this waits (at most 10 s) for AtLeast.
	size_t Connections(const std::string& ServerName, size_t AtLeast = 0) const;

private:
	size_t Seen = 0;
};
