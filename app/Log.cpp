#include "app/Log.h"

#include "app/ConsoleOutput.h"

#include <chrono>
#include <ctime>
#include <new>

namespace
{
	int64_t ReadSystemClockTicks()
	{
		using namespace std::chrono;
		return duration_cast<duration<int64_t, std::ratio<1, 10000000>>>(system_clock::now().time_since_epoch()).count();
	}

	FLogClock GLogClock = &ReadSystemClockTicks;
}

FLogSink& GetLogSink()
{
	static FLogSink Sink;
	return Sink;
}

std::wstring& GetLogFilePath()
{
	static std::wstring Path;
	return Path;
}

void SetLogClockForTesting(FLogClock Clock)
{
	GLogClock = Clock != nullptr ? Clock : &ReadSystemClockTicks;
}

const wchar_t* GetLogLevelName(ELogLevel Level)
{
	switch (Level)
	{
	case ELogLevel::Error: return L"Error";
	case ELogLevel::Info: return L"Info";
	case ELogLevel::Verbose: return L"Verbose";
	}
	return L"UnhandledValue";
}

std::wstring FormatLogTimeStamp(int64_t Ticks)
{
	const int64_t Seconds = Ticks / 10000000;
	const int Milliseconds = static_cast<int>(Ticks / 10000 - Seconds * 1000);

	const std::time_t Time = static_cast<std::time_t>(Seconds);
	// Single-threaded program: the shared result of localtime is safe here.
	// Formatted by hand: the stream and locale machinery would only add size.
	const std::tm* Local = std::localtime(&Time);
	if (Local == nullptr)
	{
		return FormatString(L".%03i", Milliseconds);
	}
	return FormatString(L"%04i-%02i-%02i %02i:%02i:%02i.%03i", Local->tm_year + 1900, Local->tm_mon + 1, Local->tm_mday,
		Local->tm_hour, Local->tm_min, Local->tm_sec, Milliseconds);
}

void LogMessage(ELogLevel Level, const wchar_t* Category, const std::wstring& Message)
{
	// Logging must never take the program down, whatever fails in here.
	try
	{
		const std::wstring TimeStamp = FormatLogTimeStamp(GLogClock());
		const std::wstring Line = FormatString(L"[%s] [%s] [%s] %s", TimeStamp, GetLogLevelName(Level),
			Category != nullptr ? Category : L"", Message);

		if (static_cast<int32_t>(Level) < 2)
		{
			WriteConsoleLine(Message);
		}
		if (const FLogSink& Sink = GetLogSink())
		{
			Sink(TimeStamp, Level, Message, Line);
		}
	}
	catch (...)
	{
	}
}
