#pragma once

#include "platform/Platform.h"

#include <string>
#include <vector>

// What differs between the systems when the launcher runs end to end.

// ".exe" on Windows, nothing on Linux.
std::wstring ExecutableSuffix();

// Points the launcher's log into Folder (through the variables it reads) and
// returns the log file's path there.
std::wstring RouteLauncherLog(IPlatform& Platform, const std::wstring& Folder);

// The User Helper's registration where the launcher looks it up. Set and
// clear it for the current user; the destructor clears it.
class FUserHelperRegistration
{
public:
	FUserHelperRegistration(IPlatform& Platform, const std::wstring& ScratchFolder);
	~FUserHelperRegistration();
	void Set(const std::wstring& Path);
	void Clear();

private:
	std::wstring Folder;
};

// Other names of one file that reach it (another letter case, a short name,
// links), made where the system offers them. Each entry is a full path.
std::vector<std::wstring> MakeOtherNamesOf(const std::wstring& Path);

// Whether a child's report says it ran inside the launcher's session group
// (the job on Windows; the launcher's new process group on Linux), or broke
// away from it (no job; a session of its own).
bool ReportSaysInSessionGroup(const std::vector<std::wstring>& Report);
bool ReportSaysOutsideSessionGroup(const std::vector<std::wstring>& Report);

// A file that exists but cannot be started as a program.
void MakeUnstartableProgram(const std::wstring& Path);
