#include "tests/support/ScopedVariable.h"
#include "tests/support/TestBootstrapper.h"

#include "platform/Utf8.h"
#include "platform/linux/LinuxPlatform.h"

#include <cstdlib>

std::shared_ptr<IPlatform> MakeNativePlatform()
{
	return std::make_shared<FLinuxPlatform>();
}

static void Put(const std::string& Name, const std::optional<std::wstring>& Value)
{
	Value ? ::setenv(Name.c_str(), EncodeUtf8Lossless(*Value).c_str(), 1) : ::unsetenv(Name.c_str());
}

FScopedVariable::FScopedVariable(const std::wstring& InName, const std::optional<std::wstring>& Value) : Name(InName)
{
	if (const char* Current = std::getenv(EncodeUtf8Lossless(Name).c_str()))
	{
		Previous = DecodeUtf8Lossless(Current);
	}
	Put(EncodeUtf8Lossless(Name), Value);
}

FScopedVariable::~FScopedVariable()
{
	Put(EncodeUtf8Lossless(Name), Previous);
}
