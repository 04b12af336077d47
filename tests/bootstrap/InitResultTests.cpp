#include "bootstrap/InitResult.h"

#include <gtest/gtest.h>

TEST(InitResult, NamesDetailsAndSuccess)
{
	EXPECT_EQ(FInitResult().ToString(), L"NONE");
	EXPECT_EQ(FInitResult::NoOperation().ToString(), L"NO_OPERATION");
	EXPECT_EQ(FInitResult::ServiceNotInstalled().GetDetail(), L"");
	EXPECT_TRUE(FInitResult::Success().IsSuccess());
	EXPECT_FALSE(FInitResult::ServiceInitFailed(0).IsSuccess());
	EXPECT_EQ(FInitResult::ServiceInitFailed(0xC0000005u).GetDetail(), L"-1073741819");
	EXPECT_EQ(FInitResult::ServiceInitFailed(5).ToString(), L"SERVICE_INIT_FAILED");
}
