#include "platform/ResourceCopy.h"

#include "app/FormatString.h"
#include "app/Log.h"
#include "platform/SystemErrorLog.h"

#include <iterator>

const FResourceUpdateTexts RemoveResourceTexts{L" Trying to remove resources from path: '%s'",
	L" Failed to begin updating resources", L" Removing resource: %s", L" Failed to remove for language: 0x%X",
	L" Failed to end updating resources", L" Successfully removed resources"};

const FResourceUpdateTexts AddResourceTexts{L"Trying to add resources to path: '%s'",
	L" Failed to begin updating resources", L"Adding resource: %s", L"Failed to add for language: 0x%X",
	L"Failed to end updating resources", L"Successfully added resources"};

namespace
{
	std::wstring DescribeResourceId(uintptr_t Id, const std::wstring& Name)
	{
		return Name.empty() ? FormatString(L"%Xh", static_cast<uint32_t>(Id)) : FormatString(L"'%s'", Name);
	}
}

std::wstring DescribeResourceRecord(const FResourceRecord& Record)
{
	return FormatString(L"Type=%s, Name=%s", DescribeResourceId(Record.TypeId, Record.TypeName),
		DescribeResourceId(Record.NameId, Record.Name));
}

void HandOutFoundResources(const wchar_t* Category, std::vector<FResourceRecord>& Found,
	std::vector<FResourceRecord>& OutRecords)
{
	for (FResourceRecord& Record : Found)
	{
		Log(ELogLevel::Verbose, Category, L"Found resource: %s", DescribeResourceRecord(Record));
		OutRecords.push_back(std::move(Record));
	}
	Log(ELogLevel::Verbose, Category, L"Successfully found resources: %d", static_cast<int32_t>(OutRecords.size()));
}

bool RunResourceCopy(const FResourceCopySteps& Steps, const std::wstring& SourcePath, const std::wstring& TargetPath)
{
	const wchar_t* const Category = Steps.Category;
	return GuardOperation(Category, false, [&]
	{
		Log(ELogLevel::Verbose, Category, L"Trying to copy resources from '%s' to '%s'", SourcePath, TargetPath);
		const std::vector<uintptr_t> Types(std::begin(CopiedResourceTypes), std::end(CopiedResourceTypes));

		Log(ELogLevel::Verbose, Category, L"Getting resources from source path: '%s'", SourcePath);
		std::vector<FResourceRecord> SourceRecords;
		if (!Steps.TryGetResources(SourcePath, Types, SourceRecords))
		{
			Log(ELogLevel::Error, Category, L"Failed to get resources from source path: '%s'", SourcePath);
			return false;
		}

		Log(ELogLevel::Verbose, Category, L"Getting resources from target path: '%s'", TargetPath);
		std::vector<FResourceRecord> TargetRecords;
		if (!Steps.TryGetResources(TargetPath, Types, TargetRecords))
		{
			Log(ELogLevel::Error, Category, L"Failed to get resources from target path: '%s'", TargetPath);
			return false;
		}

		// The signatures go before the resources change as well: a resource
		// update that grows the file may leave the certificate table where it
		// was, and the table is then corrupt rather than merely invalid.
		const auto TryRemoveSignatures = [&]
		{
			Log(ELogLevel::Verbose, Category, L"Removing Authenticode signatures: '%s'", TargetPath);
			if (!Steps.TryRemoveAuthenticodeSignatures(TargetPath))
			{
				Log(ELogLevel::Error, Category, L"Failed to remove Authenticode signatures: '%s'", TargetPath);
				return false;
			}
			return true;
		};
		if (!TryRemoveSignatures())
		{
			return false;
		}

		Log(ELogLevel::Verbose, Category, L"Removing resources from target path: '%s'", TargetPath);
		if (!Steps.TryRemoveResources(TargetPath, TargetRecords))
		{
			Log(ELogLevel::Error, Category, L"Failed to remove resources from target path: '%s'", TargetPath);
			return false;
		}

		Log(ELogLevel::Verbose, Category, L"Adding resources to target path: '%s'", TargetPath);
		if (!Steps.TryAddResources(TargetPath, SourceRecords))
		{
			Log(ELogLevel::Error, Category, L"Failed to add source resources to target path: '%s'", TargetPath);
			return false;
		}

		// Finds none after the removal above; kept so that the file that leaves
		// here never carries a signature, whatever the updates did.
		if (!TryRemoveSignatures())
		{
			return false;
		}

		Log(ELogLevel::Verbose, Category, L"Successfully copied resources");
		return true;
	});
}
