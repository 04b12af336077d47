#include "app/windows/WindowsEntryEnvironment.h"
#include "tests/support/ScopedVariable.h"

#include <gtest/gtest.h>

TEST(WindowsLogPath, AnUndefinedVariableStaysAsWritten)
{
	FScopedVariable Variable(L"LOCALAPPDATA", std::nullopt);
	std::wstring Path;
	ASSERT_TRUE(TryExpandLogFilePath(LogFilePathTemplate, Path));
	EXPECT_EQ(Path, std::wstring(LogFilePathTemplate));
}
