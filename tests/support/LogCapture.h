#pragma once

#include "app/Log.h"

#include <algorithm>
#include <string>
#include <vector>

// Collects every log line while alive and restores the previous sink after.
class FLogCapture
{
public:
	struct FEntry
	{
		ELogLevel Level;
		std::wstring Message;
		std::wstring Line;
	};

	FLogCapture() : Previous(GetLogSink())
	{
		GetLogSink() = [this](const std::wstring&, ELogLevel Level, const std::wstring& Message, const std::wstring& Line)
		{ Captured.push_back(FEntry{Level, Message, Line}); };
	}
	~FLogCapture() { GetLogSink() = Previous; }

	const std::vector<FEntry>& Entries() const { return Captured; }
	// True when a line with this level and exactly this message was logged, in
	// this category (the third bracket of the line) when one is given.
	bool Has(ELogLevel Level, const std::wstring& Message) const { return Has(Level, std::wstring(), Message); }
	bool Has(ELogLevel Level, const std::wstring& Category, const std::wstring& Message) const
	{
		return std::any_of(Captured.begin(), Captured.end(), [&](const FEntry& Entry)
		{
			return Entry.Level == Level && Entry.Message == Message &&
				(Category.empty() || Entry.Line.find(L"] [" + Category + L"] " + Message) != std::wstring::npos);
		});
	}
	size_t Count(ELogLevel Level) const
	{
		return static_cast<size_t>(
			std::count_if(Captured.begin(), Captured.end(), [&](const FEntry& Entry) { return Entry.Level == Level; }));
	}
	std::wstring Dump() const
	{
		std::wstring Text;
		for (const FEntry& Entry : Captured)
		{
			Text += Entry.Line + L"\n";
		}
		return Text;
	}
	void Clear() { Captured.clear(); }

private:
	std::vector<FEntry> Captured;
	FLogSink Previous;
};
