#pragma once

// Letter case as the product's own rules know it: only A to Z, whatever the
// locale, so that a key, an option or a drive letter reads the same on every
// machine (a Turkish locale would turn "I" into a dotless i).
constexpr wchar_t ToAsciiLower(wchar_t Character)
{
	return (Character >= L'A' && Character <= L'Z') ? static_cast<wchar_t>(Character - L'A' + L'a') : Character;
}
