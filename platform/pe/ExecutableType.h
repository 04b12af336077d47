#pragma once

#include <cstdint>

enum class EExecutableType : int32_t
{
	Executable32 = 0,
	Executable64 = 1,
};

inline const wchar_t* ToString(EExecutableType Type)
{
	return Type == EExecutableType::Executable64 ? L"Executable64" : L"Executable32";
}
