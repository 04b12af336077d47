// Stands in for the service's User Helper in the end-to-end tests. Each run
// appends what it was started with to the file KVT_E2E_HELPER_REPORT ("run"
// first, then "arg=", "env=" for KVT_SESSION and KVT_OVERLAY variables and the
// system facts) and ends with the code in KVT_E2E_HELPER_EXIT ("SIGSEGV" dies
// by that signal where signals exist).
#include "platform/Utf8.h"
#include "tests/support/helpers/ReportSystem.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>

int main(int ArgumentCount, char** Arguments)
{
	const char* ReportPath = std::getenv("KVT_E2E_HELPER_REPORT");
	const char* ExitCode = std::getenv("KVT_E2E_HELPER_EXIT");
	if (ReportPath == nullptr || ExitCode == nullptr)
	{
		return 120;
	}
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
	std::ofstream(ReportPath, std::ios::binary | std::ios::app) << EncodeUtf8Lossless(Text);

	if (std::string(ExitCode) == "SIGSEGV")
	{
		// The default action, not a sanitizer's handler: the process must die by the signal.
		std::signal(SIGSEGV, SIG_DFL);
		std::raise(SIGSEGV);
		return 122;
	}
	return static_cast<int>(static_cast<unsigned int>(std::strtoul(ExitCode, nullptr, 0)));
}
