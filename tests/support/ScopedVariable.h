#pragma once

#include <optional>
#include <string>

// Sets an environment variable of this process (or removes it, given no
// value) for the object's life, then puts back what was there.
class FScopedVariable
{
public:
	FScopedVariable(const std::wstring& InName, const std::optional<std::wstring>& Value);
	~FScopedVariable();

private:
	std::wstring Name;
	std::optional<std::wstring> Previous;
};
