// One fuzzing program for every parser of outside input; the environment
// variable KVT_FUZZ_TARGET names the one a run fuzzes (scripts/fuzz.sh runs
// each in turn).

#include "tests/fuzz/Fuzz.h"

#include "app/Log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace
{
	using FTarget = std::pair<const char*, void (*)(FFuzzInput)>;
	const FTarget Targets[] = {
		{"pe", &FuzzPeReader},
		{"utf8", &FuzzUtf8},
		{"arguments", &FuzzArguments},
		{"command-line", &FuzzCommandLine},
		{"format", &FuzzFormatString},
		{"config", &FuzzConfigFile},
		{"value-store", &FuzzValueStore},
		{"telemetry", &FuzzTelemetry},
	};
	const FTarget* Selected = nullptr;
}

void Check(bool Condition, const char* What)
{
	if (!Condition)
	{
		std::fprintf(stderr, "kvt_fuzzer (%s): property broken: %s\n", Selected->first, What);
		__builtin_trap();
	}
}

// Every message goes through the product's real formatter. Errors are also echoed to the
// standard output, once at least per malformed input, so that is dropped (libFuzzer uses stderr).
extern "C" int LLVMFuzzerInitialize(int* Argc, char*** Argv)
{
	const char* Name = std::getenv("KVT_FUZZ_TARGET");
	for (const FTarget& Target : Targets)
	{
		Selected = Name != nullptr && std::strcmp(Name, Target.first) == 0 ? &Target : Selected;
	}
	if (Selected == nullptr)
	{
		std::fprintf(stderr, "kvt_fuzzer: KVT_FUZZ_TARGET must name one of the targets in FuzzMain.cpp\n");
		std::exit(2);
	}
	(void)std::freopen("/dev/null", "w", stdout);
	GetLogSink() = [](const std::wstring& TimeStamp, ELogLevel Level, const std::wstring& Message, const std::wstring& Line)
	{
		// An empty message is what the formatter returns when a format and its arguments disagree.
		Check(!Message.empty(), "a log message failed to format");
		Check(Line.find(L"] [] ") == std::wstring::npos, "a log message has no category");
	};
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
	Selected->second(FFuzzInput(Data, Size));
	return 0;
}
