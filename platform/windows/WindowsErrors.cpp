#include "platform/windows/WindowsPlatform.h"

#include "app/Log.h"
#include "platform/SystemErrorLog.h"
#include "platform/windows/WindowsHandles.h"

namespace
{
	constexpr const wchar_t* Category = L"FWindowsPlatform::LogErrorWithLastErrorMessage";

	// The text as the system gives it, in one line and not trimmed.
	std::wstring GetSystemErrorText(DWORD ErrorCode)
	{
		LPWSTR Buffer = nullptr;
		const DWORD Length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
				FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
			nullptr, ErrorCode, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&Buffer), 0, nullptr);
		const FScopedLocalMemory Owner(Buffer);
		if (Length == 0 || Buffer == nullptr)
		{
			return std::wstring();
		}
		return std::wstring(Buffer, Length);
	}
}

void FWindowsPlatform::LogErrorWithLastErrorMessage(const wchar_t* Message)
{
	const DWORD ErrorCode = ::GetLastError();
	try
	{
		LogErrorWithErrorCode(Message != nullptr ? Message : L"", ErrorCode);
	}
	catch (...)
	{
	}
}

void FWindowsPlatform::LogErrorWithErrorCode(const std::wstring& Message, uint32_t ErrorCode)
{
	try
	{
		const std::wstring Text = ErrorCode != 0 ? GetSystemErrorText(ErrorCode) : std::wstring();
		LogMessage(ELogLevel::Error, Category, FormatSystemErrorLine(Message, ErrorCode, Text));
	}
	catch (...)
	{
		// Reporting a failure must not become one.
	}
}

void LogSystemErrorCode(const std::wstring& Message, uint32_t ErrorCode)
{
	FWindowsPlatform::LogErrorWithErrorCode(Message, ErrorCode);
}
