#pragma once

#include <string>

// The configuration keys, shared by the reader, the writer and the options
// of the configure tool.
extern const std::wstring ApplicationPathKey;
extern const std::wstring WorkingDirectoryKey;
extern const std::wstring WaitForExitKey;
extern const std::wstring NoOperationKey;
