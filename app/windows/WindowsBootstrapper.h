#pragma once

#include "bootstrap/GenericBootstrapper.h"

// The Windows application object: the Windows platform services, the process's
// own command line, and the bootstrapper copy carried in the module's resources.
class FWindowsBootstrapper : public FGenericBootstrapper
{
public:
	explicit FWindowsBootstrapper(const std::string& TelemetryBaseUrl = KVT_TELEMETRY_URL);


protected:
	bool TryLoadEmbeddedBootstrapper(const std::wstring& OutputPath, std::vector<uint8_t>& OutBytes) override;
};
