#include "bootstrap/GenericBootstrapper.h"

#include "app/Log.h"

// The configure sequence arrives with the configure tool.
int32_t FGenericBootstrapper::Configure(const std::wstring&, const std::wstring&)
{
	Log(ELogLevel::Error, L"FGenericBootstrapper::Configure", L"Not implemented in this build.");
	return 1;
}
