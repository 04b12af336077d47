#include "tests/support/LogCapture.h"

FLogCapture::FLogCapture() : Previous(GetLogSink())
{
	GetLogSink() = [this](const std::wstring&, ELogLevel Level, const std::wstring& Message, const std::wstring& Line)
	{ Captured.push_back(FEntry{Level, Message, Line}); };
}

FLogCapture::~FLogCapture()
{
	GetLogSink() = Previous;
}

bool FLogCapture::Has(ELogLevel Level, const std::wstring& Message) const
{
	for (const FEntry& Entry : Captured)
	{
		if (Entry.Level == Level && Entry.Message == Message)
		{
			return true;
		}
	}
	return false;
}

bool FLogCapture::Has(ELogLevel Level, const std::wstring& Category, const std::wstring& Message) const
{
	const std::wstring Needle = L"] [" + Category + L"] " + Message;
	for (const FEntry& Entry : Captured)
	{
		if (Entry.Level == Level && Entry.Message == Message && Entry.Line.size() >= Needle.size() &&
			Entry.Line.compare(Entry.Line.size() - Needle.size(), Needle.size(), Needle) == 0)
		{
			return true;
		}
	}
	return false;
}

size_t FLogCapture::Count(ELogLevel Level) const
{
	size_t Result = 0;
	for (const FEntry& Entry : Captured)
	{
		Result += Entry.Level == Level ? 1 : 0;
	}
	return Result;
}

std::wstring FLogCapture::Dump() const
{
	std::wstring Text;
	for (const FEntry& Entry : Captured)
	{
		Text += Entry.Line + L"\n";
	}
	return Text;
}
