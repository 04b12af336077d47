#include "tests/support/LoopbackServer.h"

#include <rapidjson/document.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <thread>

namespace
{
	const std::filesystem::path Directory = KVT_TEST_LOOPBACK_DIR;

	// The records after the first Skip. A line still being written has no
	// newline yet and does not parse: it is left for later.
	std::vector<rapidjson::Document> Records(size_t Skip)
	{
		std::vector<rapidjson::Document> Records;
		std::ifstream Stream(Directory / "records.jsonl");
		for (std::string Line; std::getline(Stream, Line);)
		{
			if (Records.emplace_back().Parse(Line.c_str()).HasParseError())
			{
				Records.pop_back();
			}
		}
		Records.erase(Records.begin(), Records.begin() + std::min(Skip, Records.size()));
		return Records;
	}
}

bool FLoopbackServer::Connect()
{
	std::ifstream Stream(Directory / "ports");
	for (std::string Name, Port; std::getline(Stream, Name, '=') && std::getline(Stream, Port);)
	{
		Ports[Name] = std::stoi(Port);
	}
	Seen = Records(0).size();
	Error = Ports.size() == 4 ? "" : "no ports in " + Directory.string() + ": is the loopback fixture running?";
	return Error.empty();
}

std::string FLoopbackServer::Url(const std::string& ServerName, const std::string& Target) const
{
	return (ServerName.starts_with("https") ? "https" : "http") + std::string("://127.0.0.1:") +
		std::to_string(Ports.at(ServerName)) + Target;
}

std::vector<FRecordedRequest> FLoopbackServer::RequestsTo(const std::string& Target) const
{
	std::vector<FRecordedRequest> Requests;
	for (const rapidjson::Document& Record : Records(Seen))
	{
		if (Record["kind"] == "request" && std::string_view(Record["target"].GetString()).starts_with(Target))
		{
			FRecordedRequest& Request = Requests.emplace_back();
			Request.Method = Record["method"].GetString();
			for (const rapidjson::Value& Header : Record["headers"].GetArray())
			{
				Request.Headers.emplace_back(Header[0].GetString(), Header[1].GetString());
			}
			std::ifstream Body(Directory / (std::to_string(Record["seq"].GetInt()) + ".body"), std::ios::binary);
			Request.Body.assign(std::istreambuf_iterator<char>(Body), {});
		}
	}
	return Requests;
}

size_t FLoopbackServer::Connections(const std::string& ServerName, size_t AtLeast) const
{
	const auto Count = [&]
	{
		const std::vector<rapidjson::Document> All = Records(Seen);
		return static_cast<size_t>(std::ranges::count_if(All, [&](const rapidjson::Document& Record)
			{ return Record["kind"] == "connection" && Record["server"] == ServerName.c_str(); }));
	};
	for (int Attempt = 0; Count() < AtLeast && Attempt < 500; ++Attempt)
	{
		std::this_thread::sleep_for(std::chrono::milliseconds(20));
	}
	return Count();
}
