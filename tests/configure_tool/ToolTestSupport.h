#pragma once

#include "platform/Platform.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// The configure tool as a user meets it: its own process, started with an
// argument text in a working folder, its exit code read in full by the
// platform's process start (not by a shell, which sees 8 bits under Wine),
// its log read from the file it writes.
class ConfigureTool : public ::testing::Test
{
protected:
	static constexpr bool bWindows = KVT_TEST_ON_WINDOWS != 0;

	std::shared_ptr<IPlatform> Platform;
	FTempDirectory Directory;

	void SetUp() override;

	// Runs the tool in the temporary folder (or Folder below it); returns its exit code.
	uint32_t RunTool(const std::wstring& Arguments, const std::wstring& Folder = L"")
	{
		return RunToolAt(KVT_TEST_TOOL, Arguments, Folder);
	}
	// The same with another build of the tool.
	uint32_t RunToolAt(const std::wstring& Tool, const std::wstring& Arguments, const std::wstring& Folder = L"");
	// The tool's log of its last run.
	std::wstring ToolLog() const;
	bool LogHas(const std::wstring& Text) const { return ToolLog().find(Text) != std::wstring::npos; }
	// The same, for failure messages.
	std::string NarrowLog() const;

	// A path below the temporary folder, with the system's separator; Name
	// gets ".exe" where programs have it.
	static std::wstring Native(std::wstring RelativePath);
	static std::wstring Program(const std::wstring& RelativePath) { return Native(RelativePath) + (bWindows ? L".exe" : L""); }
	bool Exists(const std::wstring& RelativePath) const;
	std::string Read(const std::wstring& RelativePath) const;
	void CopyInto(const std::wstring& Source, const std::wstring& RelativePath) const;
};
