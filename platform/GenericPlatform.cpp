#include "platform/GenericPlatform.h"

#include "app/Log.h"
#include "platform/FileCopy.h"
#include "platform/FileIdentity.h"
#include "platform/FileNames.h"
#include "platform/FileReplace.h"
#include "platform/LogFile.h"
#include "platform/SystemErrorLog.h"
#include "platform/TextFile.h"
#include "platform/Utf8.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <system_error>

namespace fs = std::filesystem;

namespace
{
	// CR LF becomes LF on every system, not only where the system writes it:
	// a file saved on Windows is read as it was meant wherever it is shipped.
	// A lone CR is text and stays.
	std::wstring FromDiskLineEnds(std::wstring Text)
	{
		std::wstring Result;
		Result.reserve(Text.size());
		for (size_t Index = 0; Index < Text.size(); ++Index)
		{
			if (Text[Index] == L'\r' && Index + 1 < Text.size() && Text[Index + 1] == L'\n')
			{
				continue;
			}
			Result.push_back(Text[Index]);
		}
		return Result;
	}

	// Appends and emptying: the log's own calls, which write each append whole
	// and never wait on something that is not a regular file.
	bool TryWriteInPlace(const std::wstring& Path, const std::string& Bytes, bool bAppend)
	{
		const FScopedLogFile File(OpenLogFile(Path, !bAppend));
		return File.IsValid() && (Bytes.empty() || AppendToLogFile(File.Get(), Bytes));
	}

	// A whole file written anew, never in place (FileReplace.h). The
	// system-error line comes first; the caller adds its own.
	bool TryReplaceWholeFile(const std::wstring& Path, const uint8_t* Bytes, size_t Size, EReplacedFileMode Mode,
		bool bLog)
	{
		fs::path FsPath;
		FFileReplaceFailure Failure{FileReplaceSteps::Create, 0};
		if (TryToFileSystemPath(Path, FsPath) && TryReplaceFile(FsPath, Bytes, Size, Mode, Failure))
		{
			return true;
		}
		if (bLog)
		{
			LogErrorWithErrorCode(Failure.Step, Failure.ErrorCode);
		}
		return false;
	}
}

bool FGenericPlatform::PathExists(const std::wstring& Path)
{
	fs::path FsPath;
	if (!TryToFileSystemPath(Path, FsPath))
	{
		return false;
	}
	std::error_code Error;
	const fs::file_status Status = fs::status(FsPath, Error);
	// A status that could not be read at all is treated like absence.
	return !Error && Status.type() != fs::file_type::not_found && Status.type() != fs::file_type::none;
}

bool FGenericPlatform::FileExists(const std::wstring& Path)
{
	if (!PathExists(Path))
	{
		return false;
	}
	fs::path FsPath;
	if (!TryToFileSystemPath(Path, FsPath))
	{
		return false;
	}
	std::error_code Error;
	return fs::is_regular_file(FsPath, Error) && !Error;
}

bool FGenericPlatform::TryCopyFile(const std::wstring& SourcePath, const std::wstring& TargetPath)
{
	constexpr const wchar_t* Category = L"FGenericPlatform::TryCopyFile";
	const auto Fail = [&]
	{
		Log(ELogLevel::Error, Category, L"Failed to copy source to target");
		return false;
	};
	return GuardWithOwnFailure(Fail, [&]
	{
		Log(ELogLevel::Verbose, Category, L"Trying to copy file from '%s' to '%s'", SourcePath, TargetPath);
		fs::path Source;
		fs::path Target;
		if (TryToFileSystemPath(SourcePath, Source) && TryToFileSystemPath(TargetPath, Target) &&
			CopyFileReplacing(Source, Target))
		{
			Log(ELogLevel::Verbose, Category, L"Successfully copied file");
			return true;
		}
		return Fail();
	});
}

bool FGenericPlatform::TryCreatePathDirectories(const std::wstring& Path, bool bLog)
{
	constexpr const wchar_t* Category = L"FGenericPlatform::TryCreatePathDirectories";
	const auto Fail = [&]
	{
		if (bLog)
		{
			Log(ELogLevel::Error, Category, L"Failed to create directories for path: '%s'", Path);
		}
		return false;
	};
	return GuardWithOwnFailure(Fail, [&]
	{
		if (bLog)
		{
			Log(ELogLevel::Verbose, Category, L"Creating the full directory tree for: '%s'.", Path);
		}
		fs::path FsPath;
		if (TryToFileSystemPath(Path, FsPath))
		{
			const fs::path Parent = FsPath.parent_path();
			std::wstring ParentText;
			if (Parent.empty())
			{
				if (bLog)
				{
					Log(ELogLevel::Verbose, Category,
						L"No action needed as the input path describes the file itself without directory tree: '%s'", Path);
				}
				return true;
			}
			if (TryFromFileSystemPath(Parent, ParentText) && PathExists(ParentText))
			{
				if (bLog)
				{
					Log(ELogLevel::Verbose, Category, L"No action needed as directories already exist: '%s'", Path);
				}
				return true;
			}
			std::error_code Error;
			if (fs::create_directories(Parent, Error) && !Error)
			{
				if (bLog)
				{
					Log(ELogLevel::Verbose, Category, L"Successfully created directories: '%s'", Path);
				}
				return true;
			}
		}
		return Fail();
	});
}

bool FGenericPlatform::TryReadFile(const std::wstring& Path, std::wstring& OutText)
{
	constexpr const wchar_t* Category = L"FGenericPlatform::TryReadFile";
	// No text half read.
	const auto Fail = [&]
	{
		OutText.clear();
		Log(ELogLevel::Error, Category, L"Failed to read file: '%s'", Path);
		return false;
	};
	return GuardWithOwnFailure(Fail, [&]
	{
		Log(ELogLevel::Verbose, Category, L"Trying to read file at path: '%s'", Path);
		OutText.clear();
		if (!FileExists(Path))
		{
			Log(ELogLevel::Error, Category, L"Failed because path is not an existing file: '%s'", Path);
			return false;
		}

		fs::path FsPath;
		std::ifstream Stream;
		if (TryToFileSystemPath(Path, FsPath))
		{
			Stream.open(FsPath, std::ios::in | std::ios::binary);
		}
		if (!Stream.is_open())
		{
			Log(ELogLevel::Error, Category, L"Failed to open file for reading: '%s'", Path);
			return false;
		}
		std::string Bytes((std::istreambuf_iterator<char>(Stream)), std::istreambuf_iterator<char>());
		const bool bReadFailed = Stream.bad();
		Stream.close();
		if (bReadFailed)
		{
			Log(ELogLevel::Error, Category, L"Failed to read file: '%s'", Path);
			return false;
		}

		// CR and LF are single bytes in UTF-8, so decoding before the line-end
		// translation gives the same text and keeps the offsets those of the file.
		std::wstring Text;
		size_t ErrorOffset = 0;
		if (!TryDecodeUtf8(Bytes, Text, ErrorOffset))
		{
			Log(ELogLevel::Error, Category, L"Failed because of an invalid UTF-8 sequence at byte offset %llu: '%s'",
				static_cast<unsigned long long>(ErrorOffset), Path);
			return false;
		}
		OutText = FromDiskLineEnds(std::move(Text));
		Log(ELogLevel::Verbose, Category, L"Successfully read file: '%s'", Path);
		return true;
	});
}

bool FGenericPlatform::TryWriteFile(const std::wstring& Path, const std::vector<uint8_t>& Bytes)
{
	constexpr const wchar_t* Category = L"FGenericPlatform::TryWriteFile";
	return GuardOperation(Category, false, [&]
	{
		// The bytes written are programs (the launcher the configure tool writes):
		// a failed write must leave the old program, and the new one is runnable
		// where files carry permission bits.
		if (TryReplaceWholeFile(Path, Bytes.data(), Bytes.size(), EReplacedFileMode::Executable, true))
		{
			return true;
		}
		Log(ELogLevel::Error, Category, L"Failed with: Bad=%i, Fail=%i, FileName:'%s'", 1, 1, Path);
		return false;
	});
}

bool FGenericPlatform::TryWriteFile(const std::wstring& Path, const std::wstring& Text, bool bAppend, bool bLog)
{
	constexpr const wchar_t* Category = L"FGenericPlatform::TryWriteFile";
	// With the log flag false (the entry emptying the log) nothing at all.
	const auto Fail = [&]
	{
		if (bLog)
		{
			// The flags a failed stream would show: no write here leaves a usable file behind.
			Log(ELogLevel::Error, Category, L"Failed with: Bad=%i, Fail=%i, FileName:'%s'", 1, 1, Path);
		}
		return false;
	};
	return GuardWithOwnFailure(Fail, [&]
	{
		if (bLog)
		{
			Log(ELogLevel::Verbose, Category, L"Trying to write file at path: '%s'", Path);
		}
		if (!FileExists(Path) && !TryCreatePathDirectories(Path, bLog))
		{
			if (bLog)
			{
				Log(ELogLevel::Error, Category, L"Failed to create directories for path: '%s'", Path);
			}
			return false;
		}

		std::string Bytes;
		if (!TryEncodeTextFile(Text, Bytes))
		{
			if (bLog)
			{
				Log(ELogLevel::Error, Category, L"Failed because the text has no UTF-8 form: '%s'", Path);
			}
			return false;
		}

		// A new whole file (the configuration) is written beside the old one
		// and replaces it complete. Appends (the log) stay in place, and so does
		// emptying a file: nothing can be half-written, and a viewer holding the
		// log open would make a replace fail on Windows.
		const bool bWritten = !bAppend && !Bytes.empty()
			? TryReplaceWholeFile(Path, reinterpret_cast<const uint8_t*>(Bytes.data()), Bytes.size(),
				  EReplacedFileMode::Keep, bLog)
			: TryWriteInPlace(Path, Bytes, bAppend);
		if (bWritten)
		{
			if (bLog)
			{
				Log(ELogLevel::Verbose, Category, L"Successfully wrote file: '%s'", Path);
			}
			return true;
		}
		return Fail();
	});
}

// No catch: "not the same file" after running out of memory would let a
// launcher start itself or the tool write over the game. The exception goes
// on to the sequence that asked.
bool FGenericPlatform::IsSameFile(const std::wstring& Left, const std::wstring& Right)
{
	fs::path LeftPath;
	fs::path RightPath;
	FFileIdentity LeftIdentity;
	FFileIdentity RightIdentity;
	return TryToFileSystemPath(Left, LeftPath) && TryToFileSystemPath(Right, RightPath) &&
		TryGetFileIdentity(LeftPath, LeftIdentity) && TryGetFileIdentity(RightPath, RightIdentity) &&
		LeftIdentity == RightIdentity;
}
