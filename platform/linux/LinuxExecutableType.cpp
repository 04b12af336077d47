#include "platform/linux/LinuxPlatform.h"

#include "app/Log.h"
#include "platform/FileNames.h"
#include "platform/SystemErrorLog.h"
#include "platform/linux/LinuxHandles.h"
#include "platform/pe/PeHeaders.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

namespace
{
	constexpr const wchar_t* Category = L"FLinuxPlatform::TryGetExecutableType";

	// A read-only view of a whole file; munmap needs the length as well.
	struct FMappedView
	{
		void* Address = MAP_FAILED;
		size_t Size = 0;
	};

	struct FMappedViewTraits
	{
		using HandleType = FMappedView;
		static HandleType Invalid() { return FMappedView(); }
		static bool IsValid(HandleType View) { return View.Address != MAP_FAILED; }
		static bool Release(HandleType View) { return ::munmap(View.Address, View.Size) == 0; }
	};
}

bool FLinuxPlatform::TryGetExecutableType(const std::wstring& Path, EExecutableType& OutType)
{
	return GuardOperation(Category, false, [&]
	{
		Log(ELogLevel::Verbose, Category, L"Attempting to get executable type for executable path: '%s'", Path);

		std::filesystem::path FsPath;
		if (!TryToFileSystemPath(Path, FsPath))
		{
			Log(ELogLevel::Error, Category, L"Failed to create file handle");
			return false;
		}
		const FScopedFileDescriptor File(::open(FsPath.c_str(), O_RDONLY | O_CLOEXEC));
		if (!File.IsValid())
		{
			LogErrorWithLastErrorMessage(L"Failed to create file handle");
			return false;
		}

		struct stat Status;
		if (::fstat(File.Get(), &Status) != 0)
		{
			LogErrorWithLastErrorMessage(L"Failed to read the file size");
			return false;
		}
		// A directory opens for reading here too, but is no executable of any size.
		if (!S_ISREG(Status.st_mode))
		{
			Log(ELogLevel::Error, Category, L"Failed because of an invalid file size");
			return false;
		}
		if (!CheckExecutableFileSize(static_cast<uint64_t>(Status.st_size), Category))
		{
			return false;
		}

		const size_t Size = static_cast<size_t>(Status.st_size);
		// Released before the descriptor, as the view was made after it.
		const FScopedHandle<FMappedViewTraits> View(
			FMappedView{::mmap(nullptr, Size, PROT_READ, MAP_PRIVATE, File.Get(), 0), Size});
		if (!View.IsValid())
		{
			LogErrorWithLastErrorMessage(L"Failed to map the file");
			return false;
		}
		return TryReadExecutableType(static_cast<const uint8_t*>(View.Get().Address), Size, Category, OutType);
	});
}
