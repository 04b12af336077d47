#include "tests/e2e/E2ESystem.h"

#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

std::wstring ExecutableSuffix()
{
	return L"";
}

std::wstring RouteLauncherLog(IPlatform& Platform, const std::wstring& Folder)
{
	EXPECT_TRUE(Platform.TrySetEnvironmentVariable(L"XDG_STATE_HOME", Folder));
	return Folder + L"/Zorvan Games/Zorvan Online Services/Bootstrapper/Logs/KVTBootstrapper.log";
}

// The store the launcher reads instead of a registry: one file per value under
// the user's configuration folder, which the test points into its own folder.
FUserHelperRegistration::FUserHelperRegistration(IPlatform& Platform, const std::wstring& ScratchFolder)
	: Folder(ScratchFolder + L"/config")
{
	EXPECT_TRUE(Platform.TrySetEnvironmentVariable(L"XDG_CONFIG_HOME", Folder));
	EXPECT_TRUE(Platform.TrySetEnvironmentVariable(L"XDG_CONFIG_DIRS", ScratchFolder + L"/no-machine-config"));
}

FUserHelperRegistration::~FUserHelperRegistration() = default;

void FUserHelperRegistration::Set(const std::wstring& Path)
{
	const std::filesystem::path File = ToPath(Folder + L"/SOFTWARE/Zorvan Games/KVT/UserHelper/Path");
	std::filesystem::create_directories(File.parent_path());
	WriteFileBytes(File, ToPath(Path).string() + "\n");
}

void FUserHelperRegistration::Clear()
{
	std::error_code Error;
	std::filesystem::remove_all(ToPath(Folder), Error);
}

std::vector<std::wstring> MakeOtherNamesOf(const std::wstring& Path)
{
	std::vector<std::wstring> Names;
	const std::filesystem::path Target = ToPath(Path);
	std::error_code Error;
	const std::filesystem::path Hard = Target.parent_path() / "hard-link-to-launcher";
	std::filesystem::create_hard_link(Target, Hard, Error);
	EXPECT_FALSE(Error) << Error.message();
	Names.push_back(ToWide(Hard));
	const std::filesystem::path Symbolic = Target.parent_path() / "symbolic-link-to-launcher";
	std::filesystem::create_symlink(Target, Symbolic, Error);
	EXPECT_FALSE(Error) << Error.message();
	Names.push_back(ToWide(Symbolic));
	return Names;
}

namespace
{
	std::wstring Fact(const std::vector<std::wstring>& Report, const std::wstring& Key)
	{
		for (const std::wstring& Line : Report)
		{
			if (Line.rfind(Key + L"=", 0) == 0)
			{
				return Line.substr(Key.size() + 1);
			}
		}
		return L"?";
	}
}

bool ReportSaysInSessionGroup(const std::vector<std::wstring>& Report)
{
	// The launcher, started by this test inside the test's group, made a group
	// of its own: the child is in a group that is neither the test's nor its own.
	const std::wstring Group = Fact(Report, L"pgid");
	return Group != L"?" && Group != std::to_wstring(::getpgrp()) && Group != Fact(Report, L"pid");
}

bool ReportSaysOutsideSessionGroup(const std::vector<std::wstring>& Report)
{
	// Breakaway: a session (and so a group) of its own.
	return Fact(Report, L"sid") == Fact(Report, L"pid") && Fact(Report, L"pgid") == Fact(Report, L"pid");
}

void MakeUnstartableProgram(const std::wstring& Path)
{
	// A file without execute permission cannot be started, not even by root.
	WriteFileBytes(ToPath(Path), "this is not a program\n");
	::chmod(ToPath(Path).c_str(), 0644);
}
