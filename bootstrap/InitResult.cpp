#include "bootstrap/InitResult.h"

#include "app/FormatString.h"

FInitResult FInitResult::NoOperation() { return FInitResult(static_cast<uint32_t>(EInitResult::NO_OPERATION), L""); }
FInitResult FInitResult::Success() { return FInitResult(static_cast<uint32_t>(EInitResult::SUCCESS), L""); }
FInitResult FInitResult::ServiceNotInstalled()
{
	return FInitResult(static_cast<uint32_t>(EInitResult::SERVICE_NOT_INSTALLED), L"");
}

FInitResult FInitResult::ServiceInitFailed(uint32_t ExitCode)
{
	// Published as a signed number: 0xC0000005 reads -1073741819.
	return FInitResult(static_cast<uint32_t>(EInitResult::SERVICE_INIT_FAILED),
		FormatString(L"%d", static_cast<int32_t>(ExitCode)));
}

std::wstring FInitResult::ToString() const
{
	switch (static_cast<EInitResult>(Code))
	{
	case EInitResult::NONE: return L"NONE";
	case EInitResult::NO_OPERATION: return L"NO_OPERATION";
	case EInitResult::SUCCESS: return L"SUCCESS";
	case EInitResult::SERVICE_NOT_INSTALLED: return L"SERVICE_NOT_INSTALLED";
	case EInitResult::SERVICE_INIT_FAILED: return L"SERVICE_INIT_FAILED";
	}
	return L"INVALID";
}
