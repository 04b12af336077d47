#pragma once

#include "app/Log.h"

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

	FLogCapture();
	~FLogCapture();
	FLogCapture(const FLogCapture&) = delete;
	FLogCapture& operator=(const FLogCapture&) = delete;

	const std::vector<FEntry>& Entries() const { return Captured; }
	// True when a line with this level and exactly this message was logged.
	bool Has(ELogLevel Level, const std::wstring& Message) const;
	// True when a line of this category (the third bracket) holds this message.
	bool Has(ELogLevel Level, const std::wstring& Category, const std::wstring& Message) const;
	size_t Count(ELogLevel Level) const;
	std::wstring Dump() const;
	void Clear() { Captured.clear(); }

private:
	std::vector<FEntry> Captured;
	FLogSink Previous;
};
