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
		std::shared_ptr<IProcessGroup> Group;
		std::wstring Guid;
	};

	const std::wstring GuidText = L"0123abcd-4567-ef01-89ab-2345cdef6789";
	constexpr const wchar_t* EnvironmentCategory = L"FWindowsBootstrapper::TrySetupEnvironment";
	constexpr const wchar_t* SessionCategory = L"FGenericBootstrapper::TryCreateSession";
}

TEST_F(Session, GuidTextIsLowerCaseAndZeroPaddedAndMadeHereWhenThePlatformFails)
{
	EXPECT_EQ(Bootstrapper.CreateGuid(), GuidText);
	for (uint32_t Index = 0; Index < 4; ++Index)
	{
		Platform->Guid[Index] = Index + 1;
	}
	EXPECT_EQ(Bootstrapper.CreateGuid(), L"00000001-0000-0002-0000-000300000004");

	Platform->GuidResult = false;
	const std::wstring First = Bootstrapper.CreateGuid();
	const std::wstring Second = Bootstrapper.CreateGuid();
	const std::wregex Layout(L"[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}");
	EXPECT_TRUE(std::regex_match(First, Layout)) << First;
	EXPECT_TRUE(std::regex_match(Second, Layout)) << Second;
	// Seeded from the random source each time, not from a fixed seed.
	EXPECT_NE(First, Second);
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, L"FGenericBootstrapper::CreateGuid", L"Platform API failed, generating manually."));
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 2u);
}

TEST_F(Session, GuidThenEnvironmentThenAGroupNamedByTheGuid)
{
	ASSERT_TRUE(Bootstrapper.TryCreateSession(FBootstrapperConfig(), Group, Guid)) << Capture.Dump();
	EXPECT_EQ(Guid, GuidText);
	const auto* FakeGroup = dynamic_cast<FFakePlatform::FFakeProcessGroup*>(Group.get());
	ASSERT_NE(FakeGroup, nullptr);
	EXPECT_EQ(FakeGroup->Name, Guid);
	EXPECT_EQ(Platform->Calls, (std::vector<std::wstring>{L"TryCreateGuid", L"TrySetEnvironmentVariable",
		L"TrySetEnvironmentVariable", L"TrySetEnvironmentVariable", L"TryCreateProcessGroup"}));
	EXPECT_EQ(Platform->Environment, (std::map<std::wstring, std::wstring>{{L"KVT_SESSION_GUID", Guid},
		{L"KVT_OVERLAY_ENABLE_VULKAN_WIN32", L"1"}, {L"KVT_OVERLAY_ENABLE_VULKAN_WIN64", L"1"}}));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, SessionCategory, L"Generated Session GUID: '" + Guid + L"'."));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, EnvironmentCategory, L"Successfully set up the environment."));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, SessionCategory, L"Successfully created a new session."));
}

TEST_F(Session, AFailingStepStopsTheRestButTheGuidIsKept)
{
	// The first variable that cannot be set ends the environment; nothing set before it is rolled back.
	const std::tuple<std::wstring, std::wstring, size_t> Cases[] = {{L"KVT_SESSION_GUID", GuidText, 1},
		{L"KVT_OVERLAY_ENABLE_VULKAN_WIN32", L"1", 2}, {L"KVT_OVERLAY_ENABLE_VULKAN_WIN64", L"1", 3}};
	for (const auto& [Variable, Value, Sets] : Cases)
	{
		Capture.Clear();
		Platform->Calls.clear();
		Platform->Environment.clear();
		Platform->FailingEnvironmentVariables = {Variable};
		Guid.clear();
		EXPECT_FALSE(Bootstrapper.TryCreateSession(FBootstrapperConfig(), Group, Guid));
		EXPECT_EQ(Guid, GuidText);
		EXPECT_TRUE(Capture.Has(ELogLevel::Error, EnvironmentCategory,
			L"Failed to set environment variable: '" + Variable + L"=" + Value + L"'")) << Capture.Dump();
		EXPECT_TRUE(Capture.Has(ELogLevel::Error, SessionCategory, L"Failed to set up environment."));
		EXPECT_EQ(Platform->CountCalls(L"TrySetEnvironmentVariable"), Sets);
		EXPECT_EQ(Platform->Environment.size(), Sets - 1);
		EXPECT_EQ(Platform->CountCalls(L"TryCreateProcessGroup"), 0u);
		EXPECT_EQ(Group, nullptr);
	}

	Platform->FailingEnvironmentVariables.clear();
	Platform->ProcessGroupResult = false;
	Guid.clear();
	EXPECT_FALSE(Bootstrapper.TryCreateSession(FBootstrapperConfig(), Group, Guid));
	EXPECT_EQ(Guid, GuidText);
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, SessionCategory, L"Failed to create a new process group."));
	EXPECT_EQ(Group, nullptr);
	EXPECT_FALSE(Capture.Has(ELogLevel::Verbose, SessionCategory, L"Successfully created a new session."));
}
