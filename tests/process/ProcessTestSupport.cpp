#include "tests/process/ProcessTestSupport.h"

#include "platform/Utf8.h"
#include "tests/support/TestBootstrapper.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

std::wstring GetThisTestBinaryPath()
{
	return MakeNativePlatform()->GetExecutablePath();
}

std::wstring GetHelperPath(const std::wstring& FileName)
{
	return ToWide(ToPath(GetThisTestBinaryPath()).parent_path() / ToPath(FileName));
}

std::wstring GetExitHelperPath()
{
	return GetHelperPath(L"" KVT_EXIT_HELPER_NAME);
}

std::wstring GetReportHelperPath()
{
	return GetHelperPath(L"" KVT_REPORT_HELPER_NAME);
}

bool TryReadReport(const std::wstring& Path, FReport& OutReport)
{
	std::wstring Text;
	size_t ErrorOffset = 0;
	if (!TryDecodeUtf8(ReadFileBytes(ToPath(Path)), Text, ErrorOffset) || Text.empty())
	{
		return false;
	}
	OutReport = FReport();
	size_t Start = 0;
	while (Start < Text.size())
	{
		size_t End = Text.find(L'\n', Start);
		if (End == std::wstring::npos)
		{
			End = Text.size();
		}
		const std::wstring Line = Text.substr(Start, End - Start);
		Start = End + 1;
		const size_t Equals = Line.find(L'=');
		if (Equals == std::wstring::npos)
		{
			return false;
		}
		const std::wstring Key = Line.substr(0, Equals);
		const std::wstring Value = Line.substr(Equals + 1);
		if (Key == L"arg")
		{
			OutReport.Arguments.push_back(Value);
		}
		else if (Key == L"cwd")
		{
			OutReport.WorkingDirectory = Value;
		}
		else if (Key == L"env")
		{
			const size_t NameEnd = Value.find(L'=');
			OutReport.Environment[Value.substr(0, NameEnd)] = NameEnd == std::wstring::npos ? L"" : Value.substr(NameEnd + 1);
		}
		else
		{
			OutReport.Facts[Key] = Value;
		}
	}
	return true;
}

bool TryRunReportHelper(IPlatform& Platform, const std::wstring& ReportPath, const std::optional<std::wstring>& Arguments,
	const std::optional<std::wstring>& WorkingDirectory, bool bBreakaway, FReport& OutReport)
{
	std::error_code Error;
	std::filesystem::remove(ToPath(ReportPath), Error);
	if (!Platform.TrySetEnvironmentVariable(L"KVT_REPORT_FILE", ReportPath))
	{
		return false;
	}
	uint32_t ExitCode = 1;
	const FWatchdog Watchdog;
	if (!Platform.TryRunExecutable(GetReportHelperPath(), Arguments, WorkingDirectory, bBreakaway, true, &ExitCode))
	{
		ADD_FAILURE() << "the report helper did not run";
		return false;
	}
	if (ExitCode != 0)
	{
		ADD_FAILURE() << "the report helper failed with " << ExitCode;
		return false;
	}
	return TryReadReport(ReportPath, OutReport);
}

bool HasMessageStartingWith(const FLogCapture& Capture, ELogLevel Level, const std::wstring& Category,
	const std::wstring& Prefix)
{
	const std::wstring Marker = L"] [" + Category + L"] ";
	for (const FLogCapture::FEntry& Entry : Capture.Entries())
	{
		if (Entry.Level == Level && Entry.Message.rfind(Prefix, 0) == 0 && Entry.Line.size() >= Marker.size() + Entry.Message.size() &&
			Entry.Line.compare(Entry.Line.size() - Entry.Message.size() - Marker.size(), Marker.size(), Marker) == 0)
		{
			return true;
		}
	}
	return false;
}

FWatchdog::FWatchdog(std::chrono::seconds Limit)
	: Thread([this, Limit]
		  {
			  std::unique_lock<std::mutex> Lock(Mutex);
			  if (!Condition.wait_for(Lock, Limit, [this] { return bDone; }))
			  {
				  std::fprintf(stderr, "A child process did not end within %d s; ending the test process.\n",
					  static_cast<int>(Limit.count()));
				  std::fflush(stderr);
				  std::_Exit(99);
			  }
		  })
{
}

FWatchdog::~FWatchdog()
{
	{
		std::lock_guard<std::mutex> Lock(Mutex);
		bDone = true;
	}
	Condition.notify_all();
	Thread.join();
}

bool IsInnerCaseRun()
{
	return std::getenv(InnerCaseVariable) != nullptr;
}
