#include "tests/platform/resources/SystemResources.h"

#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <sys/wait.h>

namespace
{
	std::string Quote(const std::string& Text)
	{
		return "'" + std::regex_replace(Text, std::regex("'"), "'\\''") + "'";
	}

	// The standard output of a shell command; a failed command fails the test.
	std::string Run(const std::string& Command)
	{
		FILE* Pipe = ::popen(Command.c_str(), "r");
		std::string Output;
		char Buffer[4096];
		for (size_t Read; Pipe != nullptr && (Read = std::fread(Buffer, 1, sizeof(Buffer), Pipe)) > 0;)
		{
			Output.append(Buffer, Read);
		}
		const int Status = Pipe != nullptr ? ::pclose(Pipe) : -1;
		EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << Command << " ended with " << Status;
		return Output;
	}
}

FResources ReadResources(const std::wstring& Path)
{
	const std::string File = Quote(ToPath(Path).string());
	FResources Result;
	// "--type=14 --name='MAINICON' --language=1033 [type=group_icon offset=0x1958 size=34]"
	static const std::regex Line("--type='?([^' ]+)'? --name='?([^' ]+)'? --language=(\\d+) \\[");
	const std::string Listing = Run("wrestool -l " + File);
	for (std::sregex_iterator Match(Listing.begin(), Listing.end(), Line), End; Match != End; ++Match)
	{
		const std::string Type = (*Match)[1], Name = (*Match)[2], Language = (*Match)[3];
		Result[{ToWide(Type), ToWide(Name), static_cast<uint16_t>(std::stoul(Language))}] =
			Run("wrestool -x --raw --type=" + Quote(Type) + " --name=" + Quote(Name) + " --language=" + Language + " " + File);
	}
	return Result;
}

bool UpdatesDeleteResources()
{
	return true;
}
