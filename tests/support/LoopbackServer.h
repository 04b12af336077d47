#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// The loopback servers that a CTest fixture starts for this test binary
// (loopback_server.py): their ports, and what they recorded.
struct FRecordedRequest
{
	int64_t Seq = 0;
	std::string Server;
	std::string Method;
	std::string Target;
	std::vector<std::pair<std::string, std::string>> Headers;
	std::string Body;

	// Every value of a header, in arrival order (names compared case-insensitively).
	std::vector<std::string> HeaderValues(const std::string& Name) const;
	// Position of the first header of that name; -1 when absent.
	int HeaderIndex(const std::string& Name) const;
};

struct FRecordedEvent
{
	int64_t Seq = 0;
	std::string Server;
	std::string Kind;
};

class FLoopbackServer
{
public:
	// False (with the reason in Error) when the fixture's servers are not there.
	bool Connect();

	std::string Error;
	int HttpPort = 0;
	int HttpsPort = 0;
	// Certificates of the test authority: one for 127.0.0.1, one for another host.
	int HttpsNamedPort = 0;
	int HttpsMisnamedPort = 0;
	int StallPort = 0;
	int ClosedPort = 0;

	// The test authority's certificate (PEM), for a client that is to trust it.
	std::string CertificateAuthorityFile() const;

	std::vector<FRecordedRequest> RequestsTo(const std::string& Target) const;
	std::vector<FRecordedEvent> Events() const;
	int64_t LastSeq() const;
	size_t CountEvents(int64_t AfterSeq, const std::string& ServerName, const std::string& Kind) const;
	// Some records (a refused handshake, an accepted connection) are written
	// while the client is already on its way: wait for that many, boundedly (10 s).
	bool WaitForEvent(int64_t AfterSeq, const std::string& ServerName, const std::string& Kind,
		size_t Count = 1) const;

private:
	std::vector<std::string> RecordLines() const;
};

// A path segment no other test run uses, so records never mix.
std::string UniqueToken();
