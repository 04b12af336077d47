#include "platform/EmbeddedResources.h"

#include <gtest/gtest.h>

#include <iterator>

namespace
{
	const uint8_t FirstBytes[] = {1, 2, 3};
	const uint8_t SecondBytes[] = {9, 8};

	// Entered before main, as a program's carried resources are.
	const FEmbeddedResource First(L"BINARY", L"TEST_FIRST", std::begin(FirstBytes), std::end(FirstBytes));
	const FEmbeddedResource Second(L"BINARY", L"TEST_SECOND", std::begin(SecondBytes), std::end(SecondBytes));
	const FEmbeddedResource OtherType(L"DATA", L"TEST_FIRST", std::begin(SecondBytes), std::end(SecondBytes));
}

TEST(EmbeddedResources, FindsEachBlockByTypeAndName)
{
	const uint8_t* Data = nullptr;
	size_t Size = 0;
	ASSERT_TRUE(FEmbeddedResource::TryFind(L"BINARY", L"TEST_FIRST", Data, Size));
	EXPECT_EQ(Data, FirstBytes);
	EXPECT_EQ(Size, 3u);
	ASSERT_TRUE(FEmbeddedResource::TryFind(L"BINARY", L"TEST_SECOND", Data, Size));
	EXPECT_EQ(Data, SecondBytes);
	ASSERT_TRUE(FEmbeddedResource::TryFind(L"DATA", L"TEST_FIRST", Data, Size));
	EXPECT_EQ(Data, SecondBytes);
	EXPECT_EQ(Size, 2u);

	// Exact names only; a test program carries no launcher.
	EXPECT_FALSE(FEmbeddedResource::TryFind(L"binary", L"TEST_FIRST", Data, Size));
	EXPECT_FALSE(FEmbeddedResource::TryFind(L"BINARY", L"TEST_FIRST ", Data, Size));
	EXPECT_FALSE(FEmbeddedResource::TryFind(L"BINARY", L"BOOTSTRAPPER_EXECUTABLE", Data, Size));
}
