#pragma once

#include "tests/support/FakePlatform.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestBootstrapper.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// An absolute folder in the running system's syntax ("C:\L" or "/L") and a
// name inside it, for tests over the fake platform.
std::wstring SampleFolder();
std::wstring InSampleFolder(const std::wstring& Name);

// The configuration reader and writer over a fake file system.
class FakeConfigTest : public ::testing::Test
{
protected:
	std::shared_ptr<FFakePlatform> Platform = std::make_shared<FFakePlatform>();
	FTestBootstrapper Bootstrapper{std::make_shared<FCommandLine>(L""), Platform, nullptr};
	FLogCapture Capture;
	const std::wstring ConfigPath = InSampleFolder(L"Launcher.ini");

	static constexpr const wchar_t* ReadCategory = L"FGenericBootstrapper::TryReadConfig";
	static constexpr const wchar_t* WriteCategory = L"FGenericBootstrapper::TryWriteConfig";

	// Reads Text as the configuration file's content.
	bool Read(const std::wstring& Text, FBootstrapperConfig& OutConfig)
	{
		Platform->Files[ConfigPath] = Text;
		return Bootstrapper.TryReadConfig(ConfigPath, OutConfig);
	}

	size_t CountMessage(const std::wstring& Message) const
	{
		size_t Count = 0;
		for (const FLogCapture::FEntry& Entry : Capture.Entries())
		{
			Count += Entry.Message == Message ? 1 : 0;
		}
		return Count;
	}
};
