#include "configure/CommandLine.h"

#include "bootstrap/BootstrapperConfig.h"
#include "platform/AsciiCase.h"

#include <cstdint>
#include <string>
#include <vector>

// The token and name rules are written out by hand rather than with
// std::wregex: libstdc++'s regex executor recurses once per matched character
// and overflows even an 8 MB stack on a single token of 30,000 characters, a
// length a command line may reach.

namespace
{
	bool IsLowerLetter(wchar_t Character)
	{
		return Character >= L'a' && Character <= L'z';
	}

	// Z is not among the capitals of the option-name rules: an upper-case Z is
	// dropped like punctuation.
	bool IsNameCapital(wchar_t Character)
	{
		return Character >= L'A' && Character <= L'Y';
	}

	bool IsDigit(wchar_t Character)
	{
		return Character >= L'0' && Character <= L'9';
	}

	bool IsNameCharacter(wchar_t Character)
	{
		return IsLowerLetter(Character) || IsNameCapital(Character) || IsDigit(Character);
	}

	wchar_t ToAsciiUpper(wchar_t Character)
	{
		return IsLowerLetter(Character) ? static_cast<wchar_t>(Character - L'a' + L'A') : Character;
	}

	std::wstring ToAsciiLowerText(std::wstring Text)
	{
		for (wchar_t& Character : Text)
		{
			Character = ToAsciiLower(Character);
		}
		return Text;
	}

	std::wstring KeepNameCharacters(const std::wstring& Text)
	{
		std::wstring Result;
		Result.reserve(Text.size());
		for (const wchar_t Character : Text)
		{
			if (IsNameCharacter(Character))
			{
				Result.push_back(Character);
			}
		}
		return Result;
	}

	// Maximal runs of characters that satisfy IsMember and are at least
	// MinimumLength long, in order of appearance.
	template <typename TPredicate>
	std::vector<std::wstring> FindRuns(const std::wstring& Text, size_t MinimumLength, TPredicate IsMember)
	{
		std::vector<std::wstring> Runs;
		size_t Index = 0;
		while (Index < Text.size())
		{
			if (!IsMember(Text[Index]))
			{
				++Index;
				continue;
			}
			const size_t Start = Index;
			while (Index < Text.size() && IsMember(Text[Index]))
			{
				++Index;
			}
			if (Index - Start >= MinimumLength)
			{
				Runs.push_back(Text.substr(Start, Index - Start));
			}
		}
		return Runs;
	}

	// Every run found in the original text replaces all of its occurrences in
	// the text as the earlier replacements left it, so a run changed by an
	// earlier one is no longer found.
	template <typename TRewrite>
	void RewriteEveryOccurrence(std::wstring& Text, const std::vector<std::wstring>& Runs, TRewrite Rewrite)
	{
		for (const std::wstring& Run : Runs)
		{
			const std::wstring Replacement = Rewrite(Run);
			size_t Position = Text.find(Run);
			while (Position != std::wstring::npos)
			{
				Text.replace(Position, Run.size(), Replacement);
				Position = Text.find(Run, Position + Replacement.size());
			}
		}
	}

	bool IsAsciiSpace(wchar_t Character)
	{
		return Character == L' ' || (Character >= L'\t' && Character <= L'\r');
	}

	// Decimal, leading white space and a sign allowed, trailing text ignored;
	// nothing numeric at the start or a value beyond 32 bits is no number.
	bool TryParseInt32Prefix(const std::wstring& Text, int32_t& OutValue)
	{
		size_t Index = 0;
		while (Index < Text.size() && IsAsciiSpace(Text[Index]))
		{
			++Index;
		}
		bool bNegative = false;
		if (Index < Text.size() && (Text[Index] == L'+' || Text[Index] == L'-'))
		{
			bNegative = Text[Index] == L'-';
			++Index;
		}
		if (Index >= Text.size() || !IsDigit(Text[Index]))
		{
			return false;
		}
		const int64_t Limit = bNegative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
		int64_t Magnitude = 0;
		for (; Index < Text.size() && IsDigit(Text[Index]); ++Index)
		{
			Magnitude = Magnitude * 10 + (Text[Index] - L'0');
			if (Magnitude > Limit)
			{
				return false;
			}
		}
		OutValue = static_cast<int32_t>(bNegative ? -Magnitude : Magnitude);
		return true;
	}
}

FCommandLine::FCommandLine(const std::wstring& FullCommandLine) : Text(FullCommandLine), Tokens(Tokenize(Text))
{
}

std::wstring FCommandLine::GetText() const
{
	return Text;
}

void FCommandLine::Parse(const std::wstring& InText)
{
	// Both made before either is replaced: text and tokens always belong together.
	std::vector<std::wstring> NewTokens = Tokenize(InText);
	std::wstring NewText = InText;
	Text.swap(NewText);
	Tokens.swap(NewTokens);
}

std::vector<std::wstring> FCommandLine::Tokenize(const std::wstring& Source)
{
	std::vector<std::wstring> Result;
	size_t Position = 0;
	while (Position < Source.size())
	{
		const wchar_t Character = Source[Position];
		if (Character != L' ' && Character != L'"' && Character != L'\'')
		{
			// A bare run ends at a space or at either quote.
			const size_t End = Source.find_first_of(L" \"'", Position);
			const size_t Length = (End == std::wstring::npos ? Source.size() : End) - Position;
			Result.push_back(Source.substr(Position, Length));
			Position += Length;
			continue;
		}
		if (Character == L'"')
		{
			// Double quotes group spaces and are not part of the token.
			const size_t Closing = Source.find(L'"', Position + 1);
			if (Closing != std::wstring::npos)
			{
				Result.push_back(Source.substr(Position + 1, Closing - Position - 1));
				Position = Closing + 1;
				continue;
			}
		}
		else if (Character == L'\'')
		{
			// Single quotes group no spaces and stay part of the token.
			const size_t Stop = Source.find_first_of(L" '", Position + 1);
			if (Stop != std::wstring::npos && Source[Stop] == L'\'')
			{
				Result.push_back(Source.substr(Position, Stop - Position + 1));
				Position = Stop + 1;
				continue;
			}
		}
		// A space, or a quote without its partner: the text after it is picked
		// up from the next position on.
		++Position;
	}
	return Result;
}

std::wstring FCommandLine::NormalizeOptionName(const std::wstring& Name)
{
	return KeepNameCharacters(ToAsciiLowerText(Name));
}

bool FCommandLine::HasNoArguments() const
{
	return Tokens.size() < 2;
}

bool FCommandLine::HasOption(const std::wstring& Name) const
{
	return FindOption(Name) < Tokens.size();
}

size_t FCommandLine::FindOption(const std::wstring& Name) const
{
	const std::wstring Wanted = NormalizeOptionName(Name);
	for (size_t Index = 0; Index < Tokens.size(); ++Index)
	{
		const std::wstring& Token = Tokens[Index];
		if (!Token.empty() && Token[0] == L'-' && NormalizeOptionName(Token) == Wanted)
		{
			return Index;
		}
	}
	return Tokens.size();
}

std::wstring FCommandLine::ToOptionName(const std::wstring& KeyName) const
{
	std::wstring Name = KeepNameCharacters(KeyName);

	// An abbreviation is one word: "URLPath" becomes "Urlpath", not "u-r-l-path".
	RewriteEveryOccurrence(Name, FindRuns(Name, 2, IsNameCapital),
		[](std::wstring Run)
		{
			for (size_t Index = 1; Index < Run.size(); ++Index)
			{
				Run[Index] = ToAsciiLower(Run[Index]);
			}
			return Run;
		});

	for (size_t Index = Name.size(); Index > 0; --Index)
	{
		if (IsNameCapital(Name[Index - 1]))
		{
			Name.insert(Index - 1, 1, L'-');
		}
	}
	for (int Attempt = 0; Attempt < 2 && Name.find(L"--") == std::wstring::npos; ++Attempt)
	{
		Name.insert(0, 1, L'-');
	}
	return ToAsciiLowerText(Name);
}

std::wstring FCommandLine::ToKeyName(const std::wstring& OptionName) const
{
	std::wstring Name = ToAsciiLowerText(OptionName);
	RewriteEveryOccurrence(Name, FindRuns(Name, 1, IsLowerLetter),
		[](std::wstring Run)
		{
			Run[0] = ToAsciiUpper(Run[0]);
			return Run;
		});
	return KeepNameCharacters(Name);
}

const std::wstring* FCommandLine::FindOptionValue(const std::wstring& Name) const
{
	const size_t Index = FindOption(Name);
	return Index + 1 < Tokens.size() ? &Tokens[Index + 1] : nullptr;
}

bool FCommandLine::TryGetIntOption(const std::wstring& Name, int32_t& OutValue) const
{
	const std::wstring* Value = FindOptionValue(Name);
	int32_t Parsed = 0;
	if (Value == nullptr || !TryParseInt32Prefix(*Value, Parsed))
	{
		return false;
	}
	OutValue = Parsed;
	return true;
}

bool FCommandLine::TryGetBoolOption(const std::wstring& Name, bool& OutValue) const
{
	if (!HasOption(Name))
	{
		return false;
	}
	// A flag needs no value: the next token is only a value when it reads as
	// a boolean, and it is never consumed ("-r -f" sets both).
	const std::wstring* Value = FindOptionValue(Name);
	bool bParsed = false;
	OutValue = Value != nullptr && TryParseBool(*Value, bParsed) ? bParsed : true;
	return true;
}

bool FCommandLine::TryGetPathOption(const std::wstring& Name, std::wstring& OutPath) const
{
	return TryGetOptionValue(Name, OutPath);
}

bool FCommandLine::TryGetOptionValue(const std::wstring& Name, std::wstring& OutValue) const
{
	const std::wstring* Value = FindOptionValue(Name);
	if (Value == nullptr)
	{
		return false;
	}
	OutValue = *Value;
	return true;
}
