#pragma once

#include <string>
#include <vector>

// The usual Windows command-line rules (those of the C runtime's argument
// parser), so that an argument text means the same on every system:
// spaces and tabs separate; double quotes group; 2n backslashes before a quote
// give n backslashes and the quote groups, 2n+1 give n backslashes and a
// literal quote; other backslashes are literal.

// Joins arguments so that SplitCommandLineArguments gives exactly them back.
std::wstring JoinCommandLineArguments(const std::vector<std::wstring>& Arguments);

// Splits an argument text (without a program name in front).
std::vector<std::wstring> SplitCommandLineArguments(const std::wstring& Text);
