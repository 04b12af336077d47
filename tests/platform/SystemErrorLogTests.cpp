// The one line a failed system call leaves.
#include "platform/SystemErrorLog.h"

#include <gtest/gtest.h>

TEST(SystemErrorLine, CarriesCodeAndTextOrSaysUnknown)
{
	// The text as the system gave it, trailing space included.
	EXPECT_EQ(FormatSystemErrorLine(L"Failed", 0xC0000005, L"Access violation. "),
		L"Failed: ErrorCode=0xC0000005 (-1073741819), ErrorMessage=Access violation. ");
	// A code without a text of the system's, or no code at all.
	EXPECT_EQ(FormatSystemErrorLine(L"Failed", 317, L""), L"Failed: Unknown reason");
	EXPECT_EQ(FormatSystemErrorLine(L"Failed", 0, L"The operation completed successfully."), L"Failed: Unknown reason");
}
