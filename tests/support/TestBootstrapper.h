#pragma once

#include "bootstrap/GenericBootstrapper.h"
#include "configure/CommandLine.h"
#include "http/HttpModule.h"
#include "platform/Platform.h"

#include <memory>

// The shared application object over services the test chooses.
class FTestBootstrapper : public FGenericBootstrapper
{
public:
	FTestBootstrapper(std::shared_ptr<ICommandLine> InCommandLine, std::shared_ptr<IPlatform> InPlatform,
		std::unique_ptr<IHttpModule> InHttpModule)
		: FGenericBootstrapper(std::move(InCommandLine), std::move(InPlatform), std::move(InHttpModule))
	{
	}

protected:
	bool TryLoadEmbeddedBootstrapper(const std::wstring&, std::vector<uint8_t>&) override { return false; }
};

// The real platform services of the system the tests run on.
std::shared_ptr<IPlatform> MakeNativePlatform();
