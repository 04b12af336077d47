#include "platform/SystemErrorLog.h"

#include "platform/Utf8.h"

#include <cerrno>
#include <climits>
#include <cstring>

const wchar_t* const SystemErrorCategory = L"FLinuxPlatform::LogErrorWithLastErrorMessage";

uint32_t ReadLastSystemError()
{
	return static_cast<uint32_t>(errno);
}

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
