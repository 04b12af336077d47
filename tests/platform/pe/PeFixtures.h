#pragma once

#include "tests/support/PeBuilders.h"
#include "tests/support/TestFiles.h"

// The PE files make-fixtures.sh builds for these tests with windres and lld-link.
inline std::string ReadFixture(const std::string& Name)
{
	return ReadFileBytes(std::filesystem::path(KVT_TEST_PE_FIXTURE_DIR) / Name);
}

inline std::string Text(const std::vector<uint8_t>& Bytes)
{
	return std::string(Bytes.begin(), Bytes.end());
}

inline const FPeResourceId Icon{3, L""};
inline const FPeResourceId GroupIcon{14, L""};
inline const FPeResourceId Version{16, L""};
inline const FPeResourceId Data{10, L""};
