#pragma once

#include "tests/platform/resources/SystemResources.h"
#include "tests/support/PeBuilders.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

// The PE files make-fixtures.sh builds for these tests with windres and lld-link.
inline std::string ReadFixture(const std::string& Name)
{
	return ReadFileBytes(std::filesystem::path(KVT_TEST_PE_FIXTURE_DIR) / Name);
}

inline std::string Text(const std::vector<uint8_t>& Bytes)
{
	return std::string(Bytes.begin(), Bytes.end());
}

inline const FPeResourceId Data{10, L""};

// Every language of every resource with its bytes as the reader finds them,
// keyed as the system's resource functions and wrestool are.
inline FResources ReadContents(const std::string& File)
{
	const auto Key = [](const FPeResourceId& Id) { return Id.IsNamed() ? Id.Name : std::to_wstring(Id.Id); };
	FResources Contents;
	FPeImage Image;
	EXPECT_TRUE(ParseExact(File, Image));
	for (const FPeResource& Resource : Image.Resources)
	{
		for (const FPeResourceLanguage& Language : Resource.Languages)
		{
			Contents[{Key(Resource.Type), Key(Resource.Name), Language.Language}] = File.substr(Language.FileOffset, Language.Size);
		}
	}
	return Contents;
}
