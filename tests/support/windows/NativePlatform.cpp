#include "tests/support/TestBootstrapper.h"
#include "platform/windows/WindowsPlatform.h"

std::shared_ptr<IPlatform> MakeNativePlatform()
{
	return std::make_shared<FWindowsPlatform>();
}
