// The fuzzer's logger. The product's one stamps the local time on every line
// and echoes errors to the standard output; a malformed input logs at least
// one error, so at millions of inputs that would be most of the run and fill
// the output. Messages are still formatted by the caller (Log.h), so the
// formatter sees every message the reader can produce; here they are only
// checked and dropped.

#include "app/Log.h"

#include <cstdio>

void LogMessage(ELogLevel Level, const wchar_t* Category, const std::wstring& Message)
{
	// Every message of the reader has text of its own; an empty one is what
	// the formatter returns when a format and its arguments do not agree.
	if (Category == nullptr || Message.empty())
	{
		std::fprintf(stderr, "PeReaderFuzzer: a log message failed to format\n");
		__builtin_trap();
	}
}
