// Stands in for the service's User Helper in the end-to-end tests. Each run
// appends what it was started with to the file KVT_E2E_HELPER_REPORT
// ("run" first, then "arg=", "env=" for KVT_ variables and the system facts)
// and ends with the next code of KVT_E2E_HELPER_EXITS ("3,3,0"; the last code
// repeats; "SIGSEGV" dies by that signal where signals exist).
#include "platform/Utf8.h"
#include "tests/support/helpers/ReportSystem.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace
{
	std::vector<std::string> SplitCodes(const std::string& Text)
	{
		std::vector<std::string> Codes;
		std::stringstream Stream(Text);
		for (std::string Code; std::getline(Stream, Code, ',');)
		{
			Codes.push_back(Code);
		}
		return Codes;
	}

	int CountEarlierRuns(const char* ReportPath)
	{
		std::ifstream Stream(ReportPath, std::ios::binary);
		int Runs = 0;
		for (std::string Line; std::getline(Stream, Line);)
		{
			Runs += Line == "run" ? 1 : 0;
		}
		return Runs;
	}
}

int main(int ArgumentCount, char** Arguments)
{
	const char* ReportPath = std::getenv("KVT_E2E_HELPER_REPORT");
	const char* ExitList = std::getenv("KVT_E2E_HELPER_EXITS");
	if (ReportPath == nullptr || ExitList == nullptr)
	{
		return 120;
	}
	const std::vector<std::string> Codes = SplitCodes(ExitList);
	if (Codes.empty())
	{
		return 121;
	}
	const int Run = CountEarlierRuns(ReportPath);
	const std::string Code = Codes[static_cast<size_t>(Run) < Codes.size() ? static_cast<size_t>(Run) : Codes.size() - 1];

	std::wstring Text = L"run\n";
	for (const std::wstring& Argument : GetReportArguments(ArgumentCount, Arguments))
	{
		Text += L"arg=" + Argument + L"\n";
	}
	for (const std::wstring& Variable : GetReportEnvironment())
	{
		if (Variable.rfind(L"KVT_SESSION", 0) == 0 || Variable.rfind(L"KVT_OVERLAY", 0) == 0)
		{
			Text += L"env=" + Variable + L"\n";
		}
	}
	for (const auto& [Key, Value] : GetReportSystemFacts())
	{
		Text += Key + L"=" + Value + L"\n";
	}
	{
		std::ofstream Stream(ReportPath, std::ios::binary | std::ios::app);
		const std::string Bytes = EncodeUtf8Lossless(Text);
		Stream.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
	}

	if (Code == "SIGSEGV")
	{
		// The default action, not a sanitizer's handler: the process must die by the signal.
		std::signal(SIGSEGV, SIG_DFL);
		std::raise(SIGSEGV);
		return 122;
	}
	return static_cast<int>(static_cast<unsigned int>(std::strtoul(Code.c_str(), nullptr, 0)));
}
