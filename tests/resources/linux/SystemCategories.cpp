#include "tests/resources/SystemCategories.h"

const wchar_t* const ExecutableTypeCategory = L"FLinuxPlatform::TryGetExecutableType";
