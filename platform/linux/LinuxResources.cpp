#include "platform/linux/LinuxPlatform.h"

#include "app/Log.h"
#include "platform/EmbeddedResources.h"
#include "platform/SystemErrorLog.h"

bool FLinuxPlatform::TryLoadResourceData(const std::wstring& Type, const std::wstring& Name, std::vector<uint8_t>& OutBytes)
{
	try
	{
		const uint8_t* Data = nullptr;
		size_t Size = 0;
		if (Type.empty() || Name.empty() || !FEmbeddedResource::TryFind(Type, Name, Data, Size) || Size == 0)
		{
			return false;
		}
		OutBytes.assign(Data, Data + Size);
		return true;
	}
	catch (...)
	{
		LogCurrentException(L"FLinuxPlatform::TryLoadResourceData");
		return false;
	}
}

bool FLinuxPlatform::TryCopyExecutableResources(const std::wstring& SourcePath, const std::wstring& TargetPath)
{
	constexpr const wchar_t* Category = L"FLinuxPlatform::TryCopyExecutableResources";
	Log(ELogLevel::Verbose, Category, L"Trying to copy resources from '%s' to '%s'", SourcePath, TargetPath);
	// Linux programs carry no icons or version resources, and rewriting the
	// resource section of a Windows file has no tool here yet.
	Log(ELogLevel::Error, Category,
		L"Failed because this system has no resource editor for executables yet: icons and version information cannot "
		L"be copied into '%s'",
		TargetPath);
	return false;
}
