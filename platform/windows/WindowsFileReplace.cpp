#include "platform/FileReplace.h"

#include "platform/windows/WindowsHandles.h"

#include <algorithm>
#include <string>

namespace
{
	constexpr int MaximumNameAttempts = 100;
	// WriteFile takes a 32-bit count.
	constexpr size_t MaximumChunk = 1u << 30;

	// A name no other file has yet, beside the target, created by us alone.
	bool TryCreateNewFileBeside(const std::filesystem::path& Target, std::wstring& OutPath, FScopedKernelHandle& OutFile)
	{
		static unsigned Counter = 0;
		const std::wstring Prefix = Target.native() + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-";
		for (int Attempt = 0; Attempt < MaximumNameAttempts; ++Attempt)
		{
			OutPath = Prefix + std::to_wstring(++Counter) + L".tmp";
			OutFile.Reset(::CreateFileW(OutPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
				nullptr));
			if (OutFile.IsValid())
			{
				return true;
			}
			if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS)
			{
				return false;
			}
		}
		return false;
	}

	bool TryWriteAll(HANDLE File, const uint8_t* Bytes, size_t Size)
	{
		size_t Done = 0;
		while (Done < Size)
		{
			DWORD Written = 0;
			const DWORD Chunk = static_cast<DWORD>(std::min(Size - Done, MaximumChunk));
			if (!::WriteFile(File, Bytes + Done, Chunk, &Written, nullptr))
			{
				return false;
			}
			if (Written == 0)
			{
				::SetLastError(ERROR_WRITE_FAULT);
				return false;
			}
			Done += Written;
		}
		return true;
	}
}

bool TryReplaceFile(const std::filesystem::path& Target, const uint8_t* Bytes, size_t Size, EReplacedFileMode,
	FFileReplaceFailure& OutFailure)
{
	std::wstring NewPath;
	FScopedKernelHandle File;
	if (!TryCreateNewFileBeside(Target, NewPath, File))
	{
		OutFailure = FFileReplaceFailure{FileReplaceSteps::Create, ::GetLastError()};
		return false;
	}

	const wchar_t* FailedStep = nullptr;
	if (!TryWriteAll(File.Get(), Bytes, Size))
	{
		FailedStep = FileReplaceSteps::Write;
	}
	else if (!::FlushFileBuffers(File.Get()))
	{
		FailedStep = FileReplaceSteps::Flush;
	}
	const DWORD Error = ::GetLastError();
	// Closed before the move: Windows will not move a file we still hold.
	File.Reset();
	if (FailedStep == nullptr &&
		::MoveFileExW(NewPath.c_str(), Target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
	{
		return true;
	}
	OutFailure = FailedStep != nullptr ? FFileReplaceFailure{FailedStep, Error}
									   : FFileReplaceFailure{FileReplaceSteps::Replace, ::GetLastError()};
	::DeleteFileW(NewPath.c_str());
	return false;
}
