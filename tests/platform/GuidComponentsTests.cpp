// A GUID's four numbers from its sixteen bytes.
#include "platform/GuidComponents.h"

#include <gtest/gtest.h>

#include <array>

TEST(GuidComponents, FollowTheBytesOfTheTextForm)
{
	// 00112233-4455-6677-8899-AABBCCDDEEFF
	const FGuidComponents Components = SplitGuidBytes(
		{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF});
	EXPECT_EQ((std::array{Components.A, Components.B, Components.C, Components.D}),
		(std::array{0x00112233u, 0x44556677u, 0x8899AABBu, 0xCCDDEEFFu}));
}
