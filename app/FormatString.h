#pragma once

#include <cstdarg>
#include <cstdint>
#include <filesystem>
#include <string>
#include <type_traits>

// printf-style formatting into an exact-size wide string. In every format text
// of the product "%s" takes a wide string; both C libraries we build with read
// "%s" in a wide format as a narrow string, so formats are rewritten first.

// Rewrites "%s" (and "%c") conversions without a length modifier to "%ls"/"%lc".
std::wstring TranslateFormat(const wchar_t* Format);

// Formats with an already translated format. A formatter error gives "".
std::wstring FormatStringTranslatedV(const wchar_t* TranslatedFormat, va_list Arguments);

std::wstring FormatStringV(const wchar_t* Format, va_list Arguments);
std::wstring FormatStringVarArgs(const wchar_t* Format, ...);

namespace FormatDetail
{
	// Arguments travel to the C formatter as each conversion expects them:
	// wide strings as pointers to their text, integers as themselves.
	inline const wchar_t* ToFormatArgument(const std::wstring& Value) { return Value.c_str(); }
	inline const wchar_t* ToFormatArgument(const wchar_t* Value) { return Value; }
	inline const wchar_t* ToFormatArgument(wchar_t* Value) { return Value; }
	inline int ToFormatArgument(bool Value) { return Value ? 1 : 0; }
	template <typename T>
		requires std::is_integral_v<T> || std::is_enum_v<T> || std::is_floating_point_v<T>
	T ToFormatArgument(T Value) { return Value; }
}

template <typename... TArgs>
std::wstring FormatString(const wchar_t* Format, const TArgs&... Arguments)
{
	return FormatStringVarArgs(Format, FormatDetail::ToFormatArgument(Arguments)...);
}
