#pragma once

#include <string>
#include <utility>
#include <vector>

// What the report helper learns from its system.
using FReportLines = std::vector<std::pair<std::wstring, std::wstring>>;

// The arguments as the program sees them (its name first), and the environment as "NAME=VALUE".
std::vector<std::wstring> GetReportArguments(int ArgumentCount, char** Arguments);
std::vector<std::wstring> GetReportEnvironment();
// Facts of the system's own: the raw command line and job membership on
// Windows, process, group and session ids on Linux.
FReportLines GetReportSystemFacts();
