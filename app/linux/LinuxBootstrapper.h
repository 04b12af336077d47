#pragma once

#include "bootstrap/GenericBootstrapper.h"

// The Linux application object: the Linux platform services and the command
// line rebuilt from the program's arguments. Its configure tool writes the
// Windows launcher for an output named *.exe and the Linux one otherwise.
class FLinuxBootstrapper : public FGenericBootstrapper
{
public:
	FLinuxBootstrapper(const std::wstring& FullCommandLine, const std::string& TelemetryBaseUrl = KVT_TELEMETRY_URL);

protected:
	bool TryLoadEmbeddedBootstrapper(const std::wstring& OutputPath, std::vector<uint8_t>& OutBytes) override;
};
