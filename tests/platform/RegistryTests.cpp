// The value lookup against the system's real store (the Wine registry, or the
// configuration folders on Linux), the same cases on both systems.
#include "tests/platform/PlatformTests.h"

TEST(Registry, NothingFoundIsOneErrorAndEachSourceShadowsTheOnesAfterIt)
{
	FRegistryStore Store;
	FLogCapture Capture;
	const std::wstring LookupCategory = Category(L"TryGetValueFromRegistry");
	std::wstring Value = L"unchanged";
	EXPECT_FALSE(Store.Lookup(Value));
	EXPECT_EQ(Value, L"unchanged");
	const std::wstring Names = L" with SubKeyName '" + Store.SubKey + L"' and ValueName 'Path'";
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, LookupCategory, L"Failed to get value from registry" + Names));
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 1u);

	// Filled from the last source to the first, each new value hides the older ones.
	for (size_t Source = FRegistryStore::SourceCount; Source-- > 0;)
	{
		Capture.Clear();
		const std::wstring Text = L"/opt/kvt/\u00FCber helper " + std::to_wstring(Source);
		Store.Set(Source, Text);
		ASSERT_TRUE(Store.Lookup(Value)) << Capture.Dump();
		EXPECT_EQ(Value, Text);
		ASSERT_EQ(Capture.Entries().size(), 2u) << Capture.Dump();
		EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, LookupCategory, L"Trying to get value from registry" + Names));
		EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, LookupCategory, L"Found value: '" + Text + L"'"));
	}
	// An empty value is no answer: the lookup passes it over to a later source
	// (which one depends on the views the system keeps apart).
	Store.Set(0, L"");
	ASSERT_TRUE(Store.Lookup(Value));
	EXPECT_TRUE(Value.starts_with(L"/opt/kvt/")) << Value;
}
