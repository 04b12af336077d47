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

// The two lines an operation logs for what was thrown: one for memory that ran
// out, one for anything else. Most operations share the default pair; one whose
// users already know its own lines passes them to the overloads below, so that
// moving it onto the guard does not change what its log says.
struct FExceptionLines
{
	const wchar_t* OutOfMemory = L"Failed: out of memory.";
	const wchar_t* Unexpected = L"Failed: unexpected error.";
};

// For the catch at an operation's boundary: logs what was thrown (out of memory
// or anything else) as one Error line of the operation. Call it only inside a
// catch block. Never throws.
void LogCurrentException(const wchar_t* Category) noexcept;
// The same with the operation's own lines.
void LogCurrentException(const wchar_t* Category, const FExceptionLines& Lines) noexcept;

// The one guard at an operation's boundary: runs Body and, should it throw
// (memory can run out anywhere), logs what was thrown as one Error line of the
// operation, in the operation's own lines, and returns FailureValue. Only
// where the operation can report the failure (a Try operation's false, a
// sequence's exit code): an operation that cannot fail lets the exception go
// on to one that can, so that a failure never comes back looking like a
// plausible value.
template <typename TResult, typename TBody>
TResult GuardOperation(const wchar_t* Category, const FExceptionLines& Lines, TResult FailureValue, TBody&& Body) noexcept
{
	try
	{
		return Body();
	}
	catch (...)
	{
		LogCurrentException(Category, Lines);
		return FailureValue;
	}
}

// The guard for an operation whose own failure line stands for whatever was
// thrown, as the log has always named that failure by it: Failure runs in place
// of the exception's line (it logs the operation's line, or nothing where the
// operation was asked to stay silent, and undoes what it must) and gives the
// result. Failure logs only through Log, which never throws.
template <typename TFailure, typename TBody>
auto GuardWithOwnFailure(TFailure&& Failure, TBody&& Body) noexcept -> decltype(Body())
{
	try
	{
		return Body();
	}
	catch (...)
	{
		return Failure();
	}
}

// The same guard with the default lines.
template <typename TResult, typename TBody>
TResult GuardOperation(const wchar_t* Category, TResult FailureValue, TBody&& Body) noexcept
{
	return GuardOperation(Category, FExceptionLines(), FailureValue, static_cast<TBody&&>(Body));
}
