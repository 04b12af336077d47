#include "platform/linux/LinuxPlatform.h"

#include "platform/SystemErrorLog.h"

// The platform's names for the one system-error logger (platform/SystemErrorLog.h).

void FLinuxPlatform::LogErrorWithLastErrorMessage(const wchar_t* Message)
{
	LogLastSystemError(Message);
}

void FLinuxPlatform::LogErrorWithErrorCode(const std::wstring& Message, uint32_t ErrorCode)
{
	LogSystemErrorCode(Message, ErrorCode);
}
