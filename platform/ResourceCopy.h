#pragma once

#include "platform/ResourceRecord.h"

#include <string>
#include <vector>

// The steps of copying an application's looks into an executable are the same
// on every system; what differs is how each system reads and changes a file's
// resources. Each platform hands its helpers over here.
struct FResourceCopySteps
{
	const wchar_t* Category;
	bool (*TryGetResources)(const std::wstring& Path, const std::vector<uintptr_t>& Types,
		std::vector<FResourceRecord>& OutRecords);
	bool (*TryRemoveResources)(const std::wstring& Path, const std::vector<FResourceRecord>& Records);
	bool (*TryAddResources)(const std::wstring& Path, const std::vector<FResourceRecord>& Records);
	bool (*TryRemoveAuthenticodeSignatures)(const std::wstring& Path);
};

// Gives the target exactly the source's icons, groups and version information
// and leaves it without signatures. Logs every step under Steps.Category.
bool RunResourceCopy(const FResourceCopySteps& Steps, const std::wstring& SourcePath, const std::wstring& TargetPath);

// The last steps of collecting a file's resources on every system: each
// record found is logged and handed out in order, then their number.
void HandOutFoundResources(const wchar_t* Category, std::vector<FResourceRecord>& Found,
	std::vector<FResourceRecord>& OutRecords);

// The texts of one resource update (removing or adding), which both systems log alike.
struct FResourceUpdateTexts
{
	const wchar_t* Trying;
	const wchar_t* BeginFailure;
	const wchar_t* PerRecord;
	const wchar_t* PerLanguageFailure;
	const wchar_t* EndFailure;
	const wchar_t* Success;
};

extern const FResourceUpdateTexts RemoveResourceTexts;
extern const FResourceUpdateTexts AddResourceTexts;
