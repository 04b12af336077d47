// Test helper: writes to the file named by KVT_REPORT_FILE, if any, what it was
// started with as UTF-8 "key=value" lines: arg= each argument (the program
// first), cwd=, env= each KVT_ variable, and its system's facts. It then ends
// with the code in KVT_REPORT_EXIT_CODE (else 0) or dies of KVT_REPORT_SIGNAL.
#include "platform/FileNames.h"
#include "platform/Utf8.h"
#include "tests/support/helpers/ReportSystem.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace
{
	int Exit()
	{
		if (const char* Signal = std::getenv("KVT_REPORT_SIGNAL"))
		{
			std::raise(std::atoi(Signal));
		}
		// All 32 bits: Windows exit codes such as 0xC0000005 must arrive unchanged.
		const char* ExitCode = std::getenv("KVT_REPORT_EXIT_CODE");
		return ExitCode != nullptr ? static_cast<int>(static_cast<unsigned int>(std::strtoul(ExitCode, nullptr, 0))) : 0;
	}
}

int main(int ArgumentCount, char** Arguments)
{
	const char* ReportFile = std::getenv("KVT_REPORT_FILE");
	std::wstring WorkingDirectory;
	if (ReportFile == nullptr || !TryFromFileSystemPath(std::filesystem::current_path(), WorkingDirectory))
	{
		return Exit();
	}
	std::wstring Text;
	for (const std::wstring& Argument : GetReportArguments(ArgumentCount, Arguments))
	{
		Text += L"arg=" + Argument + L"\n";
	}
	Text += L"cwd=" + WorkingDirectory + L"\n";
	for (const std::wstring& Variable : GetReportEnvironment())
	{
		Text += Variable.rfind(L"KVT_", 0) == 0 ? L"env=" + Variable + L"\n" : L"";
	}
	for (const auto& [Key, Value] : GetReportSystemFacts())
	{
		Text += Key + L"=" + Value + L"\n";
	}

	// Written aside and renamed into place, so that a reader never sees half a report.
	const std::string Partial = std::string(ReportFile) + ".partial";
	std::ofstream(Partial, std::ios::binary | std::ios::trunc) << EncodeUtf8Lossless(Text);
	std::error_code Error;
	std::filesystem::rename(Partial, ReportFile, Error);
	return Error ? 4 : Exit();
}
