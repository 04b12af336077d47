#include "configure/CommandLine.h"

// The text is kept now; tokens and lookups come with the configure tool.
FCommandLine::FCommandLine(const std::wstring& FullCommandLine) : Text(FullCommandLine)
{
	Tokenize();
}

std::wstring FCommandLine::GetText() const { return Text; }

void FCommandLine::Parse(const std::wstring& InText)
{
	Text = InText;
	Tokenize();
}

void FCommandLine::Tokenize() { Tokens.clear(); }
std::wstring FCommandLine::NormalizeOptionName(const std::wstring&) { return std::wstring(); }
bool FCommandLine::HasNoArguments() const { return Tokens.size() < 2; }
bool FCommandLine::HasOption(const std::wstring&) const { return false; }
std::wstring FCommandLine::ToOptionName(const std::wstring&) const { return std::wstring(); }
std::wstring FCommandLine::ToKeyName(const std::wstring&) const { return std::wstring(); }
bool FCommandLine::TryGetIntOption(const std::wstring&, int32_t&) const { return false; }
bool FCommandLine::TryGetBoolOption(const std::wstring&, bool&) const { return false; }
bool FCommandLine::TryGetPathOption(const std::wstring&, std::wstring&) const { return false; }
bool FCommandLine::TryGetOptionValue(const std::wstring&, std::wstring&) const { return false; }
