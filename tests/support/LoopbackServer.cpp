#include "tests/support/LoopbackServer.h"

#include <rapidjson/document.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

namespace
{
	const std::filesystem::path ServerDirectory = KVT_TEST_LOOPBACK_DIR;

	std::string ReadWholeFile(const std::filesystem::path& Path)
	{
		std::ifstream Stream(Path, std::ios::binary);
		std::ostringstream Content;
		Content << Stream.rdbuf();
		return Content.str();
	}

	bool SameName(const std::string& A, const std::string& B)
	{
		return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y)
			{ return std::tolower(static_cast<unsigned char>(X)) == std::tolower(static_cast<unsigned char>(Y)); });
	}

	std::string StringMember(const rapidjson::Value& Object, const char* Name)
	{
		const auto Member = Object.FindMember(Name);
		return Member != Object.MemberEnd() && Member->value.IsString()
			? std::string(Member->value.GetString(), Member->value.GetStringLength())
			: std::string();
	}
}

std::vector<std::string> FRecordedRequest::HeaderValues(const std::string& Name) const
{
	std::vector<std::string> Values;
	for (const auto& [HeaderName, Value] : Headers)
	{
		if (SameName(HeaderName, Name))
		{
			Values.push_back(Value);
		}
	}
	return Values;
}

int FRecordedRequest::HeaderIndex(const std::string& Name) const
{
	for (size_t Index = 0; Index < Headers.size(); ++Index)
	{
		if (SameName(Headers[Index].first, Name))
		{
			return static_cast<int>(Index);
		}
	}
	return -1;
}

bool FLoopbackServer::Connect()
{
	std::ifstream Ports(ServerDirectory / "ports");
	if (!Ports)
	{
		Error = "no ports file in " + ServerDirectory.string() + ": is the loopback fixture running?";
		return false;
	}
	const std::pair<std::string, int*> Servers[] = {{"http", &HttpPort}, {"https", &HttpsPort},
		{"https-named", &HttpsNamedPort}, {"https-misnamed", &HttpsMisnamedPort}, {"stall", &StallPort},
		{"closed", &ClosedPort}};
	std::string Line;
	while (std::getline(Ports, Line))
	{
		const size_t Equals = Line.find('=');
		if (Equals == std::string::npos)
		{
			continue;
		}
		for (const auto& [Name, Port] : Servers)
		{
			if (Line.substr(0, Equals) == Name)
			{
				*Port = std::stoi(Line.substr(Equals + 1));
			}
		}
	}
	for (const auto& [Name, Port] : Servers)
	{
		if (*Port == 0)
		{
			Error = "no port for '" + Name + "' in the ports file in " + ServerDirectory.string();
			return false;
		}
	}
	return true;
}

std::string FLoopbackServer::CertificateAuthorityFile() const
{
	return (ServerDirectory / "ca.pem").string();
}

std::vector<std::string> FLoopbackServer::RecordLines() const
{
	std::vector<std::string> Lines;
	std::ifstream Records(ServerDirectory / "records.jsonl");
	std::string Line;
	while (std::getline(Records, Line))
	{
		// A line still being written has no newline yet and does not parse.
		Lines.push_back(Line);
	}
	return Lines;
}

std::vector<FRecordedRequest> FLoopbackServer::RequestsTo(const std::string& Target) const
{
	std::vector<FRecordedRequest> Requests;
	for (const std::string& Line : RecordLines())
	{
		rapidjson::Document Record;
		if (Record.Parse(Line.c_str()).HasParseError() || !Record.IsObject() ||
			StringMember(Record, "kind") != "request" || StringMember(Record, "target") != Target)
		{
			continue;
		}
		FRecordedRequest Request;
		Request.Seq = Record["seq"].GetInt64();
		Request.Server = StringMember(Record, "server");
		Request.Method = StringMember(Record, "method");
		Request.Target = Target;
		for (const rapidjson::Value& Header : Record["headers"].GetArray())
		{
			Request.Headers.emplace_back(Header[0].GetString(), Header[1].GetString());
		}
		Request.Body = ReadWholeFile(ServerDirectory / (std::to_string(Request.Seq) + ".body"));
		Requests.push_back(std::move(Request));
	}
	return Requests;
}

std::vector<FRecordedEvent> FLoopbackServer::Events() const
{
	std::vector<FRecordedEvent> Events;
	for (const std::string& Line : RecordLines())
	{
		rapidjson::Document Record;
		if (!Record.Parse(Line.c_str()).HasParseError() && Record.IsObject())
		{
			Events.push_back(FRecordedEvent{Record["seq"].GetInt64(), StringMember(Record, "server"),
				StringMember(Record, "kind")});
		}
	}
	return Events;
}

int64_t FLoopbackServer::LastSeq() const
{
	const std::vector<FRecordedEvent> All = Events();
	return All.empty() ? 0 : All.back().Seq;
}

size_t FLoopbackServer::CountEvents(int64_t AfterSeq, const std::string& ServerName, const std::string& Kind) const
{
	const std::vector<FRecordedEvent> All = Events();
	return static_cast<size_t>(std::count_if(All.begin(), All.end(), [&](const FRecordedEvent& Event)
		{ return Event.Seq > AfterSeq && Event.Server == ServerName && Event.Kind == Kind; }));
}

bool FLoopbackServer::WaitForEvent(int64_t AfterSeq, const std::string& ServerName, const std::string& Kind,
	size_t Count) const
{
	for (int Attempt = 0; Attempt < 500; ++Attempt)
	{
		if (CountEvents(AfterSeq, ServerName, Kind) >= Count)
		{
			return true;
		}
		std::this_thread::sleep_for(std::chrono::milliseconds(20));
	}
	return false;
}

std::string UniqueToken()
{
	std::random_device Device;
	std::ostringstream Token;
	Token << std::hex << Device() << Device();
	return Token.str();
}
