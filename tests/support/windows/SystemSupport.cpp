#include "tests/support/ScopedVariable.h"
#include "tests/support/TestBootstrapper.h"

#include "platform/windows/WindowsHeaders.h"
#include "platform/windows/WindowsPlatform.h"

#include <vector>

std::shared_ptr<IPlatform> MakeNativePlatform()
{
	return std::make_shared<FWindowsPlatform>();
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
