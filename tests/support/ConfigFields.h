#pragma once

#include "bootstrap/BootstrapperConfig.h"

#include <tuple>

// Every field of a configuration, so that two compare whole: a field added to
// the configuration is added here, or every comparison misses it.
inline auto ConfigFields(const FBootstrapperConfig& Config)
{
	return std::tie(Config.ApplicationPath, Config.WorkingDirectory, Config.WaitForExit, Config.NoOperation);
}
