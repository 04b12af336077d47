#pragma once

#include "bootstrap/GenericBootstrapper.h"

// The Linux application object: the Linux platform services and the command
// line rebuilt from the program's arguments.
class FLinuxBootstrapper : public FGenericBootstrapper
{
public:
	FLinuxBootstrapper(const std::wstring& FullCommandLine, const std::string& TelemetryBaseUrl = KVT_TELEMETRY_URL);


protected:
	bool TryLoadEmbeddedBootstrapper(std::vector<uint8_t>& OutBytes) override;
	bool TryMakeBootstrapperRunnable(const std::wstring& Path) override;
};
