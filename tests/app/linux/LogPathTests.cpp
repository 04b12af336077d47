#include "app/linux/LinuxEntryEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace
{
	class FScopedVariable
	{
	public:
		FScopedVariable(const char* InName, const char* Value) : Name(InName)
		{
			if (const char* Current = std::getenv(Name))
			{
				Old = Current;
			}
			Value != nullptr ? ::setenv(Name, Value, 1) : ::unsetenv(Name);
		}
		~FScopedVariable() { Old ? ::setenv(Name, Old->c_str(), 1) : ::unsetenv(Name); }

	private:
		const char* Name;
		std::optional<std::string> Old;
	};

	const std::wstring Tail = L"/Zorvan Games/Zorvan Online Services/Bootstrapper/Logs/KVTBootstrapper.log";
}

TEST(LinuxLogPath, StateHomeFirstThenHomeThenNothing)
{
	FScopedVariable Home("HOME", "/srv/player");
	{
		FScopedVariable State("XDG_STATE_HOME", "/var/state/\xC3\xA9");
		std::wstring Path;
		ASSERT_TRUE(TryGetLinuxLogFilePath(Path));
		EXPECT_EQ(Path, L"/var/state/\u00E9" + Tail);
	}
	{
		// A relative value is invalid in the XDG rules and ignored.
		FScopedVariable State("XDG_STATE_HOME", "relative/state");
		std::wstring Path;
		ASSERT_TRUE(TryGetLinuxLogFilePath(Path));
		EXPECT_EQ(Path, L"/srv/player/.local/state" + Tail);
	}
	{
		FScopedVariable State("XDG_STATE_HOME", nullptr);
		FScopedVariable NoHome("HOME", nullptr);
		std::wstring Path = L"junk";
		EXPECT_FALSE(TryGetLinuxLogFilePath(Path));
	}
}

TEST(LinuxLogPath, ProgramArgumentsDecodeWithoutThrowing)
{
	char First[] = "prog";
	char Second[] = "\xC3\xA9t\xC3";
	char* Arguments[] = {First, Second};
	const std::vector<std::wstring> Decoded = DecodeProgramArguments(2, Arguments);
	ASSERT_EQ(Decoded.size(), 2u);
	EXPECT_EQ(Decoded[1], L"\u00E9t\uFFFD");
}
