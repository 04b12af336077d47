#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class EAttributeType : int32_t
{
	String = 0,
	Double = 1,
	Int64 = 2,
	UInt64 = 3,
	Bool = 4,
};

// One named, typed telemetry value. Only the field selected by Type carries
// the value; the name is a string literal and is never copied.
struct FAnalyticsAttribute
{
	const char* Name = "";
	std::string StringValue;
	double DoubleValue = 0.0;
	int64_t Int64Value = 0;
	uint64_t UInt64Value = 0;
	bool BoolValue = false;
	EAttributeType Type = EAttributeType::String;

	// Writes the list as one compact JSON object; false leaves OutJson untouched.
	static bool ToJson(const std::vector<FAnalyticsAttribute>& Attributes, std::string& OutJson);
};
