#include "platform/SystemErrorLog.h"

#include "app/Log.h"

#include <new>

std::wstring FormatSystemErrorLine(const std::wstring& Message, uint32_t ErrorCode, const std::wstring& SystemText)
{
	if (ErrorCode == 0 || SystemText.empty())
	{
		return FormatString(L"%s: Unknown reason", Message);
	}
	// The decimal form is the same 32 bits read as signed, as the system's own tools show them.
	return FormatString(L"%s: ErrorCode=0x%X (%d), ErrorMessage=%s", Message, ErrorCode, static_cast<int32_t>(ErrorCode),
		SystemText);
}

void LogErrorWithErrorCode(const std::wstring& Message, uint32_t ErrorCode)
{
	try
	{
		const std::wstring Text = ErrorCode != 0 ? GetSystemErrorText(ErrorCode) : std::wstring();
		LogMessage(ELogLevel::Error, SystemErrorCategory, FormatSystemErrorLine(Message, ErrorCode, Text));
	}
	catch (...)
	{
		// Reporting a failure must not become one.
	}
}

void LogErrorWithLastErrorMessage(const wchar_t* Message)
{
	const uint32_t ErrorCode = ReadLastSystemError();
	LogErrorWithErrorCode(Message != nullptr ? Message : L"", ErrorCode);
}

void LogCurrentException(const wchar_t* Category) noexcept
{
	LogCurrentException(Category, FExceptionLines());
}

void LogCurrentException(const wchar_t* Category, const FExceptionLines& Lines) noexcept
{
	const wchar_t* Message = Lines.Unexpected;
	try
	{
		throw;
	}
	catch (const std::bad_alloc&)
	{
		Message = Lines.OutOfMemory;
	}
	catch (...)
	{
	}
	try
	{
		LogMessage(ELogLevel::Error, Category, Message);
	}
	catch (...)
	{
	}
}
