#include "platform/linux/LinuxPlatform.h"

#include "app/Log.h"
#include "platform/SystemErrorLog.h"
#include "platform/Utf8.h"

#include <cerrno>
#include <climits>
#include <cstring>

namespace
{
	constexpr const wchar_t* Category = L"FLinuxPlatform::LogErrorWithLastErrorMessage";

	std::wstring GetSystemErrorText(uint32_t ErrorCode)
	{
		if (ErrorCode > static_cast<uint32_t>(INT_MAX))
		{
			return std::wstring();
		}
		// The GNU form: the result may or may not be the buffer.
		char Buffer[256] = {};
		const char* Text = ::strerror_r(static_cast<int>(ErrorCode), Buffer, sizeof(Buffer));
		return Text != nullptr ? DecodeUtf8Lossless(Text) : std::wstring();
	}
}

void FLinuxPlatform::LogErrorWithLastErrorMessage(const wchar_t* Message)
{
	const int ErrorCode = errno;
	try
	{
		LogErrorWithErrorCode(Message != nullptr ? Message : L"", static_cast<uint32_t>(ErrorCode));
	}
	catch (...)
	{
	}
}

void FLinuxPlatform::LogErrorWithErrorCode(const std::wstring& Message, uint32_t ErrorCode)
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
	FLinuxPlatform::LogErrorWithErrorCode(Message, ErrorCode);
}
