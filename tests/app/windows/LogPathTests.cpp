#include "app/windows/WindowsEntryEnvironment.h"
#include "platform/windows/WindowsHeaders.h"

#include <gtest/gtest.h>

namespace
{
	// Sets a variable for one test and puts the old value back after it.
	class FScopedVariable
	{
	public:
		FScopedVariable(const wchar_t* InName, const wchar_t* Value) : Name(InName)
		{
			wchar_t Buffer[32768];
			const DWORD Length = ::GetEnvironmentVariableW(Name, Buffer, 32768);
			bHadValue = Length > 0 && Length < 32768;
			if (bHadValue)
			{
				Old.assign(Buffer, Length);
			}
			::SetEnvironmentVariableW(Name, Value);
		}
		~FScopedVariable() { ::SetEnvironmentVariableW(Name, bHadValue ? Old.c_str() : nullptr); }

	private:
		const wchar_t* Name;
		std::wstring Old;
		bool bHadValue = false;
	};
}

TEST(WindowsLogPath, ALongLocalAppDataIsExpandedWhole)
{
	const std::wstring Long = L"C:\\" + std::wstring(300, L'd') + L"\\Local";
	FScopedVariable Variable(L"LOCALAPPDATA", Long.c_str());
	std::wstring Path;
	ASSERT_TRUE(TryExpandLogFilePath(LogFilePathTemplate, Path));
	EXPECT_EQ(Path, Long + L"\\Zorvan Games\\Zorvan Online Services\\Bootstrapper\\Logs\\KVTBootstrapper.log");
}

TEST(WindowsLogPath, AnUndefinedVariableStaysAsWritten)
{
	FScopedVariable Variable(L"LOCALAPPDATA", nullptr);
	std::wstring Path;
	ASSERT_TRUE(TryExpandLogFilePath(LogFilePathTemplate, Path));
	EXPECT_EQ(Path, std::wstring(LogFilePathTemplate));
}
