#include "app/FormatString.h"

#include <cwchar>
#include <new>
#include <vector>

std::wstring TranslateFormat(const wchar_t* Format)
{
	std::wstring Result;
	if (Format == nullptr)
	{
		return Result;
	}
	for (const wchar_t* Cursor = Format; *Cursor != L'\0'; ++Cursor)
	{
		Result.push_back(*Cursor);
		if (*Cursor != L'%')
		{
			continue;
		}
		++Cursor;
		if (*Cursor == L'\0')
		{
			break;
		}
		if (*Cursor == L'%')
		{
			Result.push_back(*Cursor);
			continue;
		}
		// Flags, width, precision and length modifiers precede the conversion.
		bool HasLengthModifier = false;
		while (*Cursor != L'\0' && std::wcschr(L"-+ #0123456789.*hlLqjzt", *Cursor) != nullptr)
		{
			if (std::wcschr(L"hlLqjzt", *Cursor) != nullptr)
			{
				HasLengthModifier = true;
			}
			Result.push_back(*Cursor);
			++Cursor;
		}
		if (*Cursor == L'\0')
		{
			break;
		}
		if ((*Cursor == L's' || *Cursor == L'c') && !HasLengthModifier)
		{
			Result.push_back(L'l');
		}
		Result.push_back(*Cursor);
	}
	return Result;
}

std::wstring FormatStringTranslatedV(const wchar_t* TranslatedFormat, va_list Arguments)
{
	// glibc's vswprintf cannot count without a buffer (it returns -1), so both
	// libraries share one way: grow the buffer until the result fits.
	// An invalid format also reads as "too small" there, so the growth is bounded.
	constexpr size_t MaxCharacters = size_t(1) << 22;
	try
	{
		std::vector<wchar_t> Buffer(256, L'\0');
		for (;;)
		{
			va_list Copy;
			va_copy(Copy, Arguments);
			const int Written = std::vswprintf(Buffer.data(), Buffer.size(), TranslatedFormat, Copy);
			va_end(Copy);
			if (Written >= 0 && static_cast<size_t>(Written) < Buffer.size())
			{
				return std::wstring(Buffer.data(), static_cast<size_t>(Written));
			}
			if (Buffer.size() >= MaxCharacters)
			{
				return std::wstring();
			}
			const size_t Next = Written >= 0 ? static_cast<size_t>(Written) + 1 : Buffer.size() * 2;
			Buffer.assign(Next > Buffer.size() ? Next : Buffer.size() * 2, L'\0');
		}
	}
	catch (const std::bad_alloc&)
	{
		return std::wstring();
	}
}

std::wstring FormatStringV(const wchar_t* Format, va_list Arguments)
{
	try
	{
		const std::wstring Translated = TranslateFormat(Format);
		return FormatStringTranslatedV(Translated.c_str(), Arguments);
	}
	catch (const std::bad_alloc&)
	{
		return std::wstring();
	}
}

std::wstring FormatStringVarArgs(const wchar_t* Format, ...)
{
	va_list Arguments;
	va_start(Arguments, Format);
	std::wstring Result = FormatStringV(Format, Arguments);
	va_end(Arguments);
	return Result;
}
