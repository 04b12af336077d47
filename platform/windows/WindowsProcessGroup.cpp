#include "platform/windows/WindowsPlatform.h"

#include "app/Log.h"
#include "platform/SystemErrorLog.h"
#include "platform/windows/WindowsHandles.h"

namespace
{
	// The session's job object; the last owner of the group closes the handle.
	class FWindowsProcessGroup final : public IProcessGroup
	{
	public:
		explicit FWindowsProcessGroup(FScopedKernelHandle InJob) : Job(std::move(InJob)) {}

	private:
		FScopedKernelHandle Job;
	};
}

bool FWindowsPlatform::TryCreateProcessGroup(const std::wstring& Name, std::shared_ptr<IProcessGroup>& OutProcessGroup)
{
	constexpr const wchar_t* Category = L"FWindowsPlatform::TryCreateProcessGroup";
	const bool bCreated = GuardOperation(Category, false, [&]
	{
		// Visible across all sessions of the machine, so that every part of the
		// service finds the same job by the session's name.
		const std::wstring JobName = FormatString(L"Global\\%s", Name);
		Log(ELogLevel::Verbose, Category, L"Trying to create job object with name: '%s'", JobName);

		// A job of that name that exists already is opened instead.
		FScopedKernelHandle Job(::CreateJobObjectW(nullptr, JobName.c_str()));
		if (!Job)
		{
			LogErrorWithLastErrorMessage(L"Failed to create job object");
			OutProcessGroup.reset();
			return false;
		}

		JOBOBJECT_EXTENDED_LIMIT_INFORMATION Limits{};
		if (!::QueryInformationJobObject(Job.Get(), JobObjectExtendedLimitInformation, &Limits, sizeof(Limits), nullptr))
		{
			LogErrorWithLastErrorMessage(L"Failed to query job object limit information");
			OutProcessGroup.reset();
			return false;
		}
		// The User Helper has to start outside the job; nothing else is limited
		// (no kill-on-close: the game outlives the launcher).
		Limits.BasicLimitInformation.LimitFlags |= JOB_OBJECT_LIMIT_BREAKAWAY_OK;
		if (!::SetInformationJobObject(Job.Get(), JobObjectExtendedLimitInformation, &Limits, sizeof(Limits)))
		{
			LogErrorWithLastErrorMessage(L"Failed to set job object limit information");
			OutProcessGroup.reset();
			return false;
		}

		// Our children join the job by inheritance; there is no way back out.
		if (!::AssignProcessToJobObject(Job.Get(), ::GetCurrentProcess()))
		{
			LogErrorWithLastErrorMessage(L"Failed to assign current process to job object");
			OutProcessGroup.reset();
			return false;
		}

		OutProcessGroup = std::make_shared<FWindowsProcessGroup>(std::move(Job));
		Log(ELogLevel::Verbose, Category, L"Successfully created job object");
		return true;
	});
	// Every failure leaves the caller without a group, also one that threw.
	if (!bCreated)
	{
		OutProcessGroup.reset();
	}
	return bCreated;
}
