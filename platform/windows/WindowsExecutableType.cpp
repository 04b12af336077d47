#include "platform/windows/WindowsPlatform.h"

#include "app/Log.h"
#include "platform/SystemErrorLog.h"
#include "platform/pe/PeHeaders.h"
#include "platform/windows/WindowsMappedFile.h"

namespace
{
	constexpr const wchar_t* Category = L"FWindowsPlatform::TryGetExecutableType";
}

bool FWindowsPlatform::TryGetExecutableType(const std::wstring& Path, EExecutableType& OutType)
{
	return GuardOperation(Category, false, [&]
	{
		Log(ELogLevel::Verbose, Category, L"Attempting to get executable type for executable path: '%s'", Path);

		FMappedFile Mapped;
		return TryMapExecutableFile(Path, false, Category, Mapped) &&
			TryReadExecutableType(Mapped.Bytes(), Mapped.Size, Category, OutType);
	});
}
