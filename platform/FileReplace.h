#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

// Whole-file writes that never leave a half-written file where the old one
// was: the bytes go to a new file beside the target (the same file system, so
// the last step is one rename), are flushed to disk, and only then take the
// target's place. A full disk or a file-size limit therefore costs the new
// file, never the old one. A target that is a symbolic link stays a link; the
// file it names is replaced.

enum class EReplacedFileMode
{
	// The target's own permission bits, or a new file's defaults.
	Keep,
	// A program: 0755 where files carry permission bits.
	Executable,
};

// What failed, for the system-error line of the log.
struct FFileReplaceFailure
{
	const wchar_t* Step = L"";
	uint32_t ErrorCode = 0;
};

namespace FileReplaceSteps
{
	inline constexpr const wchar_t* FollowLink = L"Failed to follow the symbolic link to the file";
	inline constexpr const wchar_t* ReadTarget = L"Failed to read the status of the file to replace";
	inline constexpr const wchar_t* Create = L"Failed to create a new file beside the file to replace";
	inline constexpr const wchar_t* Write = L"Failed to write the new file";
	inline constexpr const wchar_t* SetMode = L"Failed to set the permissions of the new file";
	inline constexpr const wchar_t* Flush = L"Failed to flush the new file to disk";
	inline constexpr const wchar_t* ReadBack = L"Failed to read the new file back as written";
	inline constexpr const wchar_t* Replace = L"Failed to put the new file in the place of the old one";
}

// Logs nothing: on failure the target is byte for byte what it was, the new
// file is gone, and OutFailure says which step failed and why.
bool TryReplaceFile(const std::filesystem::path& Target, const uint8_t* Bytes, size_t Size, EReplacedFileMode Mode,
	FFileReplaceFailure& OutFailure);
