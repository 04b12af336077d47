#include "platform/CommandLineArguments.h"

namespace
{
	bool IsSeparator(wchar_t Character)
	{
		return Character == L' ' || Character == L'\t';
	}

	// A single quote needs none by these rules, but the configure tool cuts its
	// joined arguments into tokens where single quotes group: quoted, it stays a
	// character of its argument there too.
	bool NeedsQuotes(const std::wstring& Argument)
	{
		return Argument.empty() || Argument.find_first_of(L" \t\n\v\"'") != std::wstring::npos;
	}

	void AppendQuoted(std::wstring& Out, const std::wstring& Argument)
	{
		if (!NeedsQuotes(Argument))
		{
			Out += Argument;
			return;
		}
		Out.push_back(L'"');
		for (size_t Index = 0;; ++Index)
		{
			size_t Backslashes = 0;
			while (Index < Argument.size() && Argument[Index] == L'\\')
			{
				++Backslashes;
				++Index;
			}
			if (Index == Argument.size())
			{
				// The closing quote follows: its backslashes must not escape it.
				Out.append(Backslashes * 2, L'\\');
				break;
			}
			if (Argument[Index] == L'"')
			{
				Out.append(Backslashes * 2 + 1, L'\\');
			}
			else
			{
				Out.append(Backslashes, L'\\');
			}
			Out.push_back(Argument[Index]);
		}
		Out.push_back(L'"');
	}
}

std::wstring JoinCommandLineArguments(const std::vector<std::wstring>& Arguments)
{
	std::wstring Text;
	for (size_t Index = 0; Index < Arguments.size(); ++Index)
	{
		if (Index > 0)
		{
			Text.push_back(L' ');
		}
		AppendQuoted(Text, Arguments[Index]);
	}
	return Text;
}

std::vector<std::wstring> SplitCommandLineArguments(const std::wstring& Text)
{
	std::vector<std::wstring> Arguments;
	size_t Index = 0;
	for (;;)
	{
		while (Index < Text.size() && IsSeparator(Text[Index]))
		{
			++Index;
		}
		if (Index == Text.size())
		{
			return Arguments;
		}

		std::wstring Argument;
		bool bInQuotes = false;
		while (Index < Text.size() && (bInQuotes || !IsSeparator(Text[Index])))
		{
			size_t Backslashes = 0;
			while (Index < Text.size() && Text[Index] == L'\\')
			{
				++Backslashes;
				++Index;
			}
			if (Index < Text.size() && Text[Index] == L'"')
			{
				Argument.append(Backslashes / 2, L'\\');
				if (Backslashes % 2 == 1)
				{
					Argument.push_back(L'"');
				}
				else if (bInQuotes && Index + 1 < Text.size() && Text[Index + 1] == L'"')
				{
					// "" inside quotes stands for one literal quote.
					Argument.push_back(L'"');
					++Index;
				}
				else
				{
					bInQuotes = !bInQuotes;
				}
				++Index;
				continue;
			}
			Argument.append(Backslashes, L'\\');
			if (Index < Text.size() && (bInQuotes || !IsSeparator(Text[Index])))
			{
				Argument.push_back(Text[Index]);
				++Index;
			}
		}
		Arguments.push_back(std::move(Argument));
	}
}
