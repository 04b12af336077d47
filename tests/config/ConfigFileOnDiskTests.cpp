#include "bootstrap/BootstrapperConfig.h"
#include "configure/CommandLine.h"
#include "platform/Utf8.h"

#include "tests/support/LogCapture.h"
#include "tests/support/TestBootstrapper.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace
{
	// The reader and writer over the real file system, in a fresh folder that
	// is not the current directory.
	class ConfigFileOnDisk : public ::testing::Test
	{
	protected:
		FTempDirectory Directory;
		FTestBootstrapper Bootstrapper{std::make_shared<FCommandLine>(L""), MakeNativePlatform(), nullptr};
		FLogCapture Capture;
		const fs::path ConfigFile = Directory.Path() / "cfg" / "Launcher.ini";

		void SetUp() override
		{
			std::error_code Error;
			fs::create_directories(Directory.Path() / "cfg" / "bin", Error);
			fs::create_directories(Directory.Path() / "app", Error);
			ASSERT_FALSE(Error);
			WriteFileBytes(Directory.Path() / "cfg" / "bin" / "App.exe", "MZ");
			WriteFileBytes(Directory.Path() / "app" / "App.exe", "MZ");
		}

		bool ReadText(const std::string& Bytes, FBootstrapperConfig& OutConfig)
		{
			WriteFileBytes(ConfigFile, Bytes);
			return Bootstrapper.TryReadConfig(ToWide(ConfigFile), OutConfig);
		}
	};
}

TEST_F(ConfigFileOnDisk, ValuesResolveFromTheFilesFolder)
{
	ASSERT_NE(fs::current_path(), Directory.Path() / "cfg");
	FBootstrapperConfig Config;
	// CR LF on every system: a file saved on Windows may ship with any build.
	ASSERT_TRUE(ReadText("ApplicationPath=bin/App.exe\r\nWorkingDirectory=bin\r\nWaitForExit=1\r\n", Config))
		<< Capture.Dump();
	EXPECT_EQ(Config.ApplicationPath, ToWide(Directory.Path() / "cfg" / "bin" / "App.exe"));
	EXPECT_EQ(Config.WorkingDirectory, ToWide(Directory.Path() / "cfg" / "bin"));
	EXPECT_TRUE(Config.WaitForExit);

	ASSERT_TRUE(ReadText("ApplicationPath=./bin/../../app/App.exe\nWorkingDirectory=..\n", Config)) << Capture.Dump();
	EXPECT_EQ(Config.ApplicationPath, ToWide(Directory.Path() / "app" / "App.exe"));
	EXPECT_EQ(Config.WorkingDirectory, ToWide(Directory.Path()));

	const std::wstring Absolute = ToWide(Directory.Path() / "app" / "App.exe");
	ASSERT_TRUE(ReadText("ApplicationPath=" + EncodeUtf8Lossless(Absolute) + "\n", Config)) << Capture.Dump();
	EXPECT_EQ(Config.ApplicationPath, Absolute);
}

TEST_F(ConfigFileOnDisk, WrittenFileHasTheExactBytesAndReadsBack)
{
	// Missing folders on the way are created.
	const fs::path Written = Directory.Path() / "out" / "sub" / "Launcher.ini";
	ASSERT_TRUE(Bootstrapper.TryWriteConfig(ToWide(Written), FBootstrapperConfig{L"Bin\\App.exe", L"Bin", true, false}))
		<< Capture.Dump();
	const std::string End = DiskLineEnd();
	EXPECT_EQ(ReadFileBytes(Written),
		"ApplicationPath=Bin\\App.exe" + End + "WorkingDirectory=Bin" + End + "WaitForExit=1" + End + "NoOperation=0" + End);

	// Both booleans survive, each way round, and an empty working directory
	// comes back as not set.
	for (const bool bWait : {true, false})
	{
		ASSERT_TRUE(Bootstrapper.TryWriteConfig(ToWide(ConfigFile), FBootstrapperConfig{L"bin/App.exe", L"", bWait, !bWait}));
		FBootstrapperConfig ReadBack;
		ASSERT_TRUE(Bootstrapper.TryReadConfig(ToWide(ConfigFile), ReadBack)) << Capture.Dump();
		EXPECT_EQ(ReadBack.WaitForExit, bWait);
		EXPECT_EQ(ReadBack.NoOperation, !bWait);
		EXPECT_TRUE(ReadBack.WorkingDirectory.empty());
	}
}
