#pragma once

// The log categories of the running system's platform class.
extern const wchar_t* const ExecutableTypeCategory;
