#pragma once

#include "app/Log.h"
#include "platform/Platform.h"
#include "tests/support/LogCapture.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The helper programs lie next to the test binary.
std::wstring GetHelperPath(const std::wstring& FileName);
std::wstring GetExitHelperPath();
std::wstring GetReportHelperPath();
std::wstring GetThisTestBinaryPath();

// What the report helper wrote (see helpers/ReportHelper.cpp).
struct FReport
{
	std::vector<std::wstring> Arguments;
	std::wstring WorkingDirectory;
	std::map<std::wstring, std::wstring> Environment;
	std::map<std::wstring, std::wstring> Facts;
};
bool TryReadReport(const std::wstring& Path, FReport& OutReport);

// Runs the report helper through the platform services and reads its report.
// The helper writes to ReportPath, given to it through the environment.
bool TryRunReportHelper(IPlatform& Platform, const std::wstring& ReportPath, const std::optional<std::wstring>& Arguments,
	const std::optional<std::wstring>& WorkingDirectory, bool bBreakaway, FReport& OutReport);

// True when a line of this level and category has a message starting with Prefix
// (system error texts differ between systems and locales).
bool HasMessageStartingWith(const FLogCapture& Capture, ELogLevel Level, const std::wstring& Category,
	const std::wstring& Prefix);

// The product waits for its children without a time limit; a test must not
// hang on a fault, so it ends the whole test process after Limit.
class FWatchdog
{
public:
	explicit FWatchdog(std::chrono::seconds Limit = std::chrono::seconds(60));
	~FWatchdog();
	FWatchdog(const FWatchdog&) = delete;
	FWatchdog& operator=(const FWatchdog&) = delete;

private:
	std::mutex Mutex;
	std::condition_variable Condition;
	bool bDone = false;
	std::thread Thread;
};

// Cases that change the process for good (joining a job or a new process group)
// run in a fresh child of the test binary: the outer test starts it with a
// filter for the inner case and this variable set.
constexpr const char* InnerCaseVariable = "KVT_PROCESS_INNER_CASE";
// (Each system's test file has the starter, for the ways of starting it has.)
bool IsInnerCaseRun();
