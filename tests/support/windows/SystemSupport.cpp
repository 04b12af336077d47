#include "tests/support/ScopedVariable.h"
#include "tests/support/TestBootstrapper.h"
#include "tests/support/UnreadableFile.h"

#include "platform/windows/WindowsHeaders.h"
#include "platform/windows/WindowsPlatform.h"

#include <vector>

std::shared_ptr<IPlatform> MakeNativePlatform()
{
	return std::make_shared<FWindowsPlatform>();
}

// Another open handle without any sharing keeps every later open out.
std::wstring MakeUnreadableFile(const FTempDirectory& Directory, std::shared_ptr<void>& Holder)
{
	const std::wstring Path = Directory.Wide(L"locked.txt");
	WriteFileBytes(ToPath(Path), "locked");
	HANDLE Handle = ::CreateFileW(Path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
		FILE_ATTRIBUTE_NORMAL, nullptr);
	Holder = std::shared_ptr<void>(Handle, [](void* Value) { ::CloseHandle(static_cast<HANDLE>(Value)); });
	return Path;
}

FScopedVariable::FScopedVariable(const std::wstring& InName, const std::optional<std::wstring>& Value) : Name(InName)
{
	std::vector<wchar_t> Buffer(32768);
	const DWORD Length = ::GetEnvironmentVariableW(Name.c_str(), Buffer.data(), static_cast<DWORD>(Buffer.size()));
	if (Length > 0 && Length < Buffer.size())
	{
		Previous.emplace(Buffer.data(), Length);
	}
	::SetEnvironmentVariableW(Name.c_str(), Value ? Value->c_str() : nullptr);
}

FScopedVariable::~FScopedVariable()
{
	::SetEnvironmentVariableW(Name.c_str(), Previous ? Previous->c_str() : nullptr);
}
