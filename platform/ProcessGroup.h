#pragma once

// A session's process group (a job object on Windows, a process group on Linux).
// Whoever holds a shared pointer to it keeps the group alive.
class IProcessGroup
{
public:
	virtual ~IProcessGroup() = default;
};
