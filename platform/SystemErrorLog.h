#pragma once

#include <cstdint>
#include <string>

// The one line a failed system call leaves in the log, on every system:
// "<message>: ErrorCode=0x<hex> (<decimal>), ErrorMessage=<system text>", or
// "<message>: Unknown reason" when there is no code or the system has no text.
std::wstring FormatSystemErrorLine(const std::wstring& Message, uint32_t ErrorCode, const std::wstring& SystemText);

// Logs that line at level Error, with the running system's text for the code,
// in the category the system's platform class gives such lines.
void LogErrorWithErrorCode(const std::wstring& Message, uint32_t ErrorCode);
// The same for the calling thread's last error, read before anything else can
// overwrite it: call it directly after the failed system call.
void LogErrorWithLastErrorMessage(const wchar_t* Message);

// What each system supplies (platform/windows/WindowsSystemError.cpp,
// platform/linux/LinuxSystemError.cpp): the last error of the calling thread,
// the system's one-line text for a code (empty when it has none), and the
// category of the lines above.
uint32_t ReadLastSystemError();
std::wstring GetSystemErrorText(uint32_t ErrorCode);
extern const wchar_t* const SystemErrorCategory;

// For the catch at an operation's boundary: logs what was thrown (out of memory
// or anything else) as one Error line of the operation. Call it only inside a
// catch block. Never throws.
void LogCurrentException(const wchar_t* Category) noexcept;

// The one guard at an operation's boundary: runs Body and, should it throw
// (memory can run out anywhere), logs what was thrown as one Error line of the
// operation and returns FailureValue. Only where the operation can report the
// failure (a Try operation's false, a sequence's exit code): an operation
// that cannot fail lets the exception go on to one that can, so that a
// failure never comes back looking like a plausible value.
template <typename TResult, typename TBody>
TResult GuardOperation(const wchar_t* Category, TResult FailureValue, TBody&& Body) noexcept
{
	try
	{
		return Body();
	}
	catch (...)
	{
		LogCurrentException(Category);
		return FailureValue;
	}
}
