#pragma once

#include "app/FormatString.h"

#include <cstdint>
#include <functional>
#include <string>

enum class ELogLevel : int32_t
{
	Error = 0,
	Info = 1,
	Verbose = 2,
};

// Receives every finished line: time stamp, level, message and the full line.
using FLogSink = std::function<void(const std::wstring& TimeStamp, ELogLevel Level,
	const std::wstring& Message, const std::wstring& Line)>;

// Process-wide logging state, written only by the entry.
FLogSink& GetLogSink();
std::wstring& GetLogFilePath();

const wchar_t* GetLogLevelName(ELogLevel Level);

// Builds the line from an already formatted message and hands it to the outputs.
void LogMessage(ELogLevel Level, const wchar_t* Category, const std::wstring& Message);

// Test seam: the wall clock in 100-nanosecond ticks since 1970-01-01 UTC.
using FLogClock = int64_t (*)();
void SetLogClockForTesting(FLogClock Clock);

std::wstring FormatLogTimeStamp(int64_t TicksSince1970);

template <typename... TArgs>
void Log(ELogLevel Level, const wchar_t* Category, const wchar_t* Format, const TArgs&... Arguments)
{
	// The caller's format always goes through the formatter, also without arguments.
	LogMessage(Level, Category, FormatString(Format, Arguments...));
}
