#include "app/Log.h"

#include "app/ConsoleOutput.h"

#include <chrono>
#include <ctime>
#include <iomanip>
#include <new>
#include <sstream>

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

	std::wstring DateTime;
	const std::time_t Time = static_cast<std::time_t>(Seconds);
	// Single-threaded program: the shared result of localtime is safe here.
	if (const std::tm* Local = std::localtime(&Time))
	{
		std::wostringstream Stream;
		Stream << std::put_time(Local, L"%Y-%m-%d %H:%M:%S");
		DateTime = Stream.str();
	}
	return FormatString(L"%s.%03i", DateTime, Milliseconds);
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
