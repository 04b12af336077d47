#pragma once

#include "bootstrap/GenericBootstrapper.h"

// The Linux application object: the Linux platform services and the command
// line rebuilt from the program's arguments.
class FLinuxBootstrapper : public FGenericBootstrapper
{
public:
	explicit FLinuxBootstrapper(const std::wstring& FullCommandLine);

	bool TryCopyBootstrapperApp(const std::wstring& OutputPath) override;
};
