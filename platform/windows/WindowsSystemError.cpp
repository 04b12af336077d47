#include "platform/SystemErrorLog.h"

#include "platform/windows/WindowsHandles.h"

const wchar_t* const SystemErrorCategory = L"FWindowsPlatform::LogErrorWithLastErrorMessage";

uint32_t ReadLastSystemError()
{
	return ::GetLastError();
}

// As the system gives it, in one line and not trimmed.
std::wstring GetSystemErrorText(uint32_t ErrorCode)
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
