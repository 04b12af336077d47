// The session over a fake platform: the GUID text, the environment and the group.
#include "bootstrap/BootstrapperConfig.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestBootstrapper.h"

#include <gtest/gtest.h>

#include <regex>

namespace
{
	class Session : public ::testing::Test
	{
	protected:
		// Only the session's own calls count (the analytics object asks for the platform texts).
		Session() { Platform->Calls.clear(); }

		std::shared_ptr<FFakePlatform> Platform = std::make_shared<FFakePlatform>();
		FTestBootstrapper Bootstrapper{nullptr, Platform, nullptr};
		FLogCapture Capture;
	};

	constexpr const wchar_t* EnvironmentCategory = L"FWindowsBootstrapper::TrySetupEnvironment";
	constexpr const wchar_t* SessionCategory = L"FGenericBootstrapper::TryCreateSession";
	const std::wregex GuidLayout(L"[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}");
}

TEST_F(Session, GuidTextIsLowerCaseAndZeroPadded)
{
	EXPECT_EQ(Bootstrapper.CreateGuid(), L"0123abcd-4567-ef01-89ab-2345cdef6789");
	Platform->Guid[0] = 1;
	Platform->Guid[1] = 2;
	Platform->Guid[2] = 3;
	Platform->Guid[3] = 4;
	EXPECT_EQ(Bootstrapper.CreateGuid(), L"00000001-0000-0002-0000-000300000004");
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 0u);
}

TEST_F(Session, GuidIsGeneratedHereWhenThePlatformFails)
{
	Platform->GuidResult = false;
	const std::wstring First = Bootstrapper.CreateGuid();
	const std::wstring Second = Bootstrapper.CreateGuid();
	EXPECT_TRUE(std::regex_match(First, GuidLayout));
	EXPECT_TRUE(std::regex_match(Second, GuidLayout));
	// Seeded from the random source each time, not from a fixed seed.
	EXPECT_NE(First, Second);
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, L"FGenericBootstrapper::CreateGuid", L"Platform API failed, generating manually."));
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 2u);
}

TEST_F(Session, EnvironmentGetsTheGuidAndBothOverlayVariables)
{
	ASSERT_TRUE(Bootstrapper.TrySetupEnvironment(L"guid-text"));
	EXPECT_EQ(Platform->Environment[L"KVT_SESSION_GUID"], L"guid-text");
	EXPECT_EQ(Platform->Environment[L"KVT_OVERLAY_ENABLE_VULKAN_WIN32"], L"1");
	EXPECT_EQ(Platform->Environment[L"KVT_OVERLAY_ENABLE_VULKAN_WIN64"], L"1");
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, EnvironmentCategory, L"Successfully set up the environment."));
}

TEST_F(Session, FirstFailingVariableStopsTheRest)
{
	Platform->FailingEnvironmentVariables = {L"KVT_OVERLAY_ENABLE_VULKAN_WIN32"};
	EXPECT_FALSE(Bootstrapper.TrySetupEnvironment(L"guid-text"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, EnvironmentCategory,
		L"Failed to set environment variable: 'KVT_OVERLAY_ENABLE_VULKAN_WIN32=1'"));
	EXPECT_EQ(Platform->CountCalls(L"TrySetEnvironmentVariable"), 2u);
	EXPECT_EQ(Platform->Environment.count(L"KVT_OVERLAY_ENABLE_VULKAN_WIN64"), 0u);
	// Nothing is rolled back.
	EXPECT_EQ(Platform->Environment[L"KVT_SESSION_GUID"], L"guid-text");

	Platform->Environment.clear();
	Platform->Calls.clear();
	Platform->FailingEnvironmentVariables = {L"KVT_SESSION_GUID"};
	EXPECT_FALSE(Bootstrapper.TrySetupEnvironment(L"guid-text"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, EnvironmentCategory, L"Failed to set environment variable: 'KVT_SESSION_GUID=guid-text'"));
	EXPECT_EQ(Platform->CountCalls(L"TrySetEnvironmentVariable"), 1u);
}

TEST_F(Session, SessionIsGuidThenEnvironmentThenGroupNamedByTheGuid)
{
	std::shared_ptr<IProcessGroup> Group;
	std::wstring Guid;
	ASSERT_TRUE(Bootstrapper.TryCreateSession(FBootstrapperConfig(), Group, Guid)) << Capture.Dump();
	EXPECT_EQ(Guid, L"0123abcd-4567-ef01-89ab-2345cdef6789");
	const auto* FakeGroup = dynamic_cast<FFakePlatform::FFakeProcessGroup*>(Group.get());
	ASSERT_NE(FakeGroup, nullptr);
	EXPECT_EQ(FakeGroup->Name, Guid);
	EXPECT_EQ(Platform->Calls, (std::vector<std::wstring>{L"TryCreateGuid", L"TrySetEnvironmentVariable",
		L"TrySetEnvironmentVariable", L"TrySetEnvironmentVariable", L"TryCreateProcessGroup"}));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, SessionCategory, L"Generated Session GUID: '" + Guid + L"'."));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, SessionCategory, L"Successfully created a new session."));
}

TEST_F(Session, FailuresStopTheSessionButTheGuidIsKept)
{
	std::shared_ptr<IProcessGroup> Group;
	std::wstring Guid;
	Platform->FailingEnvironmentVariables = {L"KVT_OVERLAY_ENABLE_VULKAN_WIN32"};
	EXPECT_FALSE(Bootstrapper.TryCreateSession(FBootstrapperConfig(), Group, Guid));
	EXPECT_EQ(Guid, L"0123abcd-4567-ef01-89ab-2345cdef6789");
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, SessionCategory, L"Failed to set up environment."));
	EXPECT_EQ(Platform->CountCalls(L"TryCreateProcessGroup"), 0u);
	EXPECT_EQ(Group, nullptr);

	Platform->FailingEnvironmentVariables.clear();
	Platform->ProcessGroupResult = false;
	Guid.clear();
	EXPECT_FALSE(Bootstrapper.TryCreateSession(FBootstrapperConfig(), Group, Guid));
	EXPECT_EQ(Guid, L"0123abcd-4567-ef01-89ab-2345cdef6789");
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, SessionCategory, L"Failed to create a new process group."));
	EXPECT_EQ(Group, nullptr);
	EXPECT_FALSE(Capture.Has(ELogLevel::Verbose, SessionCategory, L"Successfully created a new session."));
}
