#include "tests/support/TestBootstrapper.h"
#include "platform/linux/LinuxPlatform.h"

std::shared_ptr<IPlatform> MakeNativePlatform()
{
	return std::make_shared<FLinuxPlatform>();
}
