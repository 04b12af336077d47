// Stands in for the service's User Helper. Each run appends to the file
// KVT_E2E_HELPER_REPORT "run", then "arg=" lines, "env=" lines of the
// KVT_SESSION and KVT_OVERLAY variables and the system facts, and ends with
// the code in KVT_E2E_HELPER_EXIT ("SIGSEGV": dies by that signal instead).
#include "platform/Utf8.h"
#include "tests/support/helpers/ReportSystem.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>

int main(int ArgumentCount, char** Arguments)
{
	std::wstring Text = L"run\n";
	for (const std::wstring& Argument : GetReportArguments(ArgumentCount, Arguments))
	{
		Text += L"arg=" + Argument + L"\n";
	}
	for (const std::wstring& Variable : GetReportEnvironment())
	{
		const bool bReported = Variable.rfind(L"KVT_SESSION", 0) == 0 || Variable.rfind(L"KVT_OVERLAY", 0) == 0;
		Text += bReported ? L"env=" + Variable + L"\n" : L"";
	}
	for (const auto& [Key, Value] : GetReportSystemFacts())
	{
		Text += Key + L"=" + Value + L"\n";
	}
	std::ofstream(std::getenv("KVT_E2E_HELPER_REPORT"), std::ios::binary | std::ios::app) << EncodeUtf8Lossless(Text);

	const std::string ExitCode = std::getenv("KVT_E2E_HELPER_EXIT");
	if (ExitCode == "SIGSEGV")
	{
		// The default action, not a sanitizer's handler: the process must die by the signal.
		std::signal(SIGSEGV, SIG_DFL);
		std::raise(SIGSEGV);
	}
	return static_cast<int>(static_cast<unsigned int>(std::strtoul(ExitCode.c_str(), nullptr, 0)));
}
