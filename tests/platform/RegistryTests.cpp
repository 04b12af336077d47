// The value lookup against the system's real store (the Wine registry, or the
// configuration folders on Linux), the same cases on both systems.
#include "tests/platform/PlatformTests.h"

namespace
{
	class Registry : public ::testing::Test
	{
	protected:
		FRegistryStore Store;
		FLogCapture Capture;
		const std::wstring LookupCategory = Category(L"TryGetValueFromRegistry");
	};
}

TEST_F(Registry, NothingFoundIsOneErrorAndAValueOnlyInTheLastSourceIsFound)
{
	std::wstring Value = L"unchanged";
	EXPECT_FALSE(Store.Lookup(Value));
	EXPECT_EQ(Value, L"unchanged");
	const std::wstring Names = L" with SubKeyName '" + Store.SubKey + L"' and ValueName 'Path'";
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, LookupCategory, L"Failed to get value from registry" + Names));
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 1u);

	Capture.Clear();
	Store.Set(FRegistryStore::SourceCount - 1, L"/opt/kvt/\u00FCber helper");
	ASSERT_TRUE(Store.Lookup(Value)) << Capture.Dump();
	EXPECT_EQ(Value, L"/opt/kvt/\u00FCber helper");
	ASSERT_EQ(Capture.Entries().size(), 2u) << Capture.Dump();
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, LookupCategory, L"Trying to get value from registry" + Names));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, LookupCategory, L"Found value: '/opt/kvt/\u00FCber helper'"));
}

TEST_F(Registry, EachSourceShadowsTheOnesAfterIt)
{
	std::wstring Value;
	for (size_t Source = FRegistryStore::SourceCount; Source-- > 0;)
	{
		Store.Set(Source, L"source " + std::to_wstring(Source));
		ASSERT_TRUE(Store.Lookup(Value));
		EXPECT_EQ(Value, L"source " + std::to_wstring(Source));
	}
}

TEST_F(Registry, AnEmptyValueCountsAsAbsentAndAZeroEndsTheText)
{
	Store.Set(FRegistryStore::SourceCount - 1, L"last");
	Store.Set(0, L"");
	std::wstring Value;
	ASSERT_TRUE(Store.Lookup(Value));
	EXPECT_EQ(Value, L"last");
	Store.Set(0, std::wstring(L"ab\0cd", 5));
	ASSERT_TRUE(Store.Lookup(Value));
	EXPECT_EQ(Value, L"ab");
}
