#pragma once

#include <cstdint>
#include <string>

enum class EInitResult : uint32_t
{
	NONE = 0,
	NO_OPERATION = 1,
	SUCCESS = 2,
	SERVICE_NOT_INSTALLED = 3,
	SERVICE_INIT_FAILED = 4,
};

// The outcome of the service initialisation, as published to the children.
class FInitResult
{
public:
	FInitResult() = default;

	static FInitResult NoOperation();
	static FInitResult Success();
	static FInitResult ServiceNotInstalled();
	static FInitResult ServiceInitFailed(uint32_t ExitCode);

	uint32_t GetCode() const { return Code; }
	std::wstring ToString() const;
	std::wstring GetDetail() const { return Detail; }
	bool IsSuccess() const { return Code == static_cast<uint32_t>(EInitResult::SUCCESS); }

private:
	FInitResult(uint32_t InCode, std::wstring InDetail) : Code(InCode), Detail(std::move(InDetail)) {}

	uint32_t Code = static_cast<uint32_t>(EInitResult::NONE);
	std::wstring Detail;
};
