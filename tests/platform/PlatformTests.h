#pragma once

// What the platform tests share: real children (the report helper next to the
// test binary), what differs between the systems, and the value lookup's store.
#include "platform/Platform.h"
#include "platform/Utf8.h"
#include "tests/support/LogCapture.h"
#include "tests/support/ScopedVariable.h"
#include "tests/support/TestBootstrapper.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <sstream>

inline const std::filesystem::path HelperFolder = ToPath(MakeNativePlatform()->GetExecutablePath()).parent_path();
inline const std::wstring ReportHelper = ToWide(HelperFolder / KVT_REPORT_HELPER_NAME);

// Each key of the helper's report with its values in the order written.
using FReport = std::map<std::wstring, std::vector<std::wstring>>;

inline FReport RunReportHelper(IPlatform& Platform, const FTempDirectory& Directory,
	const std::optional<std::wstring>& Arguments = std::nullopt, bool bBreakaway = false,
	const std::optional<std::wstring>& WorkingDirectory = std::nullopt, const std::wstring& Program = ReportHelper)
{
	const std::wstring Path = Directory.Wide(L"report.txt");
	const FScopedVariable ReportFile(L"KVT_REPORT_FILE", Path);
	uint32_t ExitCode = 1;
	EXPECT_TRUE(Platform.TryRunExecutable(Program, Arguments, WorkingDirectory, bBreakaway, true, &ExitCode));
	EXPECT_EQ(ExitCode, 0u);
	FReport Report;
	std::wistringstream Lines(ExitCode == 0 ? DecodeUtf8Lossless(ReadFileBytes(ToPath(Path))) : L"");
	for (std::wstring Line; std::getline(Lines, Line);)
	{
		Report[Line.substr(0, Line.find(L'='))].push_back(Line.substr(Line.find(L'=') + 1));
	}
	return Report;
}

// System error texts differ between systems and locales: lines are matched up to them.
inline bool HasPrefix(const FLogCapture& Capture, ELogLevel Level, const std::wstring& Category, const std::wstring& Prefix)
{
	const std::wstring Needle = L"] [" + Category + L"] " + Prefix;
	return std::any_of(Capture.Entries().begin(), Capture.Entries().end(),
		[&](const FLogCapture::FEntry& Entry) { return Entry.Level == Level && Entry.Line.find(Needle) != std::wstring::npos; });
}

class FNativePlatformTest : public ::testing::Test
{
protected:
	std::shared_ptr<IPlatform> Platform = MakeNativePlatform();
	FTempDirectory Directory;
	FLogCapture Capture;
};

inline std::wstring Category(const wchar_t* Member)
{
	return (bWindows ? L"FWindowsPlatform::" : L"FLinuxPlatform::") + std::wstring(Member);
}
inline const std::wstring ErrorCategory = Category(L"LogErrorWithLastErrorMessage");

// Cases that change the test process for good (joining a job, leading a
// process group) run again in a fresh copy of the test binary, where
// KVT_PROCESS_INNER_CASE holds the Marker the outer run gave it.
inline bool IsInnerCase()
{
	return std::getenv("KVT_PROCESS_INNER_CASE") != nullptr;
}

// Starts the copy (its program and its one argument, UTF-8) and gives its exit code once it has ended.
using FStartCopy = std::function<int(std::string Program, std::string Filter)>;

// Runs the current case in a fresh copy and gives the copy's exit code. By default
// the copy is a child of this process, waited for.
inline int RunCaseInFreshCopy(const std::wstring& Marker = L"1", const FStartCopy& Start = nullptr)
{
	const std::shared_ptr<IPlatform> Platform = MakeNativePlatform();
	const ::testing::TestInfo* Info = ::testing::UnitTest::GetInstance()->current_test_info();
	const std::string Filter = std::string("--gtest_filter=") + Info->test_suite_name() + "." + Info->name();
	const FScopedVariable Variable(L"KVT_PROCESS_INNER_CASE", Marker);
	if (Start)
	{
		return Start(EncodeUtf8Lossless(Platform->GetExecutablePath()), Filter);
	}
	uint32_t ExitCode = 1;
	EXPECT_TRUE(Platform->TryRunExecutable(Platform->GetExecutablePath(), DecodeUtf8Lossless(Filter), std::nullopt, false, true, &ExitCode));
	return static_cast<int>(ExitCode);
}

// The value lookup's store, written with the system's own means in each source
// the lookup asks, in its order. What it writes goes with it.
class FRegistryStore
{
public:
	FRegistryStore();
	~FRegistryStore();
	// As the system's programs store a string: zero-terminated REG_SZ data, or
	// a file ending in a newline.
	void Set(size_t Source, const std::wstring& Text);
	bool Lookup(std::wstring& OutValue) { return Platform->TryGetValueFromRegistry(SubKey, ValueName, OutValue); }

	static const size_t SourceCount;
	const std::wstring SubKey;
	const std::wstring ValueName = L"Path";
	std::shared_ptr<IPlatform> Platform = MakeNativePlatform();
	FTempDirectory Directory;
	std::shared_ptr<void> Scope;
};
