#include "tests/configure_tool/ToolTestSupport.h"

#include "platform/Utf8.h"
#include "tests/support/TestBootstrapper.h"

#include <algorithm>
#include <filesystem>

void ConfigureTool::SetUp()
{
	Platform = MakeNativePlatform();
	// The tool's log lands below this folder (the variable the log path is made of).
	ASSERT_TRUE(Platform->TrySetEnvironmentVariable(KVT_TEST_LOG_ROOT_VARIABLE, Directory.Wide(L"logs")));
}

uint32_t ConfigureTool::RunToolAt(const std::wstring& Tool, const std::wstring& Arguments, const std::wstring& Folder)
{
	uint32_t ExitCode = 0xDEADBEEF;
	const std::wstring WorkingDirectory = Folder.empty() ? Directory.Wide() : Directory.Wide(Native(Folder));
	EXPECT_TRUE(Platform->TryRunExecutable(Tool, Arguments, WorkingDirectory, false, true, &ExitCode));
	return ExitCode;
}

std::wstring ConfigureTool::ToolLog() const
{
	const std::string Bytes = ReadFileBytes(Directory.Path() / "logs" / "Zorvan Games" / "Zorvan Online Services" /
		"Bootstrapper" / "Logs" / "KVTBootstrapperTool.log");
	return DecodeUtf8Lossless(Bytes);
}

std::string ConfigureTool::NarrowLog() const
{
	return EncodeUtf8Lossless(ToolLog());
}

std::wstring ConfigureTool::Native(std::wstring RelativePath)
{
	if (bWindows)
	{
		std::replace(RelativePath.begin(), RelativePath.end(), L'/', L'\\');
	}
	return RelativePath;
}

bool ConfigureTool::Exists(const std::wstring& RelativePath) const
{
	std::error_code Error;
	return std::filesystem::exists(Directory.Path() / ToPath(Native(RelativePath)), Error);
}

std::string ConfigureTool::Read(const std::wstring& RelativePath) const
{
	return ReadFileBytes(Directory.Path() / ToPath(Native(RelativePath)));
}

void ConfigureTool::CopyInto(const std::wstring& Source, const std::wstring& RelativePath) const
{
	const std::filesystem::path Target = Directory.Path() / ToPath(Native(RelativePath));
	std::error_code Error;
	std::filesystem::create_directories(Target.parent_path(), Error);
	std::filesystem::copy_file(ToPath(Source), Target, std::filesystem::copy_options::overwrite_existing, Error);
	ASSERT_FALSE(Error) << Error.message();
}
